// Writing black-and-white pages as the office machines do: 1-bit TIFF (CCITT
// group 4 or 3, or none), 1-bit PNG, or a PDF holding the 1-bit picture.

#include "tools/pagegen/bilevel_output.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace idr::pagegen {

namespace {

// Row `y` packed eight pixels a byte, first pixel in the high bit; a set bit
// is black when `black_is_one`.
std::vector<std::uint8_t> packed_row(const cv::Mat& image, int y, bool black_is_one) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>((image.cols + 7) / 8), 0);
    const std::uint8_t* p = image.ptr<std::uint8_t>(y);
    for (int x = 0; x < image.cols; ++x) {
        const bool black = p[x] < 128;
        if (black == black_is_one) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    return row;
}

std::optional<std::string> write_tiff(const cv::Mat& image, BilevelFile file, double dpi, const std::string& path) {
    TIFFSetWarningHandler(nullptr);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "w"), [](TIFF* t) {
        if (t) TIFFClose(t);
    });
    if (!tif) return path + ": could not be created";
    const std::uint16_t compression = file == BilevelFile::TiffG4   ? COMPRESSION_CCITTFAX4
                                      : file == BilevelFile::TiffG3 ? COMPRESSION_CCITTFAX3
                                                                    : COMPRESSION_NONE;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.cols));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.rows));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    // Fax machines count white as 0.
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(image.rows));
    TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, 0);
    for (int y = 0; y < image.rows; ++y) {
        std::vector<std::uint8_t> row = packed_row(image, y, true);
        if (TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0) < 0)
            return path + ": the TIFF encoder refused row " + std::to_string(y);
    }
    if (!TIFFWriteDirectory(t)) return path + ": the TIFF directory could not be written";
    return std::nullopt;
}

std::optional<std::string> write_png(const cv::Mat& image, double dpi, const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f) return path + ": could not be created";
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return path + ": the PNG encoder could not start";
    }
    std::vector<std::vector<std::uint8_t>> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return path + ": the PNG encoder failed";
    }
    png_init_io(png, f.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.cols), static_cast<png_uint_32>(image.rows), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const auto per_metre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, per_metre, per_metre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < image.rows; ++y) {
        std::vector<std::uint8_t> row = packed_row(image, y, false);  // grey 1-bit: 1 is white
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(f.get()) != 0) return path + ": could not be written";
    return std::nullopt;
}

std::optional<std::string> write_pdf(const cv::Mat& image, double dpi, const std::string& path) {
    const double pt = 72.0 / dpi;
    cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), image.cols * pt, image.rows * pt);
    if (cairo_surface_status(pdf) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(pdf);
        return path + ": could not be created";
    }
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATE_DATE, "2026-01-01T00:00:00Z");
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "make_pages");
    // The black pixels as a 1-bit mask painted in black on white: cairo keeps
    // an A1 picture one bit a pixel in the file.
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, image.cols, image.rows);
    cairo_surface_flush(mask);
    unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    for (int y = 0; y < image.rows; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        const std::uint8_t* p = image.ptr<std::uint8_t>(y);
        for (int x = 0; x < image.cols; ++x)
            if (p[x] < 128) row[x / 32] |= (1u << (x % 32));  // A1 is little-endian bit order on x86
    }
    cairo_surface_mark_dirty(mask);
    cairo_t* cr = cairo_create(pdf);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, pt, pt);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_mask_surface(cr, mask, 0, 0);
    cairo_show_page(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(mask);
    cairo_surface_finish(pdf);
    const cairo_status_t status = cairo_surface_status(pdf);
    cairo_surface_destroy(pdf);
    if (status != CAIRO_STATUS_SUCCESS) return path + ": " + cairo_status_to_string(status);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> write_bilevel(const cv::Mat& image, BilevelFile file, double dpi,
                                         const std::string& path) {
    if (image.empty() || image.type() != CV_8UC1) return path + ": not a one-channel picture";
    switch (file) {
    case BilevelFile::TiffG4:
    case BilevelFile::TiffG3:
    case BilevelFile::TiffNone: return write_tiff(image, file, dpi, path);
    case BilevelFile::Png1: return write_png(image, dpi, path);
    case BilevelFile::Pdf: return write_pdf(image, dpi, path);
    }
    return path + ": unknown file kind";
}

}  // namespace idr::pagegen
