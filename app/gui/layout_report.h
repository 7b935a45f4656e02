#pragma once
// The window's layout as text, for scripts that drive the real window
// (real-window test, screenshots, measurements): they click at the places
// printed here instead of keeping their own copy of the design's numbers.

#include <iosfwd>

namespace idr {

// One line per rectangle, "NAME LEFT TOP WIDTH HEIGHT", in pixels:
//   Form1             the client area on the screen
//   <control>         every control of the window, in client coordinates
//   picRedraw.inside  the picture's drawing area (inside its frame)
//   Shape1            the template cell, in client coordinates
// and one line that is not a rectangle:
//   Shape1.grid PITCH_X PITCH_Y COLUMNS ROWS   the cells "2. Draw grid" lays
// The same rectangles the window gives its widgets.
void print_layout(std::ostream& out);

}  // namespace idr
