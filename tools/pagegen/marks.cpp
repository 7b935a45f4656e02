#include "tools/pagegen/marks.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "form/block_layout.h"

namespace idr::pagegen {

namespace {

constexpr double kPi = std::numbers::pi;

struct P {
    double x, y;
};

void set_ink(cairo_t* cr, int level, Ink ink, bool colour, double alpha = 1.0) {
    const double l = std::clamp(level, 0, 255) / 255.0;
    if (ink == Ink::Pen && colour) {
        // Blue-black ballpoint: as dark as `level` in grey, with a blue cast.
        cairo_set_source_rgba(cr, l * 0.75, l * 0.85, std::min(1.0, l * 1.9 + 0.05), alpha);
    } else {
        cairo_set_source_rgba(cr, l, l, std::min(1.0, l + 0.015), alpha);
    }
}

// A closed smooth outline through `pts` (Catmull-Rom turned into Béziers).
void closed_curve(cairo_t* cr, const std::vector<P>& pts) {
    const std::size_t n = pts.size();
    cairo_move_to(cr, pts[0].x, pts[0].y);
    for (std::size_t i = 0; i < n; ++i) {
        const P& p0 = pts[(i + n - 1) % n];
        const P& p1 = pts[i];
        const P& p2 = pts[(i + 1) % n];
        const P& p3 = pts[(i + 2) % n];
        cairo_curve_to(cr, p1.x + (p2.x - p0.x) / 6, p1.y + (p2.y - p0.y) / 6, p2.x - (p3.x - p1.x) / 6,
                       p2.y - (p3.y - p1.y) / 6, p2.x, p2.y);
    }
    cairo_close_path(cr);
}

void open_curve(cairo_t* cr, const std::vector<P>& pts) {
    const std::size_t n = pts.size();
    cairo_move_to(cr, pts[0].x, pts[0].y);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const P& p0 = pts[i == 0 ? 0 : i - 1];
        const P& p1 = pts[i];
        const P& p2 = pts[i + 1];
        const P& p3 = pts[std::min(n - 1, i + 2)];
        cairo_curve_to(cr, p1.x + (p2.x - p0.x) / 6, p1.y + (p2.y - p0.y) / 6, p2.x - (p3.x - p1.x) / 6,
                       p2.y - (p3.y - p1.y) / 6, p2.x, p2.y);
    }
}

// An irregular blob: radius `r` wobbling by a few per cent, stretched by
// `stretch` along the angle `turn`.
std::vector<P> blob(Random& rng, double cx, double cy, double r, double wobble, double stretch, double turn) {
    const double a1 = rng.between(0.0, wobble), a2 = rng.between(0.0, wobble), a3 = rng.between(0.0, wobble / 2);
    const double p1 = rng.between(0.0, 2 * kPi), p2 = rng.between(0.0, 2 * kPi), p3 = rng.between(0.0, 2 * kPi);
    std::vector<P> pts;
    constexpr int kPoints = 24;
    for (int i = 0; i < kPoints; ++i) {
        const double t = 2 * kPi * i / kPoints;
        const double rr = r * (1 + a1 * std::sin(t + p1) + a2 * std::sin(2 * t + p2) + a3 * std::sin(3 * t + p3) +
                               rng.between(-wobble, wobble) * 0.3);
        const double x = rr * std::cos(t) * stretch, y = rr * std::sin(t);
        pts.push_back({cx + x * std::cos(turn) - y * std::sin(turn), cy + x * std::sin(turn) + y * std::cos(turn)});
    }
    return pts;
}

void stroke_path(cairo_t* cr, const std::vector<P>& pts, double width, int level, Ink ink, bool colour) {
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    set_ink(cr, level, ink, colour);
    open_curve(cr, pts);
    cairo_stroke(cr);
}

// Digit skeletons in a box one unit wide and high, y down, drawn as one or
// two quick strokes the way people write them.
const std::vector<std::vector<P>>& digit_strokes(int d) {
    static const std::vector<std::vector<P>> kDigits[10] = {
        {{{0.55, 0.02}, {0.15, 0.2}, {0.08, 0.6}, {0.35, 0.98}, {0.75, 0.9}, {0.92, 0.45}, {0.75, 0.08}, {0.5, 0.05}}},
        {{{0.3, 0.22}, {0.58, 0.02}, {0.56, 0.5}, {0.55, 1.0}}},
        {{{0.1, 0.25}, {0.45, 0.02}, {0.85, 0.2}, {0.75, 0.5}, {0.1, 0.98}, {0.95, 0.96}}},
        {{{0.12, 0.12}, {0.6, 0.0}, {0.85, 0.22}, {0.42, 0.47}, {0.88, 0.68}, {0.65, 0.98}, {0.1, 0.88}}},
        {{{0.72, 1.0}, {0.7, 0.5}, {0.7, 0.02}}, {{0.6, 0.05}, {0.08, 0.68}, {0.95, 0.7}}},
        {{{0.88, 0.02}, {0.22, 0.03}}, {{0.22, 0.03}, {0.16, 0.45}, {0.62, 0.38}, {0.9, 0.66}, {0.62, 0.98}, {0.1, 0.88}}},
        {{{0.8, 0.04}, {0.35, 0.28}, {0.1, 0.68}, {0.38, 0.99}, {0.82, 0.85}, {0.78, 0.55}, {0.4, 0.5}, {0.14, 0.7}}},
        {{{0.05, 0.03}, {0.95, 0.02}, {0.6, 0.5}, {0.38, 1.0}}},
        {{{0.52, 0.47}, {0.16, 0.24}, {0.5, 0.01}, {0.84, 0.24}, {0.5, 0.5}, {0.12, 0.76}, {0.5, 0.99}, {0.88, 0.75},
          {0.52, 0.5}}},
        {{{0.86, 0.28}, {0.5, 0.5}, {0.14, 0.3}, {0.48, 0.01}, {0.86, 0.2}, {0.8, 0.62}, {0.5, 1.0}}},
    };
    return kDigits[d];
}

}  // namespace

