// The form as a file or as pixels. Surfaces write into memory first and the
// file is written in one go at the end, so a failure while drawing leaves an
// existing file alone, and a failure while writing names the system's reason.

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "printing/form_drawing.h"
#include "printing/png_resolution.h"

namespace idr::printing {

namespace {

constexpr double kMinDpi = kMinFormDpi, kMaxDpi = kMaxFormDpi;
constexpr double kPointsPerInch = 72;

bool dpi_ok(double dpi) { return std::isfinite(dpi) && dpi >= kMinDpi && dpi <= kMaxDpi; }

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

int pixels(double points, double dpi) { return static_cast<int>(std::ceil(points * dpi / kPointsPerInch - 1e-9)); }

// A white page at `dpi` with the form drawn on it.
cairo_surface_t* rendered_page(Paper paper, double dpi) {
    const PaperSize size = paper_size(paper);
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixels(size.width_pt, dpi), pixels(size.height_pt, dpi));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return surface;
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, dpi / kPointsPerInch, dpi / kPointsPerInch);
    draw_form_page(cr, paper);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

std::string lower_extension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
    return ext;
}

// Draws the page onto a vector surface writing into `out`.
cairo_status_t vector_page(cairo_surface_t* surface, Paper paper) {
    cairo_t* cr = cairo_create(surface);
    draw_form_page(cr, paper);
    cairo_show_page(cr);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    return status;
}

std::optional<std::string> write_bytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return "cannot write " + path + ": " + std::strerror(errno);
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    const int write_errno = errno;
    if (written != bytes.size()) {
        std::fclose(f);
        return "cannot write " + path + ": " + std::strerror(write_errno);
    }
    if (std::fclose(f) != 0) return "cannot write " + path + ": " + std::strerror(errno);
    return std::nullopt;
}

}  // namespace

RgbImage render_form(Paper paper, double dpi) {
    RgbImage image;
    if (!dpi_ok(dpi)) return image;
    cairo_surface_t* surface = rendered_page(paper, dpi);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        image.width = cairo_image_surface_get_width(surface);
        image.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
        std::uint8_t* out = image.rgb.data();
        for (int y = 0; y < image.height; ++y) {
            // RGB24 keeps each pixel in a native-endian 32-bit word, 0x00RRGGBB.
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < image.width; ++x) {
                const std::uint32_t p = row[x];
                *out++ = static_cast<std::uint8_t>(p >> 16);
                *out++ = static_cast<std::uint8_t>(p >> 8);
                *out++ = static_cast<std::uint8_t>(p);
            }
        }
    }
    cairo_surface_destroy(surface);
    return image;
}

std::optional<std::string> write_form(const std::string& path, Paper paper, double dpi) {
    const std::string ext = lower_extension(path);
    const PaperSize size = paper_size(paper);
    std::string bytes;
    cairo_status_t status = CAIRO_STATUS_SUCCESS;
    if (ext == ".pdf") {
        status = vector_page(cairo_pdf_surface_create_for_stream(append, &bytes, size.width_pt, size.height_pt), paper);
    } else if (ext == ".svg") {
        cairo_surface_t* surface = cairo_svg_surface_create_for_stream(append, &bytes, size.width_pt, size.height_pt);
        // Sizes in points, so the page prints at its real size.
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
        status = vector_page(surface, paper);
    } else if (ext == ".png") {
        if (!dpi_ok(dpi)) {
            char text[64];
            std::snprintf(text, sizeof text, "%g dpi is outside %g..%g", dpi, kMinDpi, kMaxDpi);
            return "cannot write " + path + ": a resolution of " + text;
        }
        cairo_surface_t* surface = rendered_page(paper, dpi);
        status = cairo_surface_status(surface);
        if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_write_to_png_stream(surface, append, &bytes);
        cairo_surface_destroy(surface);
        if (status == CAIRO_STATUS_SUCCESS) bytes = with_png_resolution(bytes, dpi);
    } else {
        return "cannot write " + path + ": the form is written as .pdf, .svg or .png (by the file's extension)";
    }
    if (status != CAIRO_STATUS_SUCCESS)
        return "cannot write " + path + ": drawing failed (" + cairo_status_to_string(status) + ")";
    return write_bytes(path, bytes);
}

}  // namespace idr::printing
