#pragma once
// 1-bit files for black-and-white pages.

#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "tools/pagegen/stack.h"

namespace idr::pagegen {

// Writes a 0/255 one-channel picture as a 1-bit file of the given kind, its
// resolution recorded as `dpi` (a PDF page is sized by it, so rendering at
// `dpi` gives the picture's size back). Returns a message naming the file and
// the reason when it fails.
std::optional<std::string> write_bilevel(const cv::Mat& image, BilevelFile file, double dpi,
                                         const std::string& path);

}  // namespace idr::pagegen
