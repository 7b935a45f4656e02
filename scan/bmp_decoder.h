#pragma once
// BMP pages of every common kind, for scans that are not the 24-bit form the
// program's own picture decoder (picture/bmp.h) reads exactly: 1-, 2-, 4- and
// 8-bit palettes (also run-length coded), 16- and 32-bit with or without
// bit-field masks, 24-bit, OS/2 headers, rows bottom-up or top-down. JPEG,
// PNG, Huffman and 24-bit run-length data inside a BMP are refused.

#include <string>
#include <string_view>
#include <variant>

#include <opencv2/core.hpp>

namespace idr::scan {

// BGR, or BGRA when the file has an alpha mask; on failure the reason, naming
// the field that was wrong. The caller has checked the declared size
// against its limits; every read here is bounds-checked.
std::variant<cv::Mat, std::string> decode_bmp_page(std::string_view bytes);

}  // namespace idr::scan
