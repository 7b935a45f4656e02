#pragma once
// Calibration: after the drawing, these steps settle the pixels that the
// description of the sheet leaves free (which pixels of each disc, how dark
// the printing is under particular sample points, which pen pixels are pure
// black, the paper noise) so that the finished sheet gives the reader's
// figures exactly. Each step touches only pixels that the earlier steps do
// not depend on, so they run once, in order.

#include <array>
#include <vector>

#include "tools/sheetgen/sheet.h"

namespace idr::sheetgen {

struct Disc {
    int column = 0, row = 0;
    double dx = 0, dy = 0, radius = 0;  // centre offset from the bubble centre
    std::vector<std::array<int, 2>> pixels;
    int samples = 0;  // sample points inside, with the grid at its design place
};

// One disc per column over the bubble of that column's ID digit: 17..21
// pixels across, centred within a pixel, covering 10 or 12..14 of the
// cell's 16 sample points (exactly one with 10, at least one with 14) and
// at least 9 with the grid one pixel off in any direction, `total_pixels`
// pixels in all. Returns an empty vector when no such choice exists.
std::vector<Disc> choose_discs(int total_pixels);
void place_discs(Sheet& sheet, const std::vector<Disc>& discs);

// Saturates stretches of the two heavy rules to pure black; returns how
// many pixels that made.
int saturate_rules(Sheet& sheet);

// The `black` pixels nearest the pen's centre line become pure black, the
// next `near_black` (0, 0, 1). Returns false when the pen has too few
// solid pixels.
bool settle_pen(Sheet& sheet, int black, int near_black);

// Per cell of an unfilled bubble: how many of its samples are at most 35
// (0, 1 or 2; `cells_with_dark` cells get 1 or 2), and its ninth darkest
// sample, which decides the binarization threshold from which the cell is
// marked: `at_lowest` cells get `lowest`, one white cell gets `highest`,
// every other one something in between. Returns false when a cell cannot
// be settled.
struct CellTargets {
    int cells_with_dark = 47;
    int lowest = 158, at_lowest = 5;
    int highest = 248;
};
bool settle_cells(Sheet& sheet, const CellTargets& targets);

// With the grid one pixel off, a cell of an unfilled bubble may not reach 9
// dark samples: lightens dark printing under such points.
void settle_shifted(Sheet& sheet);

// Moves printing pixels away from the sample points across the 35/36
// boundary until `target` pixels are at most 35. Returns false if it runs
// out of pixels.
bool settle_dark_count(Sheet& sheet, int target);

// Moves paper pixels away from the sample points between 254 and 255 until
// `target` pixels have brightness 255.
bool settle_white_count(Sheet& sheet, int target);

}  // namespace idr::sheetgen
