#pragma once
// A grey picture's brightness between its pixels.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <opencv2/core.hpp>

namespace idr::scan {

// Bilinear between the four pixels around `p` (pixel centres at whole
// numbers) of an 8-bit one-channel picture; NaN outside it.
inline double grey_at(const cv::Mat& grey, cv::Point2d p) {
    if (!(p.x >= 0 && p.y >= 0 && p.x <= grey.cols - 1 && p.y <= grey.rows - 1)) return std::nan("");
    const int x0 = std::min(static_cast<int>(p.x), std::max(grey.cols - 2, 0));
    const int y0 = std::min(static_cast<int>(p.y), std::max(grey.rows - 2, 0));
    const int x1 = std::min(x0 + 1, grey.cols - 1), y1 = std::min(y0 + 1, grey.rows - 1);
    const double fx = p.x - x0, fy = p.y - y0;
    const std::uint8_t* r0 = grey.ptr<std::uint8_t>(y0);
    const std::uint8_t* r1 = grey.ptr<std::uint8_t>(y1);
    return (r0[x0] * (1 - fx) + r0[x1] * fx) * (1 - fy) + (r1[x0] * (1 - fx) + r1[x1] * fx) * fy;
}

}  // namespace idr::scan
