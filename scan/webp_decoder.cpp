#include "scan/webp_decoder.h"

#include <exception>

#include <webp/decode.h>

namespace idr::scan {
namespace {

std::string reason(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
        case VP8_STATUS_INVALID_PARAM: return "invalid parameters";
        case VP8_STATUS_BITSTREAM_ERROR: return "the WebP data is damaged";
        case VP8_STATUS_UNSUPPORTED_FEATURE: return "the WebP file uses a feature this program cannot read";
        case VP8_STATUS_NOT_ENOUGH_DATA: return "the WebP data is cut short";
        default: return "the WebP decoder failed (status " + std::to_string(static_cast<int>(status)) + ")";
    }
}

}  // namespace

std::variant<cv::Mat, std::string> decode_webp(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return std::string("the WebP library does not match its header");
    if (const VP8StatusCode status = WebPGetFeatures(data, bytes.size(), &config.input); status != VP8_STATUS_OK) {
        return reason(status);
    }
    cv::Mat out;
    try {
        out.create(config.input.height, config.input.width, config.input.has_alpha ? CV_8UC4 : CV_8UC3);
    } catch (const std::exception&) {
        return std::string("out of memory for the picture");
    }
    // Decoded straight into the page's own buffer.
    config.output.colorspace = config.input.has_alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out.data;
    config.output.u.RGBA.stride = static_cast<int>(out.step[0]);
    config.output.u.RGBA.size = out.total() * out.elemSize();
    const VP8StatusCode status = WebPDecode(data, bytes.size(), &config);
    WebPFreeDecBuffer(&config.output);  // frees nothing of ours: the memory is external
    if (status != VP8_STATUS_OK) return reason(status);
    return out;
}

}  // namespace idr::scan
