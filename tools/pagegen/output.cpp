#include "tools/pagegen/output.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <fstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

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
    try {
        if (format == FileFormat::Tiff) {
            std::vector<cv::Mat> images;
            for (const auto* p : pages) images.push_back(p->image);
            // LZW, as scanners' TIFFs mostly are.
            if (!cv::imwritemulti(path, images, {cv::IMWRITE_TIFF_COMPRESSION, 5}))
                return path + ": the TIFF encoder refused it";
            return std::nullopt;
        }
        if (pages.size() != 1) return path + ": only TIFF and PDF hold several pages";
        const GeneratedPage& page = *pages.front();
        if (format == FileFormat::Jpeg) {
            if (!page.jpeg_bytes.empty()) return write_bytes(page.jpeg_bytes, path);
            std::vector<uchar> bytes;
            cv::imencode(".jpg", page.image, bytes, {cv::IMWRITE_JPEG_QUALITY, 95});
            return write_bytes({bytes.begin(), bytes.end()}, path);
        }
        if (!cv::imwrite(path, page.image, {cv::IMWRITE_PNG_COMPRESSION, 3}))
            return path + ": the PNG encoder refused it";
    } catch (const cv::Exception& e) {
        return path + ": " + e.what();
    }
    return std::nullopt;
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
