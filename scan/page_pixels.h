#pragma once
// What every decoder's output becomes before it is a page: 8-bit grey or
// BGR as asked for, transparency laid on white paper, turned upright.

#include <opencv2/core.hpp>

#include "scan/image_header.h"
#include "scan/load.h"

namespace idr::scan {

// How colour and alpha relate in a 4- or 2-channel picture.
enum class AlphaKind {
    Straight,       // colour as it is; alpha says how much of it covers the paper
    Premultiplied,  // colour already multiplied by alpha (associated alpha)
};

// 8-bit pixels of 1 (grey), 2 (grey, alpha), 3 (BGR) or 4 (BGRA) channels as
// `kind`. An alpha channel that is zero everywhere is taken as unused
// padding (some writers leave the fourth byte at zero), else the page would
// be blank. 16-bit input is scaled to 8 bits.
cv::Mat to_page_pixels(cv::Mat decoded, PixelKind kind, AlphaKind alpha = AlphaKind::Straight);

// The picture stored in EXIF orientation `orientation` (1..8), turned
// upright; any other value leaves it as it is.
cv::Mat upright(cv::Mat image, int orientation);

// The size of a page as it is shown: orientations 5 to 8 swap width and
// height. Empty for a size no page can have.
cv::Size shown_size(const PageHeader& h);

}  // namespace idr::scan
