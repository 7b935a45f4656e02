#pragma once
// Shared helpers for the tests of the embedded sheet: the ID it carries,
// binarized copies of the start-up window (binarizing is the slow part, so
// each threshold is binarized once per test run), and read-outs of the
// cells the reader marked.

#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "form/form1.h"
#include "reading/binarization.h"
#include "reading/grid.h"
#include "reading/cell_check.h"
#include "rules/colour.h"
#include "sheet_id.h"

namespace idr::test {


inline std::set<int> id_cells() {
    std::set<int> cells;
    for (int c = 0; c < 10; ++c) cells.insert(10 * c + (kSheetId[c] - '0'));
    return cells;
}

// Under ASan a binarization costs about a hundred times more; the widest
// sweeps are cut down to their boundaries there.
inline bool sanitized() { return std::getenv("IDR_SANITIZED") != nullptr; }

// The start-up window as the tests use it: "." as the decimal separator.
inline Form1 fresh_form() {
    Form1 form;
    form.decimal_separator = ".";
    return form;
}

// The start-up window after "1. Binary" with `threshold` in txtTreshold.
inline const Form1& binarized(const std::string& threshold) {
    static std::map<std::string, Form1> done;
    auto it = done.find(threshold);
    if (it == done.end()) {
        Form1 form = fresh_form();
        form.txtTreshold.Text = threshold;
        cmdBinary_Click(form);
        it = done.emplace(threshold, std::move(form)).first;
    }
    return it->second;
}

// Draws the grid on a copy and runs "3. Check  object" with `black_samples`.
inline Form1 inspected(Form1 form, const std::string& black_samples = "8") {
    form.txtBlack_Pixels.Text = black_samples;
    cmdDraw_Click(form);
    cmdCheck_Click(form);
    return form;
}

// Cells whose flag says marked.
inline std::set<int> marked_cells(const Form1& form) {
    std::set<int> cells;
    for (int k = 0; k < 100; ++k)
        if (form.Cell_Flag(k + 1) == kTrue) cells.insert(k);
    return cells;
}

inline std::string caption_for(int marked) {
    return "Total unit remain = " + std::to_string(marked) + " Unit.";
}

inline int red(Int32 v) { return v & 255; }
inline int green(Int32 v) { return (v >> 8) & 255; }
inline int blue(Int32 v) { return (v >> 16) & 255; }
// The rounded mean brightness binarization compares with its threshold.
inline int brightness(Int32 v) { return (red(v) + green(v) + blue(v) + 1) / 3; }

}  // namespace idr::test
