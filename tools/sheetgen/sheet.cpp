#include "tools/sheetgen/sheet.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/sheetgen/glyphs.h"
#include "tools/sheetgen/random.h"
#include "tools/sheetgen/raster.h"

namespace idr::sheetgen {
namespace {

// Salts for the per-pixel noise of each layer.
constexpr std::uint64_t kPaperSalt = 11, kTintSalt = 12, kInkSalt = 13, kPenSalt = 14;

int channel(double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); }

// Paper is 252..255 in each channel, mostly at the top of that range.
int paper_level(std::uint64_t h) {
    const int roll = static_cast<int>(h % 100);
    if (roll < 74) return 255;
    if (roll < 90) return 254;
    if (roll < 97) return 253;
    return 252;
}

}  // namespace

Sheet::Sheet() : layers_(static_cast<std::size_t>(kWidth) * kHeight) {}

Rgb Sheet::compose(const PixelLayers& p) {
    if (p.disc || p.rule_black) return {0, 0, 0};
    auto mix = [&](int paper, int ink, int pen) {
        double v = paper * (1 - p.print) + ink * p.print;
        v = v * (1 - p.pen) + pen * p.pen;
        return channel(v);
    };
    return {mix(p.paper.r, p.ink.r, p.pen_ink.r), mix(p.paper.g, p.ink.g, p.pen_ink.g),
            mix(p.paper.b, p.ink.b, p.pen_ink.b)};
}

Surface Sheet::to_surface() const {
    Surface s(kWidth, kHeight, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) s.set_pixel(x, y, colour_value(colour(x, y)));
    return s;
}

void draw_paper(Sheet& sheet) {
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            PixelLayers& p = sheet.at(x, y);
            const std::uint64_t h = pixel_hash(x, y, kPaperSalt);
            p.paper = {paper_level(h), paper_level(h >> 8), paper_level(h >> 16)};
            // Every pixel gets an ink colour, so printing can be added anywhere.
            const std::uint64_t k = pixel_hash(x, y, kInkSalt);
            p.ink = {kMaroon.r + static_cast<int>(k % 7) - 3, kMaroon.g + static_cast<int>((k >> 8) % 5) - 2,
                     kMaroon.b + static_cast<int>((k >> 16) % 5) - 2};
        }
    }
    // The tint of the even-numbered columns fills the bubble grid between the rules.
    for (int c = 0; c < kColumns; ++c) {
        if (!is_tinted_column(c)) continue;
        for (int y = kGridTop; y <= kGridBottom; ++y) {
            for (int x = kRuleX0 + kPitch * c + 2; x <= kRuleX0 + kPitch * (c + 1) - 1; ++x) {
                PixelLayers& p = sheet.at(x, y);
                const std::uint64_t h = pixel_hash(x, y, kTintSalt);
                p.tinted = true;
                p.paper = {kTint.r + static_cast<int>(h % 5) - 2, kTint.g + static_cast<int>((h >> 8) % 5) - 2,
                           kTint.b + static_cast<int>((h >> 16) % 5) - 2};
            }
        }
    }
}

namespace {

void stroke_text(CoverageMask& mask, const std::string& text, double centre_x, double top, double height,
                 double scale_x, double gap, double blank, double pen_width) {
    double x = centre_x - text_width(text, gap, blank) * scale_x / 2;
    for (char ch : text) {
        const Glyph g = glyph(ch);
        for (const Polyline& s : place(g, {x, top, scale_x, height, 0})) mask.stroke_polyline(s, pen_width);
        x += ((ch == ' ') ? blank : g.width) * scale_x + gap * scale_x;
    }
}

}  // namespace

