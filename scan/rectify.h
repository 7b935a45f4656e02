#pragma once
// Warping the located block into the built-in sheet's frame, so that the
// four steps read it exactly as they read the built-in sheet.

#include <opencv2/core.hpp>

#include "picture/surface.h"

namespace idr::scan {

// The block as a 262 x 362 8-bit BGR picture (grey pages give grey pixels):
// pixel (i, j) shows block point (i + 0.5, j + 0.5). `block_to_page` maps
// block coordinates to pixel coordinates of `page` (8-bit, 1 or 3 channels).
// When a unit spans several page pixels the page is averaged down first, so
// every output pixel sums the page pixels it covers instead of picking one.
// `smooth_units` > 0 smooths the page first by that many block units (a
// black-and-white page, whose grey is in the density of its dots).
cv::Mat rectify_block(const cv::Mat& page, const cv::Matx33d& block_to_page, double smooth_units = 0);

// A BGR (or grey) picture as the window's picture surface: 0x00BBGGRR.
Surface to_surface(const cv::Mat& bgr);

// And back, for pictures written out and for tests.
cv::Mat to_mat(const Surface& surface);

}  // namespace idr::scan
