#include "reading/grid.h"

#include "rules/floats.h"
#include "rules/integer.h"

namespace idr {

namespace {

// The gap between neighbouring cells, in picture units (a single constant).
constexpr double kCellGap = 5.0f;

// size + position + gap: single operands widened to double, the sum checked,
// the result stored as single.
float next_position(float size, float previous, const char* what) {
    return store_single(float_checked(static_cast<double>(size) + static_cast<double>(previous) + kCellGap, what));
}

}  // namespace

// Cells are numbered column by column: cell n lies in column n div 10 and
// row n mod 10, so the row of a cell is the digit it stands for. Each new
// element is a copy of element 0 and is placed from its predecessor.
void cmdDraw_Click(Form1& form) {
    ShapeArray& cells = form.Shape1;

    cells(0).Visible = true;
    Int16 n = 0;
    Int16 c = 0;
    for (Int16 pass = 1; pass <= 99; pass = checked_increment16(pass)) {
        n = checked_increment16(n);
        c = checked_increment16(c);
        cells.Load(n);
        if (c == 10) {
            cells(n).Top = cells(0).Top;
            cells(n).Left = next_position(cells(n).Width, cells(checked_sub16(n, 1)).Left, "a new column's Left");
            c = 0;
        } else {
            cells(n).Top = next_position(cells(n).Height, cells(checked_sub16(n, 1)).Top, "a new cell's Top");
            cells(n).Left = cells(checked_sub16(n, 1)).Left;
        }
        cells(n).Visible = true;
        cells(n).FillStyle = kStylePlain;
    }

    form.cmdDraw.Enabled = false;
}

}  // namespace idr
