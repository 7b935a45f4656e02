#pragma once
// Writing pictures for test pages and the review outputs: PNG through
// libspng, JPEG through libjpeg. Both take 8-bit grey or BGR pixels. (The
// review pictures' PNG comes from scan/png_writer.h.)

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace idr::scan {

// `level` is zlib's, 0 (none) to 9 (smallest), its default strategy, rows
// unfiltered. Empty on failure (an empty or unsupported picture).
std::vector<std::uint8_t> encode_png(const cv::Mat& picture, int level = 6);

// Baseline JPEG at `quality` (1 to 100), 4:2:0 colour as libjpeg sets by
// default. Empty on failure.
std::vector<std::uint8_t> encode_jpeg(const cv::Mat& picture, int quality = 90);

}  // namespace idr::scan
