#include "tools/pagegen/output.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include <opencv2/imgproc.hpp>
#include <tiffio.h>

#include "scan/encode.h"

#include "tools/pagegen/bilevel_output.h"

namespace idr::pagegen {

namespace {

constexpr double kPdfDpi = 300;

double round3(double v) { return std::round(v * 1000) / 1000; }

std::optional<std::string> write_bytes(const std::vector<std::uint8_t>& bytes, const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) return path + ": could not be written";
    return std::nullopt;
}

// Several pages in one TIFF, LZW with the horizontal predictor, as scanners'
// TIFFs mostly are.
std::optional<std::string> write_tiff(const std::vector<const GeneratedPage*>& pages, const std::string& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) return path + ": cannot be opened for writing";
    bool ok = true;
    for (const GeneratedPage* page : pages) {
        cv::Mat rows;  // a new buffer for RGB: the page's own pixels stay as they are
        if (page->image.channels() == 3) {
            cv::cvtColor(page->image, rows, cv::COLOR_BGR2RGB);
        } else {
            rows = page->image;
        }
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(rows.cols));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(rows.rows));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, rows.channels());
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, rows.channels() == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
        // libtiff applies the predictor in the row it is given: a copy, not
        // the page's own pixels.
        std::vector<std::uint8_t> row(rows.cols * rows.elemSize());
        for (int y = 0; y < rows.rows && ok; ++y) {
            std::memcpy(row.data(), rows.ptr<std::uint8_t>(y), row.size());
            ok = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tiff) == 1;
    }
    TIFFClose(tiff);
    if (!ok) return path + ": the TIFF could not be written";
    return std::nullopt;
}

std::optional<std::string> write_pdf(const std::vector<const GeneratedPage*>& pages, const std::string& path) {
    cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), 72, 72);
    if (cairo_surface_status(pdf) != CAIRO_STATUS_SUCCESS) {
        const std::string why = cairo_status_to_string(cairo_surface_status(pdf));
        cairo_surface_destroy(pdf);
        return path + ": " + why;
    }
    // cairo stamps the clock into the file unless told a date; the same
    // pages must give the same bytes.
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATE_DATE, "2026-01-01T00:00:00Z");
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "make_pages");
    cairo_t* cr = cairo_create(pdf);
    for (const GeneratedPage* page : pages) {
        const cv::Mat& img = page->image;
        cairo_pdf_surface_set_size(pdf, img.cols * 72.0 / kPdfDpi, img.rows * 72.0 / kPdfDpi);
        cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, img.cols, img.rows);
        cairo_surface_flush(picture);
        cv::Mat target(img.rows, img.cols, CV_8UC4, cairo_image_surface_get_data(picture),
                       static_cast<std::size_t>(cairo_image_surface_get_stride(picture)));
        cv::cvtColor(img, target, img.channels() == 1 ? cv::COLOR_GRAY2BGRA : cv::COLOR_BGR2BGRA);
        cairo_surface_mark_dirty(picture);
        cairo_save(cr);
        cairo_scale(cr, 72.0 / kPdfDpi, 72.0 / kPdfDpi);
        cairo_set_source_surface(cr, picture, 0, 0);
        // One page pixel per picture pixel at 300 dpi: no smoothing between.
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_show_page(cr);
        cairo_surface_destroy(picture);
    }
    cairo_destroy(cr);
    cairo_surface_finish(pdf);
    const cairo_status_t status = cairo_surface_status(pdf);
    cairo_surface_destroy(pdf);
    if (status != CAIRO_STATUS_SUCCESS) return path + ": " + cairo_status_to_string(status);
    return std::nullopt;
}

}  // namespace

const char* file_extension(FileFormat f) {
    switch (f) {
    case FileFormat::Png: return ".png";
    case FileFormat::Jpeg: return ".jpg";
    case FileFormat::Tiff: return ".tif";
    case FileFormat::Pdf: return ".pdf";
    }
    return "";
}

std::optional<std::string> write_page(const GeneratedPage& page, FileFormat format, const std::string& path) {
    return write_pages({&page}, format, path);
}

std::optional<std::string> write_pages(const std::vector<const GeneratedPage*>& pages, FileFormat format,
                                       const std::string& path) {
    if (pages.empty()) return path + ": no pages to write";
    if (pages.size() == 1 && pages.front()->bilevel_file) {
        // A PDF page holds its picture at the PDF resolution, as below.
        const GeneratedPage& page = *pages.front();
        const double dpi = *page.bilevel_file == BilevelFile::Pdf ? kPdfDpi : page.dpi;
        return write_bilevel(page.image, *page.bilevel_file, dpi, path);
    }
    if (format == FileFormat::Pdf) return write_pdf(pages, path);
    if (format == FileFormat::Tiff) return write_tiff(pages, path);
    if (pages.size() != 1) return path + ": only TIFF and PDF hold several pages";
    const GeneratedPage& page = *pages.front();
    if (format == FileFormat::Jpeg) {
        if (!page.jpeg_bytes.empty()) return write_bytes(page.jpeg_bytes, path);
        const std::vector<std::uint8_t> bytes = scan::encode_jpeg(page.image, 95);
        if (bytes.empty()) return path + ": the JPEG encoder refused it";
        return write_bytes(bytes, path);
    }
    const std::vector<std::uint8_t> bytes = scan::encode_png(page.image, 3);
    if (bytes.empty()) return path + ": the PNG encoder refused it";
    return write_bytes(bytes, path);
}

nlohmann::json truth_json(const Truth& t) {
    nlohmann::json j;
    j["file"] = t.file;
    j["page"] = t.page;
    j["size"] = {t.width, t.height};
    j["status"] = t.status;
    j["reading"] = t.reading;
    if (t.corners) {
        auto corners = nlohmann::json::array();
        for (const auto& c : *t.corners) corners.push_back({round3(c.x), round3(c.y)});
        j["corners"] = corners;
    } else {
        j["corners"] = nullptr;
    }
    j["unit_px"] = t.unit_px ? nlohmann::json(std::round(*t.unit_px * 10000) / 10000) : nlohmann::json(nullptr);
    if (!t.intended.empty()) {
        j["columns"] = nlohmann::json::array();
        for (char c : t.reading) j["columns"].push_back(std::string(1, c));
        j["marks"] = t.marks;
        j["detail"] = t.detail;
        j["intended"] = t.intended;
    }
    j["variant"] = t.variant;
    j["kind"] = t.kind;
    j["format"] = t.format;
    if (!t.stack.empty()) {
        j["stack"] = t.stack;
        j["turn"] = t.turn;
        j["mirrored"] = t.mirrored;
    }
    return j;
}

}  // namespace idr::pagegen
