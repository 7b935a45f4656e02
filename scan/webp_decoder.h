#pragma once
// WebP pages through libwebp: lossy and lossless, with or without alpha.
// Animated files are refused by the header check before they get here.

#include <string>
#include <string_view>
#include <variant>

#include <opencv2/core.hpp>

namespace idr::scan {

// BGR, or BGRA when the file has alpha; on failure the reason.
std::variant<cv::Mat, std::string> decode_webp(std::string_view bytes);

}  // namespace idr::scan
