#pragma once
// Drawing the model's pictures with Qt: the pixel surface as an image, and
// the cell markers over it. Nothing here writes to the model.

#include <QColor>
#include <QImage>

#include "form/form1.h"
#include "picture/surface.h"

class QPainter;

namespace idr {

// A colour value 0x00BBGGRR as an opaque QColor (the top byte is ignored).
QColor to_qcolor(Int32 colour);

// The surface as a 32-bit RGB image of the same size, pixel for pixel.
QImage surface_image(const Surface& surface);

// Draws one marker in picture pixels (the painter's origin is the picture's
// top-left pixel). A marker at Left 8, Top 109, 20 x 20 covers the pixels
// x = 8..27, y = 109..128:
//   style 1 (and any style other than 7): a 1-pixel outline in BorderColor;
//   style 7: a diagonal cross-hatch in FillColor over the cell, then the
//            outline.
// Invisible markers, empty sizes and positions that are not finite draw
// nothing.
void draw_marker(QPainter& painter, const ShapeElement& marker);

// Every element in index order, so a higher index is drawn on top.
void draw_markers(QPainter& painter, const ShapeArray& markers);

}  // namespace idr