void draw_printing(Sheet& sheet) {
    CoverageMask mask(kWidth, kHeight);
    Random rng(20240611);

    // Frame and rules. The horizontal rules sit on whole rows; the vertical
    // ones wander a little in position and width, as printed rules do.
    const double left = kRuleX0 - 0.2, right = kRuleX0 + kPitch * kColumns + 1.6;
    mask.fill_rect(left, kFrameTopRow, right, kFrameTopRow + 1);
    mask.fill_rect(left, kNumbersRuleRow, right, kNumbersRuleRow + 1);
    mask.fill_rect(left, kGridRuleTop, right, kGridRuleTop + 2);
    mask.fill_rect(left, kFrameBottomTop, right, kFrameBottomTop + 2);
    for (int k = 0; k <= kColumns; ++k) {
        const double x0 = kRuleX0 + kPitch * k + rng.between(0.0, 0.35);
        const double w = rng.between(1.05, 1.6);
        mask.fill_rect(x0, kFrameTopRow, x0 + w, kFrameBottomTop + 2);
    }

    // Bubble rings with their digits.
    for (int c = 0; c < kColumns; ++c) {
        for (int r = 0; r < kRows; ++r) {
            const Vec2 centre{bubble_centre_x(c), bubble_centre_y(r)};
            mask.fill_annulus(centre, kRingInnerRadius, kRingOuterRadius);
            const double h = kDigitHeight, sx = kDigitHeight;
            const Glyph g = glyph(static_cast<char>('0' + r));
            for (const Polyline& s : place(g, {centre.x - g.width * sx / 2, centre.y - h / 2, sx, h, 0}))
                mask.stroke_polyline(s, kDigitStroke);
        }
    }

    // Column numbers 1..10.
    for (int c = 0; c < kColumns; ++c)
        stroke_text(mask, std::to_string(c + 1), bubble_centre_x(c), kNumberTop, kNumberHeight, kNumberHeight, 0.3, 0,
                    kNumberStroke);

    // The title, its ink filling rows 5..21 and columns 82..178.
    {
        const std::string title = kTitle;
        const double pen = 1.5, top = kHeadingTop + 0.8, bottom = kHeadingBottom + 0.2;
        const double ink_left = kTitleLeft + 0.8, ink_right = kTitleRight + 0.2;
        const double gap = 0.32, blank = 0.45;
        const double scale = (ink_right - ink_left) / text_width(title, gap, blank);
        stroke_text(mask, title, (ink_left + ink_right) / 2, top, bottom - top, scale, gap, blank, pen);
    }

    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) sheet.at(x, y).print = mask.coverage(x, y);
}

void draw_handwriting(Sheet& sheet) {
    CoverageMask mask(kWidth, kHeight);
    std::vector<Polyline> lines;
    Random rng(5093719246ull);
    constexpr double kPenWidth = 2.7;
    for (int c = 0; c < kColumns; ++c) {
        const Glyph g = glyph(static_cast<char>('0' + kStudentId[c]));
        const double h = rng.between(28.0, 33.0);
        const double sx = h * rng.between(0.5, 0.58);
        const double slant = rng.between(0.06, 0.2);
        const double top = kBoxesTop + (kBoxesBottom - kBoxesTop + 1 - h) / 2 + rng.between(-2.0, 2.0);
        const double left = bubble_centre_x(c) - g.width * sx / 2 + rng.between(-1.0, 1.0);
        for (Polyline s : place(g, {left, top, sx, h, slant})) {
            // A hand does not follow the template exactly.
            for (Vec2& v : s) {
                v.x += rng.between(-0.45, 0.45);
                v.y += rng.between(-0.45, 0.45);
            }
            mask.stroke_polyline(s, kPenWidth);
            lines.push_back(std::move(s));
        }
    }
    for (int y = kBoxesTop; y <= kBoxesBottom; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            PixelLayers& p = sheet.at(x, y);
            p.pen = mask.coverage(x, y);
            if (p.pen == 0) continue;
            const Vec2 centre{x + 0.5, y + 0.5};
            for (const Polyline& s : lines)
                for (std::size_t i = 1; i < s.size(); ++i)
                    p.pen_centre = std::min(p.pen_centre, segment_distance(centre, s[i - 1], s[i]));
            // Blue-black ballpoint, heavier towards the middle of the stroke.
            const double t = std::clamp(1 - p.pen_centre / (kPenWidth / 2), 0.0, 1.0);
            const std::uint64_t k = pixel_hash(x, y, kPenSalt);
            const Rgb edge{30 + static_cast<int>(k % 5), 32 + static_cast<int>((k >> 8) % 5),
                           60 + static_cast<int>((k >> 16) % 7)};
            const Rgb core{6, 6, 12};
            p.pen_ink = {channel(edge.r + (core.r - edge.r) * t), channel(edge.g + (core.g - edge.g) * t),
                         channel(edge.b + (core.b - edge.b) * t)};
        }
    }
}

}  // namespace idr::sheetgen
