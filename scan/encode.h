#pragma once
// Writing pictures for test pages and the review outputs: PNG through
// libspng or, for drawn pictures, scan/png_writer.h; JPEG through libjpeg.
// All take 8-bit grey or BGR pixels.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace idr::scan {

// `level` is zlib's, 0 (none) to 9 (smallest), its default strategy, rows
// unfiltered. Empty on failure (an empty or unsupported picture).
std::vector<std::uint8_t> encode_png(const cv::Mat& picture, int level = 6);

// A drawn picture (a review picture) as PNG through scan/png_writer.h:
// twice as fast as zlib at level 1, a little smaller. Empty on failure.
std::vector<std::uint8_t> encode_drawn_png(const cv::Mat& picture);

// Baseline JPEG at `quality` (1 to 100), 4:2:0 colour as libjpeg sets by
// default. Empty on failure.
std::vector<std::uint8_t> encode_jpeg(const cv::Mat& picture, int quality = 90);

}  // namespace idr::scan
