#pragma once
// A small stroke font: the digits and the capitals of the title, each as
// polylines in a box one unit high (y down) and `width` units wide.

#include <string_view>
#include <vector>

#include "tools/sheetgen/raster.h"

namespace idr::sheetgen {

struct Glyph {
    double width = 0;  // ink width in units; 0 for a single vertical stroke
    std::vector<Polyline> strokes;
};

// The glyph for one of "0123456789STUDENI" or a blank (no strokes).
// Any other character is a programming error (asserted).
Glyph glyph(char c);

// Places a glyph: unit (u, v) goes to (left + scale_x * u + slant * (0.5 - v) * height,
// top + height * v).
struct Placement {
    double left = 0, top = 0, scale_x = 1, height = 1, slant = 0;
};
std::vector<Polyline> place(const Glyph& g, const Placement& at);

// Ink width of a text in units with `gap` units between glyphs and `blank`
// units for a blank.
double text_width(std::string_view text, double gap, double blank);

}  // namespace idr::sheetgen
