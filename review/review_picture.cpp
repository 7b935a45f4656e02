#include "review/review_picture.h"

#include "review/overlay.h"
#include "scan/encode.h"

namespace idr::review {

std::vector<std::uint8_t> encode_png(const cv::Mat& picture) {
    std::vector<std::uint8_t> bytes;
    try {
        // The drawn-picture writer, not zlib: a batch with review pictures
        // should cost little more than one without, and zlib at its fastest
        // level took twice as long for 7% more bytes.
        bytes = scan::encode_drawn_png(picture);
    } catch (const std::exception&) {
        bytes.clear();
    }
    return bytes;
}

std::vector<std::uint8_t> encode_jpeg(const cv::Mat& picture) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = scan::encode_jpeg(picture, 85);
    } catch (const std::exception&) {
        bytes.clear();
    }
    return bytes;
}

std::vector<std::uint8_t> review_picture(const PageOutcome& o, const scan::PageResult& result, bool png) {
    const cv::Mat overlay = render_overlay(o, result.block ? *result.block : cv::Mat(), result.thumbnail ? *result.thumbnail : cv::Mat(),
                                           result.thumbnail_scale);
    return png ? encode_png(overlay) : encode_jpeg(overlay);
}

std::vector<std::uint8_t> review_picture(const PageOutcome& o, bool png) {
    const cv::Mat overlay = render_overlay(o, cv::Mat(), cv::Mat(), 0);
    return png ? encode_png(overlay) : encode_jpeg(overlay);
}

}  // namespace idr::review
