#pragma once
// The printable answer-sheet form, drawn with cairo. The ID block comes from
// form/block_layout.h, so the printed block, the built-in sheet and the scan
// reader's model of the block are the same thing.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace idr::printing {

enum class Paper { A4, Letter };

// Paper size in points (1/72 inch).
struct PaperSize {
    double width_pt, height_pt;
};
PaperSize paper_size(Paper paper);

// The locale's paper size where it names one (LC_PAPER), else A4.
Paper default_paper();

// How the block looks when drawn; defaults are the printed form's.
struct BlockStyle {
    bool tint_even_columns = true;   // pink even columns
    bool draw_heading = true;        // "STUDENT ID" above the frame
    bool draw_column_numbers = true;
};

// Draws the ID block in block units (one unit = one pixel of the built-in
// sheet, 262 x 362 units, origin at the block's top-left corner) onto `cr`
// with its current transformation: scale and place it before calling.
void draw_block(cairo_t* cr, const BlockStyle& style = {});

// Draws one bubble ring with its label centred in it, in block units around
// (cx, cy); used by the block and by anything that draws rings of the same
// look (answer areas on test pages).
void draw_ring(cairo_t* cr, double cx, double cy, const std::string& label);

// Where the form page places the block: its top-left corner in points, and
// the size of one block unit in points (1/100 inch = 0.72 pt).
struct FormPlacement {
    double block_left_pt, block_top_pt, unit_pt;
};
FormPlacement form_placement(Paper paper);

// Draws the whole blank form page (title line, name/class/date lines, the
// instruction, the block) in points onto `cr`.
void draw_form_page(cairo_t* cr, Paper paper);

// Resolutions the form is rendered at, dots per inch. Below the range the
// rings lose their digits; above it a page runs to hundreds of megabytes.
inline constexpr double kMinFormDpi = 36, kMaxFormDpi = 1200;

// Writes the blank form to a file chosen by its extension (any case): .pdf
// and .svg as vectors, .png rendered at `dpi` with the dpi recorded in the
// file. Returns an error message naming the file and the reason, or nothing
// on success. The whole file is made in memory first, so a failure before
// writing leaves an existing file alone.
std::optional<std::string> write_form(const std::string& path, Paper paper, double dpi = 300);

// The form rendered in memory: 8-bit RGB, rows of width * 3 bytes, white
// paper; the page's size in points times dpi / 72, rounded up. Empty (0 x 0)
// for a dpi outside kMinFormDpi..kMaxFormDpi or when memory runs out.
struct RgbImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};
RgbImage render_form(Paper paper, double dpi);

}  // namespace idr::printing
