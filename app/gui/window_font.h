#pragma once
// The one font of the window and its controls.

#include <QFont>

namespace idr {

// DejaVu Sans for Latin text, a Tlwg face for the Thai label, at a pixel size
// small enough that every button caption, trailing blanks included, keeps its
// words inside the design-sized button. Pixel size, not point size: the
// design is laid out in pixels, so the text must not grow with the screen's
// dots per inch while the buttons stay put.
QFont window_font();

}  // namespace idr
