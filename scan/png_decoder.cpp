#include "scan/png_decoder.h"

#include <exception>
#include <memory>

#include <opencv2/imgproc.hpp>
#include <spng.h>

namespace idr::scan {
namespace {

// Ancillary chunks (text, colour profiles) are held in memory while the
// file is read; a few megabytes is far more than any scanner writes, and
// keeps a file that declares gigabytes of them in check.
constexpr std::size_t kMaxChunkBytes = 64u << 20;
constexpr std::size_t kMaxChunkCacheBytes = 128u << 20;

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

std::string reason(int code) { return spng_strerror(code); }

}  // namespace

std::variant<cv::Mat, std::string> decode_png(std::string_view bytes, PixelKind kind) {
    const std::unique_ptr<spng_ctx, ContextFree> ctx(spng_ctx_new(0));
    if (!ctx) return std::string("out of memory for the decoder");
    // A damaged ancillary chunk is dropped, as viewers do; a damaged
    // critical one (header, palette, pixels) is an error.
    spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
    spng_set_chunk_limits(ctx.get(), kMaxChunkBytes, kMaxChunkCacheBytes);
    if (const int e = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size())) return reason(e);
    spng_ihdr ihdr{};
    if (const int e = spng_get_ihdr(ctx.get(), &ihdr)) return reason(e);
    spng_trns trns{};
    const bool has_trns = spng_get_trns(ctx.get(), &trns) == 0;

    int format = 0;
    int type = 0;
    const bool grey_file = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE;
    if (grey_file && ihdr.bit_depth == 16) {
        format = SPNG_FMT_GA16;  // kept at 16 bits: the scaling to 8 rounds
        type = CV_16UC2;
    } else if (grey_file) {
        format = has_trns ? SPNG_FMT_GA8 : SPNG_FMT_G8;  // 1, 2 and 4 bits scaled up to 0..255
        type = has_trns ? CV_8UC2 : CV_8UC1;
    } else if (ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA || ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
               has_trns) {
        format = SPNG_FMT_RGBA8;
        type = CV_8UC4;
    } else {
        format = SPNG_FMT_RGB8;
        type = CV_8UC3;
    }
    std::size_t size = 0;
    if (const int e = spng_decoded_image_size(ctx.get(), format, &size)) return reason(e);
    cv::Mat out;
    try {
        out.create(static_cast<int>(ihdr.height), static_cast<int>(ihdr.width), type);
    } catch (const std::exception&) {
        return std::string("out of memory for the picture");
    }
    if (size != out.total() * out.elemSize()) return std::string("the decoder's picture size does not match the header");
    if (const int e = spng_decode_image(ctx.get(), out.data, size, format, SPNG_DECODE_TRNS)) return reason(e);
    if (type == CV_8UC3) {
        cv::cvtColor(out, out, kind == PixelKind::Grey ? cv::COLOR_RGB2GRAY : cv::COLOR_RGB2BGR);
    } else if (type == CV_8UC4) {
        cv::cvtColor(out, out, cv::COLOR_RGBA2BGRA);
    }
    return out;
}

}  // namespace idr::scan
