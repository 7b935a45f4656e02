#include "tools/pagegen/page_drawing.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "printing/form_drawing.h"
#include "tools/pagegen/marks.h"

namespace idr::pagegen {

namespace {

using idr::block::kPitch;

// Everything below works in block units: one unit is plan.unit_px page pixels.
struct Canvas {
    cairo_t* cr;
    double width, height;  // the page in units
    bool colour;
};

void print_colour(cairo_t* cr) {
    const auto c = idr::block::kPrintColour;
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

void tint_colour(cairo_t* cr) {
    const auto c = idr::block::kTintColour;
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

// Text with its left end at x and its baseline at y; size is the em in units.
// Returns the advance, so callers can place what follows.
double text_at(cairo_t* cr, const std::string& s, double x, double y, double size, bool bold = false) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
    return e.x_advance;
}

double text_width(cairo_t* cr, const std::string& s, double size, bool bold = false) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    return e.x_advance;
}

void text_centred(cairo_t* cr, const std::string& s, double cx, double y, double size, bool bold = false) {
    text_at(cr, s, cx - text_width(cr, s, size, bold) / 2, y, size, bold);
}

void rule(cairo_t* cr, double x0, double y0, double x1, double y1, double width) {
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

std::string pick(Random& rng, const std::vector<std::string>& v) {
    return v[static_cast<std::size_t>(rng.between(0, static_cast<int>(v.size()) - 1))];
}

// Title, subject line, name lines; returns the first free y below them.
double draw_heading(const Canvas& cv, Random& rng, double margin) {
    cairo_t* cr = cv.cr;
    print_colour(cr);
    const double size = cv.width * rng.between(0.028, 0.036);
    const std::string title = pick(rng, {"ENTRANCE TEST", "FINAL EXAMINATION", "MIDTERM EXAMINATION", "MOCK EXAM",
                                         "PLACEMENT TEST", "QUIZ"}) +
                              " " + pick(rng, {"2026", "2/2568", "1/2567", "2025", "ROUND 2"});
    double y = margin + size;
    text_centred(cr, title, cv.width / 2, y, size);
    y += size * 0.9;
    const std::string sub = "SUBJECT: " + pick(rng, {"CHEMISTRY", "BIOLOGY", "MATHEMATICS", "PHYSICS", "ENGLISH"}) +
                            "   CODE: M" + std::to_string(rng.between(10000, 99999)) +
                            "   TIME: " + std::to_string(rng.between(3, 18) * 10) + " MIN";
    text_centred(cr, sub, cv.width / 2, y, size * 0.45);
    y += size * 1.7;
    const double small = size * 0.5;
    const double left = margin, right = cv.width - margin;
    double x = left;
    x += text_at(cr, "NAME ", x, y, small);
    const double name_end = left + (right - left) * 0.55;
    rule(cr, x, y + 2, name_end, y + 2, 1.0);
    x = name_end + small;
    x += text_at(cr, "CLASS ", x, y, small);
    const double class_end = left + (right - left) * 0.78;
    rule(cr, x, y + 2, class_end, y + 2, 1.0);
    x = class_end + small;
    x += text_at(cr, "NO. ", x, y, small);
    rule(cr, x, y + 2, right, y + 2, 1.0);
    return y + size * 1.2;
}

void draw_corner_marks(const Canvas& cv, double margin) {
    print_colour(cv.cr);
    const double s = cv.width * 0.022;
    const double in = margin * 0.45;
    for (const auto& [x, y] : {std::pair{in, in}, std::pair{cv.width - in - s, in}, std::pair{in, cv.height - in - s},
                              std::pair{cv.width - in - s, cv.height - in - s}})
        cairo_rectangle(cv.cr, x, y, s, s);
    cairo_fill(cv.cr);
}

// Answer marks a candidate left: mostly one filled bubble per row.
void mark_answer(cairo_t* cr, Random& rng, double cx, double cy, bool colour, Ink ink, int level) {
    const double roll = rng.unit();
    if (roll < 0.82)
        draw_fill(cr, rng, cx, cy, std::clamp(level + rng.between(-15, 15), 10, 180), ink, colour);
    else if (roll < 0.86)
        draw_smudge(cr, rng, cx, cy, rng.between(190, 225));
    else if (roll < 0.88)
        draw_cross(cr, rng, cx, cy, ink, colour);
}

// One answer area: rows of rings with the question number at the left.
// `choices` rings per row, labelled A-E or 0-9. Returns its height.
double draw_answer_area(const Canvas& cv, Random& rng, double left, double top, int rows, int choices,
                        int& question, bool fill, Ink ink, int level) {
    cairo_t* cr = cv.cr;
    const double number_w = 30;
    const double width = number_w + choices * kPitch + 6;
    const double height = rows * kPitch + 6;
    const bool stripes = rng.chance(0.7);
    if (stripes) {
        tint_colour(cr);
        for (int r = 1; r < rows; r += 2) cairo_rectangle(cr, left, top + 3 + r * kPitch, width, kPitch);
        cairo_fill(cr);
    }
    print_colour(cr);
    cairo_set_line_width(cr, 1.3);
    cairo_rectangle(cr, left, top, width, height);
    cairo_stroke(cr);
    for (int r = 0; r < rows; ++r) {
        const double cy = top + 3 + r * kPitch + kPitch / 2.0;
        print_colour(cr);
        const std::string num = std::to_string(question++);
        text_at(cr, num, left + number_w - 4 - text_width(cr, num, 9.5), cy + 3.5, 9.5);
        for (int k = 0; k < choices; ++k) {
            const std::string label =
                choices == 10 ? std::string(1, static_cast<char>('0' + k)) : std::string(1, static_cast<char>('A' + k));
            idr::printing::draw_ring(cr, left + number_w + k * kPitch + kPitch / 2.0, cy, label);
        }
        if (fill) {
            const int k = rng.between(0, choices - 1);
            mark_answer(cr, rng, left + number_w + k * kPitch + kPitch / 2.0, cy, cv.colour, ink, level);
        }
    }
    return height;
}

// Answer areas in rows of areas from `top` down to the bottom margin.
void draw_answers(const Canvas& cv, Random& rng, double left, double right, double top, double bottom,
                  bool ten_wide, bool fill) {
    cairo_t* cr = cv.cr;
    print_colour(cr);
    const double label_size = cv.width * 0.02;
    text_at(cr, "ANSWERS", left, top + label_size, label_size);
    top += label_size * 1.8;
    const Ink ink = rng.chance(0.6) ? Ink::Pencil : Ink::Pen;
    const int level = ink == Ink::Pen ? rng.between(15, 40) : rng.between(30, 150);
    const double five_w = 30 + 5 * kPitch + 6;
    const int across = std::clamp(static_cast<int>((right - left + 30) / (five_w + 30)), 1, 8);
    const double gap = across > 1 ? (right - left - across * five_w) / (across - 1) : 0;
    int question = 1;
    double y = top;
    // As many bands of areas as the page holds, each up to 25 questions tall
    // (a short last band would leave most of its rows empty, so bands share
    // the height instead).
    const double band_room = 25 * kPitch + 46;
    const int bands = std::clamp(static_cast<int>(std::ceil((bottom - top) / band_room - 0.25)), 1, 4);
    const int rows = std::min(25, static_cast<int>(std::floor(((bottom - top) / bands - 46) / kPitch)));
    if (rows < 3) return;
    for (int band = 0; band < bands; ++band) {
        double x = left;
        for (int a = 0; a < across; ++a) {
            // Some slots hold a 10-ring grid, which is two slots wide: rings
            // of the ID's size and pitch that are not the ID.
            const bool wide = ten_wide && a + 1 < across && rng.chance(0.3);
            const int these_rows = wide ? std::min(rows, rng.between(4, 10)) : rows;
            draw_answer_area(cv, rng, x + rng.between(-3.0, 3.0), y, these_rows, wide ? 10 : 5, question, fill, ink,
                             level);
            x += (wide ? 2 : 1) * (five_w + gap);
            if (wide) ++a;
        }
        y += rows * kPitch + 40;
    }
}

void draw_instructions(const Canvas& cv, Random& rng, double left, double top, double right, double bottom) {
    cairo_t* cr = cv.cr;
    if (right - left < 120) return;
    print_colour(cr);
    cairo_set_line_width(cr, 1.3);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_stroke(cr);
    const std::vector<std::string> lines = {"1. WRITE YOUR STUDENT NUMBER IN THE BOXES.",
                                            "2. FILL ONE BUBBLE IN EACH COLUMN.", "3. USE A 2B PENCIL. ERASE CLEANLY.",
                                            "4. ONE ANSWER PER QUESTION."};
    // Sized to the box so narrow boxes still hold the lines.
    double size = std::clamp((bottom - top) / 11, 6.0, 16.0);
    const double room = (right - left) * 0.72 - 16;
    auto widest = [&](double sz) {
        double w = 0;
        for (const auto& l : lines) w = std::max(w, text_width(cr, l, sz));
        return w;
    };
    while (size > 4 && widest(size) > room) size -= 0.5;
    double y = top + 8 + size * 1.4;
    text_at(cr, "INSTRUCTIONS", left + 8, y, size * 1.3);
    for (const auto& l : lines) {
        y += size * 1.5;
        text_at(cr, l, left + 8, y, size);
    }
    // The set selector: four rings at the right, one filled.
    const double set_x = right - 4 * kPitch - 8;
    if (set_x > left + room + 10) {
        text_at(cr, "SET", set_x + kPitch, top + 8 + size * 1.4, size * 1.2);
        const int filled = rng.between(0, 3);
        for (int k = 0; k < 4; ++k) {
            const double cx = set_x + k * kPitch + kPitch / 2.0, cy = top + 8 + size * 3.2;
            idr::printing::draw_ring(cr, cx, cy, std::string(1, static_cast<char>('A' + k)));
            if (k == filled) draw_fill(cr, rng, cx, cy, rng.between(20, 90), Ink::Pencil, cv.colour);
        }
    }
    // Examples of right and wrong marks, in rings of the same look.
    y += size * 3;
    if (y + 12 < bottom) {
        print_colour(cr);
        double x = left + 8;
        x += text_at(cr, "CORRECT ", x, y + size * 0.35, size);
        idr::printing::draw_ring(cr, x + 12, y, "");
        draw_fill(cr, rng, x + 12, y, 40, Ink::Pen, cv.colour);
        x += 60;
        print_colour(cr);
        x += text_at(cr, "WRONG ", x, y + size * 0.35, size);
        for (int k = 0; k < 3; ++k) {
            const double cx = x + 12 + k * kPitch;
            idr::printing::draw_ring(cr, cx, y, "");
            if (k == 0) draw_tick(cr, rng, cx, y, Ink::Pen, cv.colour);
            if (k == 1) draw_cross(cr, rng, cx, y, Ink::Pen, cv.colour);
            if (k == 2) draw_smudge(cr, rng, cx, y, 200);
        }
    }
}

void draw_footer(const Canvas& cv, double margin) {
    print_colour(cv.cr);
    text_centred(cv.cr, "PLEASE DO NOT FOLD, STAPLE OR TEAR THIS SHEET", cv.width / 2, cv.height - margin,
                 cv.width * 0.014);
}

// A back page: paragraphs of words and ruled lines, some written on.
void draw_back_page(const Canvas& cv, Random& rng, double margin) {
    cairo_t* cr = cv.cr;
    print_colour(cr);
    const double size = cv.width * rng.between(0.013, 0.02);
    static const std::vector<std::string> kWords = {
        "the",    "answer", "sheet", "read",  "each", "question", "carefully", "mark", "only", "one",
        "choice", "time",   "page",  "score", "will", "be",       "checked",   "by",   "a",    "machine",
        "do",     "not",    "write", "here",  "use",  "pencil",   "section",   "part", "total", "points"};
    double y = margin + size * 2;
    text_centred(cr, pick(rng, {"NOTES", "WORKING SPACE", "SECTION B", "GENERAL INFORMATION"}), cv.width / 2, y,
                 size * 1.6, true);
    y += size * 2.5;
    while (y < cv.height * 0.55) {
        double x = margin;
        const int words = rng.between(8, 30);
        for (int w = 0; w < words && y < cv.height * 0.55; ++w) {
            const std::string word = pick(rng, kWords) + " ";
            const double wd = text_width(cr, word, size);
            if (x + wd > cv.width - margin) {
                x = margin;
                y += size * 1.5;
            }
            x += text_at(cr, word, x, y, size);
        }
        y += size * 2.5;
    }
    // Ruled lines for working, with a few scribbled numbers on them.
    const double pitch = size * 2.2;
    for (; y < cv.height - margin; y += pitch) {
        print_colour(cr);
        rule(cr, margin, y, cv.width - margin, y, 0.8);
        if (rng.chance(0.3)) {
            double x = margin + rng.between(0.0, cv.width * 0.3);
            for (int k = rng.between(2, 8); k > 0; --k, x += pitch * 0.6)
                draw_written_digit(cr, rng, rng.between(0, 9), x, y - pitch * 0.8, pitch * 0.45, pitch * 0.7,
                                   Ink::Pencil, cv.colour);
        }
    }
}

cv::Scalar paper_rgb(const PagePlan& plan) {
    const double l = plan.paper_level;
    // Cream paper loses blue first, then a little green.
    return plan.cream_paper ? cv::Scalar(l, l - 6, l - 26) : cv::Scalar(l, l, l);
}

}  // namespace

DrawnPage draw_page(const PagePlan& plan, Random& rng) {
    using namespace idr::block;
    const double u = plan.unit_px;
    int width_px = 0, height_px = 0;
    double block_margin = 0;
    if (plan.kind == Kind::BlockOnly) {
        block_margin = rng.between(4.0, 30.0);
        width_px = static_cast<int>(std::ceil((kWidth + 2 * block_margin) * u));
        height_px = static_cast<int>(std::ceil((kHeight + 2 * block_margin) * u));
    } else {
        width_px = static_cast<int>(std::lround(plan.paper_width_in * plan.dpi));
        height_px = static_cast<int>(std::lround(plan.paper_height_in * plan.dpi));
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_px, height_px);
    cairo_t* cr = cairo_create(surface);
    const cv::Scalar paper = paper_rgb(plan);
    cairo_set_source_rgb(cr, paper[0] / 255.0, paper[1] / 255.0, paper[2] / 255.0);
    cairo_paint(cr);
    cairo_scale(cr, u, u);
    const Canvas canvas{cr, width_px / u, height_px / u, plan.colour};

    DrawnPage out;
    auto draw_block_at = [&](double bx, double by) {
        cairo_save(cr);
        cairo_translate(cr, bx, by);
        idr::printing::draw_block(cr, {});
        draw_block_marks(cr, rng, plan.columns, plan.handwriting, plan.colour);
        cairo_restore(cr);
        out.block_origin_px = cv::Point2d(bx * u, by * u);
    };

    const double margin = canvas.width * 0.055;
    switch (plan.kind) {
    case Kind::BlockOnly: draw_block_at(block_margin, block_margin); break;
    case Kind::BackPage: draw_back_page(canvas, rng, margin); break;
    case Kind::Scan:
    case Kind::Photo:
    case Kind::RingsOnly: {
        if (plan.corner_marks) draw_corner_marks(canvas, margin);
        double y = draw_heading(canvas, rng, margin);
        const double left = margin + rng.between(0.0, 20.0), right = canvas.width - margin;
        if (plan.kind == Kind::RingsOnly) {
            draw_instructions(canvas, rng, left, y, right, y + 150);
            y += 180;
        } else {
            draw_block_at(left, y);
            draw_instructions(canvas, rng, left + kWidth + 40, y + kFrameTopRow, right, y + kHeight * 0.62);
            y += kHeight + 20;
        }
        draw_answers(canvas, rng, left, right, y, canvas.height - margin * 1.6, plan.ten_wide_grids,
                     plan.fill_answers);
        draw_footer(canvas, margin);
        break;
    }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    // RGB24 is one 32-bit word per pixel: B, G, R, unused in memory order on
    // the little-endian machines this runs on.
    const cv::Mat wrapped(height_px, width_px, CV_8UC4, cairo_image_surface_get_data(surface),
                          static_cast<std::size_t>(cairo_image_surface_get_stride(surface)));
    // Grey pages turn grey here, so everything after works on one channel.
    cv::cvtColor(wrapped, out.image, plan.colour ? cv::COLOR_BGRA2BGR : cv::COLOR_BGRA2GRAY);
    cairo_surface_destroy(surface);
    return out;
}

}  // namespace idr::pagegen
