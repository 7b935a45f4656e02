#include "reading/binarization.h"

#include <array>

#include "reading/box_number.h"
#include "rules/colour.h"
#include "rules/floats.h"
#include "rules/integer.h"
#include "rules/text.h"

namespace idr {
namespace {

Int16 mean_of_sum(Int16 sum) {
    return round_to_int16(float_checked(static_cast<double>(sum) / 3.0, "the average brightness"));
}

// The rounded mean of one point's colour, by the rules: 16-bit components
// and sum, the mean rounded half to even. A colour outside 0..0xFFFFFF may
// overflow on the way, and does so here as the rules say.
Int16 mean_of_colour(Int32 v) {
    const Int16 red = checked_narrow16(bit_and(v, 255));
    const Int16 green = checked_narrow16(bit_and(div_trunc(v, 256), 255));
    const Int16 blue = checked_narrow16(div_trunc(v, 65536));
    return mean_of_sum(checked_add16(checked_add16(red, green), blue));
}

// Every sum of three components of 0..255, with its mean worked out by the
// rules once.
const std::array<Int16, 766>& means_by_sum() {
    static const std::array<Int16, 766> table = [] {
        std::array<Int16, 766> t{};
        for (Int16 sum = 0; sum < 766; ++sum) t[static_cast<std::size_t>(sum)] = mean_of_sum(sum);
        return t;
    }();
    return table;
}

// The mean of an ordinary colour or of kNoPixel (components 255, 0, 0) from
// the table; anything else by the rules, overflow and all.
Int16 mean_at(Int32 v) {
    if (v >= 0 && v <= 0xFFFFFF) return means_by_sum()[static_cast<std::size_t>((v & 255) + ((v >> 8) & 255) + (v >> 16))];
    if (v == kNoPixel) return means_by_sum()[255];
    return mean_of_colour(v);
}

// Coordinates up to this are exact as floats, so the pixel a float
// coordinate addresses is the integer itself.
constexpr int kExactFloat = 1 << 24;

}  // namespace

// Every property use is a fresh request: the surface is read three times per
// point and the threshold text is converted once per point, after the reads
// and before the write. Both loops include their end, so the column x = W and
// the row y = H lie one pixel past the picture, where Point gives kNoPixel
// (-1, average 85) and PSet does nothing.
//
// Within a row nothing can change the surface or the box but the loop
// itself: the three reads of a point give one colour, and the box's text
// converts to the same number (or fails the same way) at every point. So a
// row reads each colour once and converts the text at its first point, after
// that point's colour, where the first conversion happens; only the caption
// (whose observer may change anything) lies between rows. A picture too
// large for exact float coordinates goes point by point.
void cmdBinary_Click(Form1& form) {
    PictureBox& pic = form.picRedraw;

    const Int32 rows_end = round_to_int32(pic.ScaleHeight());
    for (Int32 y = 0; y <= rows_end; y = checked_increment32(y)) {
        const Int32 columns_end = round_to_int32(pic.ScaleWidth());
        const float fy = static_cast<float>(y);
        Surface& surface = pic.surface;
        const int width = surface.width(), height = surface.height();
        if (width < kExactFloat && height < kExactFloat && columns_end == width) {
            const bool inside = y < height;
            const Int32* source = inside ? surface.pixels().data() + static_cast<std::size_t>(y) * width : nullptr;
            double threshold = 0;
            for (Int32 x = 0; x <= columns_end; ++x) {
                const Int16 average = mean_at(inside && x < width ? source[x] : kNoPixel);
                if (x == 0) threshold = number_in_box(form.txtTreshold, form.decimal_separator);
                if (inside && x < width) surface.set_pixel(x, y, threshold >= static_cast<double>(average) ? kBlack : kWhite);
            }
        } else {
            for (Int32 x = 0; x <= columns_end; x = checked_increment32(x)) {
                const float fx = static_cast<float>(x);
                const Int16 average = mean_of_colour(pic.Point(fx, fy));
                const double threshold = number_in_box(form.txtTreshold, form.decimal_separator);
                pic.PSet(fx, fy, threshold >= static_cast<double>(average) ? kBlack : kWhite);
            }
        }

        const double height_now = static_cast<double>(pic.ScaleHeight());
        const double percent =
            floor_value(float_checked(static_cast<double>(y) / height_now * 100.0, "the progress percentage"));
        form.set_Caption(join(join("Image binary process done  ", double_to_text(percent)), "%"));
    }

    form.cmdBinary.Enabled = false;
    form.Command1.Enabled = false;
    form.Command2.Enabled = false;
    form.Command3.Enabled = false;
    form.Command4.Enabled = false;
}

}  // namespace idr
