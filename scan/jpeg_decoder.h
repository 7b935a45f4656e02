#pragma once
// JPEG pages through libjpeg (libjpeg-turbo): scaled in the DCT domain when a
// reduced page is asked for, grey straight from the luma of a colour file
// (the chroma is never upsampled or converted), CMYK and YCCK files as seen
// on paper, baseline, progressive and arithmetic-coded alike.

#include <string>
#include <string_view>
#include <variant>

#include <opencv2/core.hpp>

#include "scan/load.h"

namespace idr::scan {

// Decodes `bytes` at 1 / `reduction` (1, 2, 4 or 8) of the full size,
// rounded up: CV_8UC1 when `kind` is grey or the file is, else BGR. The
// picture is as stored (EXIF orientation is the caller's). On failure the
// reason, in the library's words ("Unsupported JPEG data precision 12").
// Damage the library can read past (data cut short) gives the picture with
// the rest grey, as viewers show it.
std::variant<cv::Mat, std::string> decode_jpeg(std::string_view bytes, PixelKind kind, int reduction);

// The same, every file through the library alone: the judge the tests hold
// our own scan decoder (scan/jpeg_luma_scan.h) to.
std::variant<cv::Mat, std::string> decode_jpeg_by_library(std::string_view bytes, PixelKind kind, int reduction);

}  // namespace idr::scan
