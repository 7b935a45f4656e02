// The ID block drawn with cairo in block units. Every position comes from
// form/block_layout.h; the only numbers here are about fonts (how a glyph's
// ink box relates to its font size), never about where things sit.

#include <cairo.h>

#include <numbers>
#include <string>

#include "form/block_layout.h"
#include "printing/form_drawing.h"
#include "printing/text.h"

namespace idr::printing {

using namespace idr::block;

namespace {

// Rules on whole rows, as the built-in sheet has them: the frame's top rule
// and the rule under the column numbers are one row, the rule above the
// bubble grid and the frame's bottom rule two.
constexpr int kThinRuleRows = kNumbersTop - kFrameTopRow;
constexpr int kThickRuleRows = kGridTop - kGridRuleTop;
static_assert(kBoxesTop - kNumbersRuleRow == kThinRuleRows);
static_assert(kFrameBottomTop == kGridBottom + 1);

void set_colour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void draw_tint(cairo_t* cr) {
    set_colour(cr, kTintColour);
    for (int c = 0; c < kColumns; ++c) {
        if (!is_tinted_column(c)) continue;
        // Between the column's two rules, over the bubble grid rows only.
        const double left = kRuleX(c) + kRuleWidth;
        cairo_rectangle(cr, left, kGridTop, kRuleX(c + 1) - left, kFrameBottomTop - kGridTop);
    }
    cairo_fill(cr);
}

void draw_rules(cairo_t* cr) {
    set_colour(cr, kPrintColour);
    const double left = kRuleX(0), right = kRuleX(kColumns) + kRuleWidth;
    const struct {
        int row, rows;
    } horizontal[] = {{kFrameTopRow, kThinRuleRows},
                      {kNumbersRuleRow, kThinRuleRows},
                      {kGridRuleTop, kThickRuleRows},
                      {kFrameBottomTop, kThickRuleRows}};
    for (const auto& h : horizontal) cairo_rectangle(cr, left, h.row, right - left, h.rows);
    const double top = kFrameTopRow, bottom = kFrameBottomTop + kThickRuleRows;
    for (int k = 0; k <= kColumns; ++k) cairo_rectangle(cr, kRuleX(k), top, kRuleWidth, bottom - top);
    cairo_fill(cr);
}

}  // namespace

void draw_ring(cairo_t* cr, double cx, double cy, const std::string& label) {
    cairo_save(cr);
    set_colour(cr, kPrintColour);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, kRingOuterRadius, 0, 2 * std::numbers::pi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, kRingInnerRadius, 0, 2 * std::numbers::pi);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
    if (!label.empty()) {
        // Sized so a digit's ink is kDigitHeight tall whatever the label, so
        // letters and digits in neighbouring rings match.
        use_font(cr, FontFace::Regular, digit_font_size(cr, FontFace::Regular, kDigitHeight));
        show_text_centred(cr, label, cx, cy);
    }
    cairo_restore(cr);
}

void draw_block(cairo_t* cr, const BlockStyle& style) {
    cairo_save(cr);
    cairo_new_path(cr);
    if (style.tint_even_columns) draw_tint(cr);
    draw_rules(cr);

    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            draw_ring(cr, bubble_centre_x(c), bubble_centre_y(r), std::string(1, static_cast<char>('0' + r)));

    set_colour(cr, kPrintColour);
    if (style.draw_column_numbers) {
        // Condensed, so "10" keeps clear of the rules as on the built-in sheet.
        use_font(cr, FontFace::Condensed, digit_font_size(cr, FontFace::Condensed, kNumberHeight));
        for (int c = 0; c < kColumns; ++c)
            show_text_centred(cr, std::to_string(c + 1), bubble_centre_x(c), kNumberTop + kNumberHeight / 2);
    }
    if (style.draw_heading) {
        // The heading's ink fills its box exactly, as on the built-in sheet:
        // a condensed face, squeezed or stretched to the box.
        show_text_in_box(cr, FontFace::Condensed, kTitle, kTitleLeft, kHeadingTop, kTitleRight + 1,
                         kHeadingBottom + 1);
    }
    cairo_restore(cr);
}

}  // namespace idr::printing
