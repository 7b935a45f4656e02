#pragma once
// Hand-made marks, drawn with cairo in block units around a bubble's centre.
// Graphite and ink darken what lies under them, so every mark is multiplied
// into the page: a pencil disc over a ring leaves the ring visible, a smudge
// over the pink tint comes out darker than the same smudge on white paper.

#include <array>

#include "tools/pagegen/page.h"
#include "tools/pagegen/random.h"

typedef struct _cairo cairo_t;

namespace idr::pagegen {

enum class Ink { Pencil, Pen };

// A filled bubble: an irregular disc 17-21 units across, a little off centre;
// pencil is textured with strokes around `level`, pen is flat.
void draw_fill(cairo_t* cr, Random& rng, double cx, double cy, int level, Ink ink, bool colour);

// What is left where a mark was rubbed out: a wide, soft, light patch.
void draw_smudge(cairo_t* cr, Random& rng, double cx, double cy, int level);

void draw_tick(cairo_t* cr, Random& rng, double cx, double cy, Ink ink, bool colour);
void draw_cross(cairo_t* cr, Random& rng, double cx, double cy, Ink ink, bool colour);

// One digit in quick handwriting, in the box [left, left + w] x [top, top + h].
void draw_written_digit(cairo_t* cr, Random& rng, int digit, double left, double top, double w, double h,
                        Ink ink, bool colour);

// All ten columns of the block, in block units (origin at the block's top
// left): the marks in the bubble grid and, when asked, the digits written in
// the boxes above.
void draw_block_marks(cairo_t* cr, Random& rng, const std::array<ColumnMark, 10>& columns, bool handwriting,
                      bool colour);

}  // namespace idr::pagegen
