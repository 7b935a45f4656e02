#pragma once
// PNG pages through libspng: every colour type and bit depth (1 to 16),
// palettes, transparency (alpha channels and tRNS), interlaced files.

#include <string>
#include <string_view>
#include <variant>

#include <opencv2/core.hpp>

#include "scan/load.h"

namespace idr::scan {

// The picture in `bytes`: grey (CV_8UC1, or CV_16UC2 grey and alpha for
// 16-bit grey) or colour (BGR, BGRA with transparency), for
// to_page_pixels() to finish. `kind` lets a colour file go straight to grey.
// On failure the reason in the library's words ("IDAT stream error").
std::variant<cv::Mat, std::string> decode_png(std::string_view bytes, PixelKind kind);

}  // namespace idr::scan
