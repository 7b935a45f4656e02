#include "printing/text.h"

#include <cairo.h>

namespace idr::printing {

namespace {

// Glyphs are measured at this size and scaled: large enough that the
// extents' rounding inside cairo is negligible.
constexpr double kMeasureSize = 100;

struct Face {
    const char* family;
    cairo_font_weight_t weight;
};

Face face_of(FontFace face) {
    switch (face) {
        case FontFace::Bold: return {"DejaVu Sans", CAIRO_FONT_WEIGHT_BOLD};
        case FontFace::Condensed: return {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_NORMAL};
        case FontFace::Regular: break;
    }
    return {"DejaVu Sans", CAIRO_FONT_WEIGHT_NORMAL};
}

}  // namespace

void use_font(cairo_t* cr, FontFace face, double size) {
    const Face f = face_of(face);
    cairo_select_font_face(cr, f.family, CAIRO_FONT_SLANT_NORMAL, f.weight);
    cairo_set_font_size(cr, size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

double digit_font_size(cairo_t* cr, FontFace face, double ink_height) {
    cairo_save(cr);
    use_font(cr, face, kMeasureSize);
    // "1" has flat ends at the digits' full height; round digits overshoot.
    cairo_text_extents_t e;
    cairo_text_extents(cr, "1", &e);
    cairo_restore(cr);
    return e.height > 0 ? ink_height * kMeasureSize / e.height : ink_height;
}

void show_text_centred(cairo_t* cr, const std::string& text, double cx, double cy) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_move_to(cr, cx - e.x_bearing - e.width / 2, cy - e.y_bearing - e.height / 2);
    cairo_show_text(cr, text.c_str());
    cairo_new_path(cr);
}

void show_text_in_box(cairo_t* cr, FontFace face, const std::string& text, double x0, double y0, double x1,
                      double y1) {
    cairo_save(cr);
    use_font(cr, face, kMeasureSize);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    if (e.width > 0 && e.height > 0) {
        cairo_translate(cr, x0, y0);
        cairo_scale(cr, (x1 - x0) / e.width, (y1 - y0) / e.height);
        cairo_move_to(cr, -e.x_bearing, -e.y_bearing);
        cairo_show_text(cr, text.c_str());
        cairo_new_path(cr);
    }
    cairo_restore(cr);
}

void show_text_at(cairo_t* cr, const std::string& text, double x, double baseline) {
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, text.c_str());
    cairo_new_path(cr);
}

}  // namespace idr::printing
