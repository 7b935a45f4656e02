#include "review/review_picture.h"

#include "review/overlay.h"
#include "scan/encode.h"

namespace idr::review {

std::vector<std::uint8_t> encode_png(const cv::Mat& picture) {
    std::vector<std::uint8_t> bytes;
    if (picture.empty()) return bytes;
    try {
        // zlib level 1: level 3 saves 7% of the bytes but takes 1.6 x as
        // long (about 45 ms a page, as much as reading a page); level 9
        // takes most of a second. A batch with review pictures should cost
        // little more than one without.
        bytes = scan::encode_png(picture, 1);
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