void draw_fill(cairo_t* cr, Random& rng, double cx, double cy, int level, Ink ink, bool colour) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY);
    const double diameter = rng.between(17.0, 21.0);
    const double ox = rng.between(-1.2, 1.2), oy = rng.between(-1.2, 1.2);
    const auto outline = blob(rng, cx + ox, cy + oy, diameter / 2, 0.05, rng.between(0.95, 1.07),
                              rng.between(0.0, kPi));
    if (ink == Ink::Pen) {
        set_ink(cr, level, ink, colour);
        closed_curve(cr, outline);
        cairo_fill(cr);
    } else {
        // Pencil: a lighter base and overlapping strokes that bring the
        // middle of the disc to about `level`, leaving grain between them.
        const int base = std::min(255, level + 35);
        set_ink(cr, base, ink, colour);
        closed_curve(cr, outline);
        cairo_fill_preserve(cr);
        cairo_clip(cr);
        const double dir = rng.between(0.2, 1.3);
        const double dx = std::cos(dir), dy = std::sin(dir);
        const int strokes = rng.between(14, 22);
        for (int i = 0; i < strokes; ++i) {
            const double off = -diameter / 2 + diameter * (i + rng.unit()) / strokes;
            const double len = diameter * rng.between(0.6, 1.0);
            const double sx = cx + ox - dy * off, sy = cy + oy + dx * off;
            // Multiplying 0.86 into `base` lands near `level` where strokes
            // overlap; strokes vary so the grain shows.
            const int shade = std::clamp(static_cast<int>(255 * (level + 4.0 * rng.normal()) / base), 60, 255);
            set_ink(cr, shade, Ink::Pencil, false, rng.between(0.6, 0.95));
            cairo_set_line_width(cr, rng.between(1.4, 2.6));
            cairo_move_to(cr, sx - dx * len / 2, sy - dy * len / 2);
            cairo_line_to(cr, sx + dx * len / 2, sy + dy * len / 2);
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
}

void draw_smudge(cairo_t* cr, Random& rng, double cx, double cy, int level) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY);
    const double turn = rng.between(0.0, kPi);
    const double stretch = rng.between(1.1, 1.5);
    // Soft edge: rings of blob from the paper's brightness in to `level`.
    constexpr int kSteps = 4;
    for (int k = 0; k < kSteps; ++k) {
        const double f = static_cast<double>(k + 1) / kSteps;
        const double r = rng.between(9.0, 11.5) * (1.25 - 0.35 * f);
        // Multiplied layers: each brings the middle down by the same factor.
        const double total = level / 255.0;
        const double layer = std::pow(total, 1.0 / kSteps);
        cairo_set_source_rgb(cr, layer, layer, layer);
        closed_curve(cr, blob(rng, cx + rng.between(-1.5, 1.5), cy + rng.between(-1.5, 1.5), r, 0.12, stretch, turn));
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void draw_tick(cairo_t* cr, Random& rng, double cx, double cy, Ink ink, bool colour) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY);
    auto j = [&rng] { return rng.between(-0.8, 0.8); };
    const std::vector<P> pts = {{cx - 5.5 + j(), cy + j()}, {cx - 1.5 + j(), cy + 5 + j()}, {cx + 6 + j(), cy - 6 + j()}};
    cairo_set_line_width(cr, rng.between(1.5, 2.4));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    set_ink(cr, rng.between(15, 60), ink, colour);
    cairo_move_to(cr, pts[0].x, pts[0].y);
    cairo_line_to(cr, pts[1].x, pts[1].y);
    cairo_line_to(cr, pts[2].x, pts[2].y);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void draw_cross(cairo_t* cr, Random& rng, double cx, double cy, Ink ink, bool colour) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY);
    auto j = [&rng] { return rng.between(-0.8, 0.8); };
    const double r = rng.between(5.0, 6.5);
    cairo_set_line_width(cr, rng.between(1.5, 2.4));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    set_ink(cr, rng.between(15, 60), ink, colour);
    cairo_move_to(cr, cx - r + j(), cy - r + j());
    cairo_line_to(cr, cx + r + j(), cy + r + j());
    cairo_move_to(cr, cx + r + j(), cy - r + j());
    cairo_line_to(cr, cx - r + j(), cy + r + j());
    cairo_stroke(cr);
    cairo_restore(cr);
}

