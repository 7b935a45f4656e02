#pragma once
// Measures a finished sheet the way the reader will see it: pixel counts,
// binarization counts, and the cells that cell inspection would mark under
// every threshold and grid placement the sheet is meant to survive.

#include <array>
#include <string>
#include <vector>

#include "picture/surface.h"

namespace idr::sheetgen {

struct Figures {
    int pixels = 0;
    int pure_black = 0;
    int pure_black_in_grid = 0;  // rows 108..354: the discs
    // Black pixels after binarization with threshold -1, 0, 35, 254, 255.
    int black_minus1 = 0, black_0 = 0, black_35 = 0, black_254 = 0, black_255 = 0;

    // Cells marked (more than 8 black samples) after binarization with t = 0..255.
    std::array<int, 256> marked_at{};
    bool same_ten_cells_0_to_157 = false;

    // After binarization with 35: black samples per cell (cell k = 10 * column + row).
    std::array<int, 100> samples_35{};
    // Cells whose count exceeds n, for n = 0..16.
    std::array<int, 17> marked_by_count{};

    // The ID cells alone are marked at 35 with the grid one pixel off in each
    // of the eight directions, and on the colour sheet without binarization.
    bool shifted_ok = false;
    bool colour_ok = false;
};

Figures measure(const Surface& sheet);

// One line per figure, with what it should be; `failures` gets the figures
// that are off.
std::vector<std::string> report(const Figures& f, std::vector<std::string>& failures);

}  // namespace idr::sheetgen
