#include "scan/page_pixels.h"

#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace idr::scan {
namespace {

// Lays colour over white by its alpha: a transparent background is paper,
// not ink.
cv::Mat over_white(const cv::Mat& colour, const cv::Mat& alpha, AlphaKind kind) {
    double most = 0;
    cv::minMaxLoc(alpha, nullptr, &most);
    if (most == 0) {
        return colour;
    }
    cv::Mat out(colour.size(), colour.type());
    const int channels = colour.channels();
    for (int y = 0; y < colour.rows; ++y) {
        const auto* c = colour.ptr<std::uint8_t>(y);
        const auto* a = alpha.ptr<std::uint8_t>(y);
        auto* o = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < colour.cols; ++x) {
            const int opacity = a[x];
            for (int k = 0; k < channels; ++k) {
                const int i = x * channels + k;
                const int v = kind == AlphaKind::Premultiplied ? c[i] + 255 - opacity
                                                               : (c[i] * opacity + 255 * (255 - opacity) + 127) / 255;
                o[i] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
            }
        }
    }
    return out;
}

}  // namespace

cv::Mat to_page_pixels(cv::Mat decoded, PixelKind kind, AlphaKind alpha) {
    if (decoded.depth() == CV_16U) {
        decoded.convertTo(decoded, CV_8U, 1.0 / 257.0);
    } else if (decoded.depth() != CV_8U) {
        decoded.convertTo(decoded, CV_8U);
    }
    cv::Mat flat;
    if (decoded.channels() == 2 || decoded.channels() == 4) {
        std::vector<cv::Mat> planes;
        cv::split(decoded, planes);
        const cv::Mat opacity = planes.back();
        planes.pop_back();
        cv::Mat colour;
        cv::merge(planes, colour);
        flat = over_white(colour, opacity, alpha);
    } else {
        flat = std::move(decoded);
    }
    if (kind == PixelKind::Grey && flat.channels() == 3) {
        cv::cvtColor(flat, flat, cv::COLOR_BGR2GRAY);
    } else if (kind == PixelKind::Colour && flat.channels() == 1) {
        cv::cvtColor(flat, flat, cv::COLOR_GRAY2BGR);
    }
    return flat;
}

cv::Mat upright(cv::Mat image, int orientation) {
    cv::Mat out;
    switch (orientation) {
        case 2: cv::flip(image, out, 1); return out;
        case 3: cv::rotate(image, out, cv::ROTATE_180); return out;
        case 4: cv::flip(image, out, 0); return out;
        case 5: cv::transpose(image, out); return out;
        case 6: cv::rotate(image, out, cv::ROTATE_90_CLOCKWISE); return out;
        case 7: cv::transpose(image, out); cv::flip(out, out, -1); return out;
        case 8: cv::rotate(image, out, cv::ROTATE_90_COUNTERCLOCKWISE); return out;
        default: return image;
    }
}

cv::Size shown_size(const PageHeader& h) {
    if (h.width > (1 << 30) || h.height > (1 << 30)) return {};
    const bool turned = h.orientation >= 5;
    return turned ? cv::Size(static_cast<int>(h.height), static_cast<int>(h.width))
                  : cv::Size(static_cast<int>(h.width), static_cast<int>(h.height));
}

}  // namespace idr::scan
