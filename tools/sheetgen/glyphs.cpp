#include "tools/sheetgen/glyphs.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace idr::sheetgen {
namespace {

// Points of an elliptic arc; angles in degrees, 0 = right, 90 = down.
Polyline arc(double cx, double cy, double rx, double ry, double from, double to) {
    const int steps = std::max(4, static_cast<int>(std::abs(to - from) / 10));
    Polyline p;
    for (int i = 0; i <= steps; ++i) {
        const double a = (from + (to - from) * i / steps) * std::numbers::pi / 180;
        p.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return p;
}

Polyline join(Polyline a, const Polyline& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

Glyph glyph(char c) {
    switch (c) {
    case '0': return {0.6, {arc(0.3, 0.5, 0.3, 0.5, 0, 360)}};
    case '1': return {0.36, {{{0.0, 0.22}, {0.36, 0.0}, {0.36, 1.0}}}};
    case '2': return {0.6, {join(arc(0.3, 0.28, 0.29, 0.28, 200, 390), {{0.0, 1.0}, {0.6, 1.0}})}};
    case '3':
        return {0.6, {join(arc(0.3, 0.26, 0.27, 0.24, 210, 450), arc(0.3, 0.74, 0.3, 0.26, 270, 520))}};
    case '4': return {0.6, {{{0.46, 1.0}, {0.46, 0.0}, {0.0, 0.68}, {0.6, 0.68}}}};
    case '5':
        return {0.6, {join({{0.56, 0.0}, {0.1, 0.0}, {0.06, 0.46}}, arc(0.3, 0.68, 0.3, 0.32, 225, 505))}};
    case '6':
        return {0.6, {{{0.5, 0.02}, {0.22, 0.22}, {0.05, 0.52}, {0.01, 0.72}},
                      arc(0.3, 0.7, 0.29, 0.3, 0, 360)}};
    case '7': return {0.6, {{{0.0, 0.0}, {0.6, 0.0}, {0.22, 1.0}}}};
    case '8':
        return {0.6, {arc(0.3, 0.25, 0.25, 0.25, 0, 360), arc(0.3, 0.73, 0.3, 0.27, 0, 360)}};
    case '9':
        return {0.6, {arc(0.3, 0.3, 0.29, 0.3, 0, 360), {{0.59, 0.3}, {0.55, 0.62}, {0.4, 1.0}}}};
    case 'S':
        return {0.6, {join(arc(0.3, 0.26, 0.28, 0.24, 340, 90), arc(0.3, 0.74, 0.3, 0.26, 270, 520))}};
    case 'T': return {0.6, {{{0.0, 0.0}, {0.6, 0.0}}, {{0.3, 0.0}, {0.3, 1.0}}}};
    case 'U': return {0.6, {join(join({{0.0, 0.0}}, arc(0.3, 0.7, 0.3, 0.3, 180, 0)), {{0.6, 0.0}})}};
    case 'D':
        return {0.6, {join(join({{0.0, 0.0}, {0.0, 1.0}, {0.22, 1.0}}, arc(0.22, 0.5, 0.38, 0.5, 90, -90)),
                           {{0.0, 0.0}})}};
    case 'E': return {0.55, {{{0.55, 0.0}, {0.0, 0.0}, {0.0, 1.0}, {0.55, 1.0}}, {{0.0, 0.5}, {0.45, 0.5}}}};
    case 'N': return {0.6, {{{0.0, 1.0}, {0.0, 0.0}, {0.6, 1.0}, {0.6, 0.0}}}};
    case 'I': return {0.0, {{{0.0, 0.0}, {0.0, 1.0}}}};
    case ' ': return {0.0, {}};
    default: assert(false && "no glyph for this character"); return {};
    }
}

std::vector<Polyline> place(const Glyph& g, const Placement& at) {
    std::vector<Polyline> out;
    for (const Polyline& s : g.strokes) {
        Polyline p;
        for (Vec2 v : s)
            p.push_back({at.left + at.scale_x * v.x + at.slant * (0.5 - v.y) * at.height,
                         at.top + at.height * v.y});
        out.push_back(std::move(p));
    }
    return out;
}

double text_width(std::string_view text, double gap, double blank) {
    double w = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        w += text[i] == ' ' ? blank : glyph(text[i]).width;
        if (i + 1 < text.size()) w += gap;
    }
    return w;
}

}  // namespace idr::sheetgen
