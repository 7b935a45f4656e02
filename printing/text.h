#pragma once
// Text on the form through cairo's font API (fontconfig picks the files).
// Positions are by the ink of the glyphs, not by their advance boxes, so a
// digit sits in the middle of its ring whatever the font's side bearings.

#include <string>

typedef struct _cairo cairo_t;

namespace idr::printing {

enum class FontFace { Regular, Bold, Condensed };

// Selects the face at `size` user units, with hinting off so the glyphs
// scale with the drawing and measure the same on every surface.
void use_font(cairo_t* cr, FontFace face, double size);

// The font size at which a digit's ink is `ink_height` user units tall.
double digit_font_size(cairo_t* cr, FontFace face, double ink_height);

// Shows `text` in the current font with its ink box centred on (cx, cy).
void show_text_centred(cairo_t* cr, const std::string& text, double cx, double cy);

// Shows `text` with its ink filling the box (x0, y0)-(x1, y1), scaled to the
// box's width and height separately.
void show_text_in_box(cairo_t* cr, FontFace face, const std::string& text, double x0, double y0, double x1,
                      double y1);

// Shows `text` in the current font, its left edge at x and its baseline at y.
void show_text_at(cairo_t* cr, const std::string& text, double x, double baseline);

}  // namespace idr::printing