void draw_written_digit(cairo_t* cr, Random& rng, int digit, double left, double top, double w, double h, Ink ink,
                        bool colour) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY);
    const double slant = rng.between(-0.05, 0.25);
    const double width = rng.between(1.2, 2.2);
    const int level = ink == Ink::Pen ? rng.between(15, 45) : rng.between(40, 110);
    for (const auto& stroke : digit_strokes(digit)) {
        std::vector<P> pts;
        for (const P& p : stroke) {
            const double u = p.x + rng.between(-0.06, 0.06), v = p.y + rng.between(-0.04, 0.04);
            pts.push_back({left + w * u + slant * (0.5 - v) * h, top + h * v});
        }
        stroke_path(cr, pts, width, level, ink, colour);
    }
    cairo_restore(cr);
}

void draw_block_marks(cairo_t* cr, Random& rng, const std::array<ColumnMark, 10>& columns, bool handwriting,
                      bool colour) {
    using namespace idr::block;
    const Ink hand_ink = rng.chance(0.5) ? Ink::Pen : Ink::Pencil;
    for (int c = 0; c < kColumns; ++c) {
        const ColumnMark& m = columns[static_cast<std::size_t>(c)];
        const double cx = bubble_centre_x(c);
        const double cy = bubble_centre_y(m.digit);
        switch (m.mark) {
        case Mark::Pencil: draw_fill(cr, rng, cx, cy, m.level, Ink::Pencil, colour); break;
        case Mark::Faint: draw_fill(cr, rng, cx, cy, m.level, Ink::Pencil, colour); break;
        case Mark::Pen: draw_fill(cr, rng, cx, cy, m.level, Ink::Pen, colour); break;
        case Mark::Double: {
            const Ink ink = m.level < 45 ? Ink::Pen : Ink::Pencil;
            draw_fill(cr, rng, cx, cy, m.level, ink, colour);
            draw_fill(cr, rng, cx, bubble_centre_y(m.second_digit), m.level + rng.between(-8, 8), ink, colour);
            break;
        }
        case Mark::Blank: break;
        case Mark::Erased: draw_smudge(cr, rng, cx, cy, m.level); break;
        case Mark::Ticked: draw_tick(cr, rng, cx, cy, rng.chance(0.5) ? Ink::Pen : Ink::Pencil, colour); break;
        case Mark::Crossed: draw_cross(cr, rng, cx, cy, rng.chance(0.5) ? Ink::Pen : Ink::Pencil, colour); break;
        }
        if (handwriting && (m.mark != Mark::Blank || rng.chance(0.5))) {
            const double box_left = kRuleX(c) + kRuleWidth, box_right = kRuleX(c + 1);
            const double h = rng.between(28.0, 38.0), w = rng.between(11.0, 16.0);
            const double left = (box_left + box_right - w) / 2 + rng.between(-2.0, 2.0);
            const double top = (kBoxesTop + kBoxesBottom + 1 - h) / 2.0 + rng.between(-3.0, 3.0);
            draw_written_digit(cr, rng, m.digit, left, top, w, h, hand_ink, colour);
        }
    }
}

}  // namespace idr::pagegen
