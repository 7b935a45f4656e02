// The PDF plugin: every page of a PDF rendered by poppler on request, at the
// resolution asked for. Built as id-reader-pdf.so and loaded with the first
// PDF, so that no other run pays for poppler's libraries at start.

#include <cmath>
#include <cstdint>
#include <mutex>

#include <opencv2/imgproc.hpp>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include "scan/load_checks.h"
#include "scan/plugin_abi.h"

namespace idr::scan {
namespace {

constexpr double kPointsPerInch = 72.0;

void ignore_poppler_message(const std::string&, void*) {}

// Poppler keeps a pointer to in-memory bytes, so they live here.
class PdfSource final : public PageSource {
public:
    static plugin::OpenResult open(std::string name, std::string bytes, const std::string& path,
                                   const LoadLimits& limits) {
        static std::once_flag quiet;
        // Poppler writes its complaints about damaged files to stderr; the
        // caller gets the reason as an error instead.
        std::call_once(quiet, [] { poppler::set_debug_error_function(ignore_poppler_message, nullptr); });
        if (!(limits.pdf_dpi > 0 && limits.pdf_dpi <= 2400)) {
            return file_error(name, "cannot be rendered at " + std::to_string(limits.pdf_dpi) +
                                        " dpi: the PDF resolution must be above 0 and at most 2400 dpi");
        }
        auto source = std::unique_ptr<PdfSource>(new PdfSource(std::move(name), limits));
        if (path.empty() && bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
            return file_error(source->name_, "is too large a PDF to read from memory");
        }
        source->bytes_ = std::move(bytes);
        source->document_.reset(path.empty() ? poppler::document::load_from_raw_data(
                                                   source->bytes_.data(), static_cast<int>(source->bytes_.size()))
                                             : poppler::document::load_from_file(path));
        if (!source->document_) {
            return file_error(source->name_, "is not a readable PDF (damaged, or not a PDF after all)");
        }
        if (source->document_->is_locked()) {
            return file_error(source->name_, "is a PDF locked with a password");
        }
        const int pages = source->document_->pages();
        if (pages <= 0) {
            return file_error(source->name_, "is a PDF with no pages");
        }
        if (pages > limits.max_pages) {
            return file_error(source->name_, "holds " + std::to_string(pages) + " pages, more than the limit of " +
                                                 std::to_string(limits.max_pages));
        }
        return std::unique_ptr<PageSource>(std::move(source));
    }

    int page_count() const override { return document_->pages(); }

    std::variant<Page, LoadError> page(int number, PixelKind kind, int reduction) override {
        if (auto error = check_request(name_, number, page_count(), reduction)) {
            return *error;
        }
        const std::unique_ptr<poppler::page> pdf_page(document_->create_page(number - 1));
        if (!pdf_page) {
            return page_error(name_, number, "could not be read from the PDF");
        }
        const poppler::rectf box = pdf_page->page_rect(poppler::crop_box);
        double width = box.width() / kPointsPerInch * limits_.pdf_dpi;
        double height = box.height() / kPointsPerInch * limits_.pdf_dpi;
        const auto orientation = pdf_page->orientation();
        if (orientation == poppler::page::landscape || orientation == poppler::page::seascape) {
            std::swap(width, height);
        }
        if (!std::isfinite(width) || !std::isfinite(height) || width > 1e9 || height > 1e9) {
            return page_error(name_, number, "has no usable size in the PDF");
        }
        // The renderer rounds up; the limit is checked on the larger size.
        if (auto error = check_page_size(name_, number, static_cast<std::int64_t>(std::ceil(width)),
                                         static_cast<std::int64_t>(std::ceil(height)), limits_)) {
            return *error;
        }
        poppler::page_renderer renderer;
        renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
        renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
        renderer.set_paper_color(0xFFFFFFFF);
        const bool grey = kind == PixelKind::Grey;
        renderer.set_image_format(grey ? poppler::image::format_gray8 : poppler::image::format_argb32);
        return guarded(name_, number, [&]() -> std::variant<Page, LoadError> {
            Page page;
            page.number = number;
            page.dpi = limits_.pdf_dpi;
            poppler::image rendered = renderer.render_page(pdf_page.get(), limits_.pdf_dpi, limits_.pdf_dpi);
            if (!rendered.is_valid() || rendered.width() <= 0 || rendered.height() <= 0) {
                return page_error(name_, number, "could not be rendered from the PDF");
            }
            // argb32 is 0xAARRGGBB in native order: B, G, R, A in memory on
            // little-endian machines, which is OpenCV's BGRA.
            const cv::Mat view(rendered.height(), rendered.width(), grey ? CV_8UC1 : CV_8UC4, rendered.data(),
                               static_cast<std::size_t>(rendered.bytes_per_row()));
            if (grey) {
                page.image = view.clone();
            } else {
                cv::cvtColor(view, page.image, cv::COLOR_BGRA2BGR);
            }
            page.full_size = page.image.size();
            return page;
        }, "could not be rendered");
    }

private:
    PdfSource(std::string name, const LoadLimits& limits) : name_(std::move(name)), limits_(limits) {}

    std::string name_;
    LoadLimits limits_;
    std::string bytes_;
    std::unique_ptr<poppler::document> document_;
};

}  // namespace
}  // namespace idr::scan

extern "C" __attribute__((visibility("default"))) void idr_plugin_open(idr::scan::plugin::OpenRequest* request,
                                                                       idr::scan::plugin::OpenResult* result) {
    *result = idr::scan::PdfSource::open(std::move(request->name), std::move(request->bytes), request->path,
                                         request->limits);
}
