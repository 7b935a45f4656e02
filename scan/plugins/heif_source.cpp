// The HEIC and AVIF plugin: the primary image of a HEIF file (what phones
// save) decoded by libheif, turned and cropped as the file says. Built as
// id-reader-heif.so and loaded with the first such file: libheif brings its
// HEVC and AV1 codecs, which no other run needs.

#include <climits>
#include <cstdint>
#include <mutex>

#include <libheif/heif.h>
#include <opencv2/imgproc.hpp>

#include "scan/load_checks.h"
#include "scan/page_pixels.h"
#include "scan/plugin_abi.h"

namespace idr::scan {
namespace {

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

std::string reason(const heif_error& error) {
    return error.message && *error.message ? std::string(error.message) : "error " + std::to_string(error.code);
}

class HeifSource final : public PageSource {
public:
    static plugin::OpenResult open(plugin::OpenRequest&& request) {
        static std::once_flag initialised;
        std::call_once(initialised, [] { heif_init(nullptr); });  // never undone: sources may outlive any caller
        const char* format = request.header.format == ImageFormat::Avif ? "AVIF" : "HEIC";
        auto source = std::unique_ptr<HeifSource>(new HeifSource());
        source->name_ = std::move(request.name);
        source->limits_ = request.limits;
        source->declared_ = request.header.pages.empty() ? PageHeader{} : request.header.pages.front();
        source->bytes_ = std::move(request.bytes);
        source->context_.reset(heif_context_alloc());
        if (!source->context_) return file_error(source->name_, "could not be read: out of memory");
        // Each side may be as long as the pixel limit allows; the limit on the
        // whole picture is checked against the declared size before decoding.
        const std::uint64_t side = std::min<std::uint64_t>(request.limits.max_page_pixels, INT_MAX);
        heif_context_set_maximum_image_size_limit(source->context_.get(), static_cast<int>(std::max<std::uint64_t>(side, 1)));
        heif_error e = heif_context_read_from_memory_without_copy(source->context_.get(), source->bytes_.data(),
                                                                  source->bytes_.size(), nullptr);
        if (e.code != heif_error_Ok) {
            return file_error(source->name_, std::string("is not a readable ") + format + " file: " + reason(e));
        }
        heif_image_handle* handle = nullptr;
        e = heif_context_get_primary_image_handle(source->context_.get(), &handle);
        if (e.code != heif_error_Ok) {
            return file_error(source->name_, std::string("has no primary image: ") + reason(e));
        }
        source->handle_.reset(handle);
        return std::unique_ptr<PageSource>(std::move(source));
    }

    int page_count() const override { return 1; }

    // As libheif reads the file: turned and cropped as shown. (The size
    // property alone may already be turned or not, depending on the writer.)
    cv::Size declared_size(int number) const override {
        if (number != 1) return {};
        return {heif_image_handle_get_width(handle_.get()), heif_image_handle_get_height(handle_.get())};
    }

    std::variant<Page, LoadError> page(int number, PixelKind kind, int reduction) override {
        if (auto error = check_request(name_, number, 1, reduction)) return *error;
        if (auto error = check_page_size(name_, number, declared_.width, declared_.height, limits_)) return *error;
        // Turned and cropped as the file says: at most the declared size.
        const int width = heif_image_handle_get_width(handle_.get());
        const int height = heif_image_handle_get_height(handle_.get());
        if (auto error = check_page_size(name_, number, width, height, limits_)) return *error;
        if (width > std::max(declared_.width, declared_.height) || height > std::max(declared_.width, declared_.height)) {
            return page_error(name_, number, "is " + std::to_string(width) + " x " + std::to_string(height) +
                                                 " pixels, larger than the " + std::to_string(declared_.width) + " x " +
                                                 std::to_string(declared_.height) + " its header declares");
        }
        const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
        if (!options) return page_error(name_, number, "could not be decoded: out of memory");
        options->convert_hdr_to_8bit = 1;
        const bool alpha = heif_image_handle_has_alpha_channel(handle_.get()) != 0;
        heif_image* decoded = nullptr;
        const heif_error e = heif_decode_image(handle_.get(), &decoded, heif_colorspace_RGB,
                                               alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                               options.get());
        const std::unique_ptr<heif_image, ImageFree> image(decoded);
        if (e.code != heif_error_Ok || !image) return page_error(name_, number, "could not be decoded: " + reason(e));
        int stride = 0;
        const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
        const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
        const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
        if (!plane || stride <= 0) return page_error(name_, number, "could not be decoded: no picture came out");
        if (auto error = check_decoded_size(name_, number, {w, h}, width, height)) return *error;
        return guarded(name_, number, [&]() -> std::variant<Page, LoadError> {
            Page page;
            page.number = number;
            const cv::Mat view(h, w, alpha ? CV_8UC4 : CV_8UC3, const_cast<std::uint8_t*>(plane),
                               static_cast<std::size_t>(stride));
            cv::Mat bgr;
            cv::cvtColor(view, bgr, alpha ? cv::COLOR_RGBA2BGRA : cv::COLOR_RGB2BGR);
            page.image = to_page_pixels(std::move(bgr), kind,
                                        heif_image_handle_is_premultiplied_alpha(handle_.get()) ? AlphaKind::Premultiplied
                                                                                                : AlphaKind::Straight);
            page.full_size = page.image.size();
            return page;
        }, "could not be converted");
    }

private:
    HeifSource() = default;

    std::string name_;
    LoadLimits limits_;
    PageHeader declared_;
    std::string bytes_;  // libheif reads from these without a copy
    std::unique_ptr<heif_context, ContextFree> context_;
    std::unique_ptr<heif_image_handle, HandleFree> handle_;
};

}  // namespace
}  // namespace idr::scan

extern "C" __attribute__((visibility("default"))) void idr_plugin_open(idr::scan::plugin::OpenRequest* request,
                                                                       idr::scan::plugin::OpenResult* result) {
    *result = idr::scan::HeifSource::open(std::move(*request));
}
