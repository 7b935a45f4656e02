// The blank form page around the ID block: title, the lines a student fills
// in by hand, the instruction, and the block itself, in points.

#include <cairo.h>
#include <langinfo.h>
#include <locale.h>

#include <cstdint>

#include "form/block_layout.h"
#include "printing/form_drawing.h"
#include "printing/text.h"

namespace idr::printing {

namespace {

constexpr double kPointsPerInch = 72;
constexpr double kMmPerInch = 25.4;
constexpr double mm(double v) { return v * kPointsPerInch / kMmPerInch; }

// One block unit is 1/100 inch: rings 20 units across come out about 5 mm,
// large enough to fill with a pencil.
constexpr double kUnitPt = kPointsPerInch / 100;

// Page layout, in points. Margins stay well inside what printers leave
// blank (15 mm at the least); everything hangs from the top-left corner so
// A4 and Letter differ only in the space left at the right and bottom.
constexpr double kMarginLeft = mm(20);
constexpr double kMarginTop = mm(20);
constexpr double kTitleSize = 18;        // title line, bold
constexpr double kLabelSize = 11;        // "Name", "Class", "Date"
constexpr double kInstructionSize = 10;  // the instruction under the lines
constexpr double kLineGap = mm(11);      // from one writing line to the next
constexpr double kNameLineLength = mm(120);
constexpr double kShortLineLength = mm(45);
constexpr double kLineWidth = 0.6;

constexpr double kTitleBaseline = kMarginTop + kTitleSize;
constexpr double kFirstLine = kTitleBaseline + mm(14);
constexpr double kSecondLine = kFirstLine + kLineGap;
constexpr double kInstructionBaseline = kSecondLine + mm(10);
constexpr double kBlockTop = kInstructionBaseline + mm(8);

void set_print_colour(cairo_t* cr) {
    const block::Rgb c = block::kPrintColour;
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

// A label followed by a rule to write on, both on the same baseline.
// Returns the x where the rule ends.
double writing_line(cairo_t* cr, const std::string& label, double x, double baseline, double length) {
    use_font(cr, FontFace::Regular, kLabelSize);
    show_text_at(cr, label, x, baseline);
    cairo_text_extents_t e;
    cairo_text_extents(cr, label.c_str(), &e);
    const double start = x + e.x_advance + mm(2);
    cairo_move_to(cr, start, baseline + kLineWidth / 2);
    cairo_line_to(cr, start + length, baseline + kLineWidth / 2);
    cairo_set_line_width(cr, kLineWidth);
    cairo_stroke(cr);
    return start + length;
}

}  // namespace

PaperSize paper_size(Paper paper) {
    switch (paper) {
        case Paper::Letter: return {8.5 * kPointsPerInch, 11 * kPointsPerInch};
        case Paper::A4: break;
    }
    return {mm(210), mm(297)};
}

Paper default_paper() {
    // The user's LC_PAPER without touching the program's global locale.
    locale_t loc = newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return Paper::A4;
    // glibc hands the sizes (in mm) back as integers in the pointer.
    const auto width = static_cast<int>(reinterpret_cast<std::intptr_t>(nl_langinfo_l(_NL_PAPER_WIDTH, loc)));
    const auto height = static_cast<int>(reinterpret_cast<std::intptr_t>(nl_langinfo_l(_NL_PAPER_HEIGHT, loc)));
    freelocale(loc);
    // US Letter is 216 x 279 mm in the locale data; anything else prints on A4.
    return (width == 216 && height == 279) ? Paper::Letter : Paper::A4;
}

FormPlacement form_placement(Paper) { return {kMarginLeft, kBlockTop, kUnitPt}; }

void draw_form_page(cairo_t* cr, Paper paper) {
    cairo_save(cr);
    cairo_new_path(cr);
    set_print_colour(cr);

    use_font(cr, FontFace::Bold, kTitleSize);
    show_text_at(cr, "Answer sheet", kMarginLeft, kTitleBaseline);

    writing_line(cr, "Name", kMarginLeft, kFirstLine, kNameLineLength);
    const double class_end = writing_line(cr, "Class", kMarginLeft, kSecondLine, kShortLineLength);
    writing_line(cr, "Date", class_end + mm(8), kSecondLine, kShortLineLength);

    use_font(cr, FontFace::Regular, kInstructionSize);
    show_text_at(cr, "Write your student ID in the boxes, then fill one bubble per column with a dark pencil or pen.",
                 kMarginLeft, kInstructionBaseline);

    const FormPlacement at = form_placement(paper);
    cairo_translate(cr, at.block_left_pt, at.block_top_pt);
    cairo_scale(cr, at.unit_pt, at.unit_pt);
    draw_block(cr);
    cairo_restore(cr);
}

}  // namespace idr::printing
