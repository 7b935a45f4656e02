// The cairo functions printing/ calls, forwarded to cairo loaded on first
// use (lazy_library.h). A function printing/ starts to call must be added
// here, or the programs do not link.

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include "app/lazy/lazy_library.h"

using idr::lazy::real;

extern "C" {

void cairo_arc(cairo_t *cr, double xc, double yc, double radius, double angle1, double angle2) { real<cairo_arc>(idr::lazy::cairo(), "cairo_arc")(cr, xc, yc, radius, angle1, angle2); }
cairo_t *cairo_create(cairo_surface_t *target) { return real<cairo_create>(idr::lazy::cairo(), "cairo_create")(target); }
void cairo_destroy(cairo_t *cr) { real<cairo_destroy>(idr::lazy::cairo(), "cairo_destroy")(cr); }
void cairo_fill(cairo_t *cr) { real<cairo_fill>(idr::lazy::cairo(), "cairo_fill")(cr); }
cairo_font_options_t *cairo_font_options_create(void) { return real<cairo_font_options_create>(idr::lazy::cairo(), "cairo_font_options_create")(); }
void cairo_font_options_destroy(cairo_font_options_t *options) { real<cairo_font_options_destroy>(idr::lazy::cairo(), "cairo_font_options_destroy")(options); }
void cairo_font_options_set_hint_metrics(cairo_font_options_t *options, cairo_hint_metrics_t hint_metrics) { real<cairo_font_options_set_hint_metrics>(idr::lazy::cairo(), "cairo_font_options_set_hint_metrics")(options, hint_metrics); }
void cairo_font_options_set_hint_style(cairo_font_options_t *options, cairo_hint_style_t hint_style) { real<cairo_font_options_set_hint_style>(idr::lazy::cairo(), "cairo_font_options_set_hint_style")(options, hint_style); }
cairo_surface_t *cairo_image_surface_create(cairo_format_t format, int width, int height) { return real<cairo_image_surface_create>(idr::lazy::cairo(), "cairo_image_surface_create")(format, width, height); }
unsigned char *cairo_image_surface_get_data(cairo_surface_t *surface) { return real<cairo_image_surface_get_data>(idr::lazy::cairo(), "cairo_image_surface_get_data")(surface); }
int cairo_image_surface_get_height(cairo_surface_t *surface) { return real<cairo_image_surface_get_height>(idr::lazy::cairo(), "cairo_image_surface_get_height")(surface); }
int cairo_image_surface_get_stride(cairo_surface_t *surface) { return real<cairo_image_surface_get_stride>(idr::lazy::cairo(), "cairo_image_surface_get_stride")(surface); }
int cairo_image_surface_get_width(cairo_surface_t *surface) { return real<cairo_image_surface_get_width>(idr::lazy::cairo(), "cairo_image_surface_get_width")(surface); }
void cairo_line_to(cairo_t *cr, double x, double y) { real<cairo_line_to>(idr::lazy::cairo(), "cairo_line_to")(cr, x, y); }
void cairo_move_to(cairo_t *cr, double x, double y) { real<cairo_move_to>(idr::lazy::cairo(), "cairo_move_to")(cr, x, y); }
void cairo_new_path(cairo_t *cr) { real<cairo_new_path>(idr::lazy::cairo(), "cairo_new_path")(cr); }
void cairo_new_sub_path(cairo_t *cr) { real<cairo_new_sub_path>(idr::lazy::cairo(), "cairo_new_sub_path")(cr); }
void cairo_paint(cairo_t *cr) { real<cairo_paint>(idr::lazy::cairo(), "cairo_paint")(cr); }
cairo_surface_t *cairo_pdf_surface_create_for_stream(cairo_write_func_t write_func, void *closure, double width_in_points, double height_in_points) { return real<cairo_pdf_surface_create_for_stream>(idr::lazy::cairo(), "cairo_pdf_surface_create_for_stream")(write_func, closure, width_in_points, height_in_points); }
void cairo_rectangle(cairo_t *cr, double x, double y, double width, double height) { real<cairo_rectangle>(idr::lazy::cairo(), "cairo_rectangle")(cr, x, y, width, height); }
void cairo_restore(cairo_t *cr) { real<cairo_restore>(idr::lazy::cairo(), "cairo_restore")(cr); }
void cairo_save(cairo_t *cr) { real<cairo_save>(idr::lazy::cairo(), "cairo_save")(cr); }
void cairo_scale(cairo_t *cr, double sx, double sy) { real<cairo_scale>(idr::lazy::cairo(), "cairo_scale")(cr, sx, sy); }
void cairo_select_font_face(cairo_t *cr, const char *family, cairo_font_slant_t slant, cairo_font_weight_t weight) { real<cairo_select_font_face>(idr::lazy::cairo(), "cairo_select_font_face")(cr, family, slant, weight); }
void cairo_set_fill_rule(cairo_t *cr, cairo_fill_rule_t fill_rule) { real<cairo_set_fill_rule>(idr::lazy::cairo(), "cairo_set_fill_rule")(cr, fill_rule); }
void cairo_set_font_options(cairo_t *cr, const cairo_font_options_t *options) { real<cairo_set_font_options>(idr::lazy::cairo(), "cairo_set_font_options")(cr, options); }
void cairo_set_font_size(cairo_t *cr, double size) { real<cairo_set_font_size>(idr::lazy::cairo(), "cairo_set_font_size")(cr, size); }
void cairo_set_line_width(cairo_t *cr, double width) { real<cairo_set_line_width>(idr::lazy::cairo(), "cairo_set_line_width")(cr, width); }
void cairo_set_source_rgb(cairo_t *cr, double red, double green, double blue) { real<cairo_set_source_rgb>(idr::lazy::cairo(), "cairo_set_source_rgb")(cr, red, green, blue); }
void cairo_show_page(cairo_t *cr) { real<cairo_show_page>(idr::lazy::cairo(), "cairo_show_page")(cr); }
void cairo_show_text(cairo_t *cr, const char *utf8) { real<cairo_show_text>(idr::lazy::cairo(), "cairo_show_text")(cr, utf8); }
cairo_status_t cairo_status(cairo_t *cr) { return real<cairo_status>(idr::lazy::cairo(), "cairo_status")(cr); }
const char *cairo_status_to_string(cairo_status_t status) { return real<cairo_status_to_string>(idr::lazy::cairo(), "cairo_status_to_string")(status); }
void cairo_stroke(cairo_t *cr) { real<cairo_stroke>(idr::lazy::cairo(), "cairo_stroke")(cr); }
void cairo_surface_destroy(cairo_surface_t *surface) { real<cairo_surface_destroy>(idr::lazy::cairo(), "cairo_surface_destroy")(surface); }
void cairo_surface_finish(cairo_surface_t *surface) { real<cairo_surface_finish>(idr::lazy::cairo(), "cairo_surface_finish")(surface); }
void cairo_surface_flush(cairo_surface_t *surface) { real<cairo_surface_flush>(idr::lazy::cairo(), "cairo_surface_flush")(surface); }
cairo_status_t cairo_surface_status(cairo_surface_t *surface) { return real<cairo_surface_status>(idr::lazy::cairo(), "cairo_surface_status")(surface); }
cairo_status_t cairo_surface_write_to_png_stream(cairo_surface_t *surface, cairo_write_func_t write_func, void *closure) { return real<cairo_surface_write_to_png_stream>(idr::lazy::cairo(), "cairo_surface_write_to_png_stream")(surface, write_func, closure); }
cairo_surface_t *cairo_svg_surface_create_for_stream(cairo_write_func_t write_func, void *closure, double width_in_points, double height_in_points) { return real<cairo_svg_surface_create_for_stream>(idr::lazy::cairo(), "cairo_svg_surface_create_for_stream")(write_func, closure, width_in_points, height_in_points); }
void cairo_svg_surface_set_document_unit(cairo_surface_t *surface, cairo_svg_unit_t unit) { real<cairo_svg_surface_set_document_unit>(idr::lazy::cairo(), "cairo_svg_surface_set_document_unit")(surface, unit); }
void cairo_text_extents(cairo_t *cr, const char *utf8, cairo_text_extents_t *extents) { real<cairo_text_extents>(idr::lazy::cairo(), "cairo_text_extents")(cr, utf8, extents); }
void cairo_translate(cairo_t *cr, double tx, double ty) { real<cairo_translate>(idr::lazy::cairo(), "cairo_translate")(cr, tx, ty); }

}  // extern "C"
