#include "scan/rectify.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "rules/colour.h"
#include "scan/locate.h"

namespace idr::scan {

cv::Mat rectify_block(const cv::Mat& page, const cv::Matx33d& block_to_page, double smooth_units) {
    // The part of the page the block covers, with a margin for the border
    // pixels' interpolation.
    std::vector<cv::Point2d> corners = {map_point(block_to_page, {0, 0}),
                                        map_point(block_to_page, {block::kWidth, 0}),
                                        map_point(block_to_page, {block::kWidth, block::kHeight}),
                                        map_point(block_to_page, {0, block::kHeight})};
    double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
    for (const auto& p : corners) {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    const cv::Rect page_rect(0, 0, page.cols, page.rows);
    const cv::Rect want(static_cast<int>(std::floor(x0)) - 4, static_cast<int>(std::floor(y0)) - 4,
                        static_cast<int>(std::ceil(x1 - x0)) + 9, static_cast<int>(std::ceil(y1 - y0)) + 9);
    const cv::Rect roi = want & page_rect;
    cv::Mat out(block::kHeight, block::kWidth, page.type(), cv::Scalar::all(255));
    if (roi.empty()) return out;

    // Block to ROI pixels; then, where a unit spans more than about a pixel
    // and a half, shrink the ROI by area averaging so that the warp samples a
    // picture with about one pixel per unit.
    cv::Matx33d h = cv::Matx33d(1, 0, -roi.x, 0, 1, -roi.y, 0, 0, 1) * block_to_page;
    cv::Mat src = page(roi);
    const cv::Point2d o = map_point(h, {131, 181});
    const cv::Point2d ex = map_point(h, {132, 181}) - o, ey = map_point(h, {131, 182}) - o;
    const double unit = std::sqrt(std::abs(ex.x * ey.y - ex.y * ey.x));
    cv::Mat shrunk;
    if (smooth_units > 0) {
        cv::Mat smooth;
        cv::GaussianBlur(src, smooth, cv::Size(), std::max(0.5, smooth_units * unit));
        src = smooth;
    }
    if (unit > 1.5) {
        const double f = 1.0 / unit;
        cv::resize(src, shrunk, cv::Size(), f, f, cv::INTER_AREA);
        const double fx = static_cast<double>(shrunk.cols) / src.cols;
        const double fy = static_cast<double>(shrunk.rows) / src.rows;
        // Pixel centres at integers: small = (big + 0.5) * f - 0.5.
        h = cv::Matx33d(fx, 0, 0.5 * fx - 0.5, 0, fy, 0.5 * fy - 0.5, 0, 0, 1) * h;
        src = shrunk;
    }
    // Output pixel (i, j) shows block point (i + 0.5, j + 0.5).
    const cv::Matx33d m = h * cv::Matx33d(1, 0, 0.5, 0, 1, 0.5, 0, 0, 1);
    cv::warpPerspective(src, out, cv::Mat(m), out.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                        cv::BORDER_REPLICATE);
    return out;
}

Surface to_surface(const cv::Mat& picture) {
    Surface s(picture.cols, picture.rows, kWhite);
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x) {
            if (picture.channels() == 1) {
                const int v = picture.at<std::uint8_t>(y, x);
                s.set_pixel(x, y, rgb(v, v, v));
            } else {
                const cv::Vec3b p = picture.at<cv::Vec3b>(y, x);
                s.set_pixel(x, y, rgb(p[2], p[1], p[0]));
            }
        }
    return s;
}

cv::Mat to_mat(const Surface& surface) {
    cv::Mat out(surface.height(), surface.width(), CV_8UC3);
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) {
            const Int32 v = surface.pixel(x, y);
            out.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<std::uint8_t>((v >> 16) & 255),
                                                static_cast<std::uint8_t>((v >> 8) & 255),
                                                static_cast<std::uint8_t>(v & 255));
        }
    return out;
}

}  // namespace idr::scan
