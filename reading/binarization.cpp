#include "reading/binarization.h"

#include "reading/box_number.h"
#include "rules/colour.h"
#include "rules/floats.h"
#include "rules/integer.h"
#include "rules/text.h"

namespace idr {

// Every property use is a fresh request: the surface is read three times per
// point and the threshold text is converted once per point, after the reads
// and before the write. Both loops include their end, so the column x = W and
// the row y = H lie one pixel past the picture, where Point gives kNoPixel
// (-1, average 85) and PSet does nothing.
void cmdBinary_Click(Form1& form) {
    PictureBox& pic = form.picRedraw;

    const Int32 rows_end = round_to_int32(pic.ScaleHeight());
    for (Int32 y = 0; y <= rows_end; y = checked_increment32(y)) {
        const Int32 columns_end = round_to_int32(pic.ScaleWidth());
        const float fy = static_cast<float>(y);
        for (Int32 x = 0; x <= columns_end; x = checked_increment32(x)) {
            const float fx = static_cast<float>(x);

            Int32 v = pic.Point(fx, fy);
            const Int16 red = checked_narrow16(bit_and(v, 255));
            v = pic.Point(fx, fy);
            const Int16 green = checked_narrow16(bit_and(div_trunc(v, 256), 255));
            v = pic.Point(fx, fy);
            const Int16 blue = checked_narrow16(div_trunc(v, 65536));

            const Int16 sum = checked_add16(checked_add16(red, green), blue);
            const Int16 average =
                round_to_int16(float_checked(static_cast<double>(sum) / 3.0, "the average brightness"));

            const double threshold = number_in_box(form.txtTreshold, form.decimal_separator);
            const Int32 colour = threshold >= static_cast<double>(average) ? rgb(0, 0, 0) : rgb(255, 255, 255);
            pic.PSet(fx, fy, colour);
        }

        const double height = static_cast<double>(pic.ScaleHeight());
        const double percent =
            floor_value(float_checked(static_cast<double>(y) / height * 100.0, "the progress percentage"));
        form.set_Caption(join(join("Image binary process done  ", double_to_text(percent)), "%"));
    }

    form.cmdBinary.Enabled = false;
    form.Command1.Enabled = false;
    form.Command2.Enabled = false;
    form.Command3.Enabled = false;
    form.Command4.Enabled = false;
}

}  // namespace idr
