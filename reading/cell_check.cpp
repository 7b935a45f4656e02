#include "reading/cell_check.h"

#include <cassert>

#include "reading/box_number.h"
#include "rules/colour.h"
#include "rules/error.h"
#include "rules/floats.h"
#include "rules/integer.h"
#include "rules/text.h"

namespace idr {

SampleSteps sample_steps(const Form1& form) {
    SampleSteps steps;
    steps.vertical = div_trunc(round_to_int32(form.Shape1(0).Height), 4);
    steps.horizontal = div_trunc(round_to_int32(form.Shape1(0).Width), 4);
    return steps;
}

namespace {

// R16(a + b) with both operands widened to double and the sum checked.
Int16 rounded_sum16(double a, double b, const char* what) {
    return round_to_int16(float_checked(a + b, what));
}

}  // namespace

// The lattice starts half a step into the cell and runs while the offset does
// not exceed the cell's size, so an offset equal to the size samples the first
// row or column just past the cell. Bounds are taken in the order end, step,
// start; the column bounds are taken anew for every sample row. All sample
// arithmetic is 16-bit and checked, so a cell beyond the 16-bit coordinate
// range fails with an overflow instead of wrapping.
Int16 count_black_samples(const Form1& form, Int16 cell, SampleSteps steps) {
    // Every cell is at least 4 units each way, so both steps are positive; a
    // step of 0 would never leave the loops.
    assert(steps.vertical > 0 && steps.horizontal > 0);

    const ShapeArray& cells = form.Shape1;
    const PictureBox& pic = form.picRedraw;
    Int16 count = 0;

    const ShapeElement& rows = cells(cell);
    const Int16 y_end = rounded_sum16(rows.Top, rows.Height, "the cell's bottom edge");
    const Int16 sy = checked_narrow16(steps.vertical);
    Int16 y = rounded_sum16(cells(cell).Top, div_trunc(steps.vertical, 2), "the first sample row");
    while (y <= y_end) {
        const ShapeElement& columns = cells(cell);
        const Int16 x_end = rounded_sum16(columns.Left, columns.Width, "the cell's right edge");
        const Int16 sx = checked_narrow16(steps.horizontal);
        Int16 x = rounded_sum16(cells(cell).Left, div_trunc(steps.horizontal, 2), "the first sample column");
        while (x <= x_end) {
            if (pic.Point(static_cast<float>(x), static_cast<float>(y)) == kBlack) count = checked_increment16(count);
            x = checked_add16(x, sx);
        }
        y = checked_add16(y, sy);
    }
    return count;
}

namespace {

// Every run starts each cell from flag 0 and the plain style, so its outcome
// depends only on the picture, the cells' places and the threshold text. The
// threshold is read anew for every cell, after that cell's samples. A marked
// cell keeps its BorderColor and an unmarked one its FillColor.
void check_all_cells(Form1& form) {
    const SampleSteps steps = sample_steps(form);
    Int16 marked = 0;

    for (Int16 k = 0; k <= 99; k = checked_increment16(k)) {
        const Int32 flag = checked_increment16(k);
        form.Cell_Flag(flag) = kFalse;
        form.Shape1(k).FillStyle = kStylePlain;

        const Int16 count = count_black_samples(form, k, steps);

        const double threshold = number_in_box(form.txtBlack_Pixels, form.decimal_separator);
        if (static_cast<double>(count) > threshold) {
            form.Shape1(k).FillStyle = kStyleMarked;
            form.Shape1(k).FillColor = kGreen;
            marked = checked_increment16(marked);
            form.Cell_Flag(flag) = kTrue;
        } else {
            form.Shape1(k).BorderColor = kBlue;
            form.Cell_Flag(flag) = kFalse;
        }
    }

    form.set_Caption(join(join("Total unit remain = ", int_to_text(marked)), " Unit."));
}

}  // namespace

void cmdCheck_Click(Form1& form) {
    try {
        check_all_cells(form);
    } catch (const RuntimeError& e) {
        // Element 0 always exists, so a missing cell means the grid has not
        // been drawn yet: tell the operator in the window's own words.
        if (e.kind() != ErrorKind::MissingElement) throw;
        throw RuntimeError(e.kind(), e.message() + "; \"2. Draw grid\" creates the cells");
    }
}

}  // namespace idr
