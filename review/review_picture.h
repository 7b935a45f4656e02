#pragma once
// The review picture of a page as file bytes: the overlay (overlay.h) of a
// read page, or of a page that could not be loaded, encoded as PNG (the
// --overlay files, and a report beside them) or JPEG (a report alone). The
// only place review/ encodes pictures.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "review/page_outcome.h"
#include "scan/read_page.h"

namespace idr::review {

// The longer side of the page's small picture beside the block, in pixels:
// what scan::ReadOptions::thumbnail_long_side is set to for the review
// outputs.
inline constexpr int kReviewThumbnailSide = 320;

// The review picture of a page as PNG bytes when `png`, else JPEG: a report
// alone embeds a picture a fifth of the size, made in a fraction of the
// time. Empty when it cannot be encoded.
std::vector<std::uint8_t> review_picture(const PageOutcome& o, const scan::PageResult& result, bool png = true);
// The same for a page that could not be loaded: its status and why, no picture.
std::vector<std::uint8_t> review_picture(const PageOutcome& o, bool png = true);

// The picture (8-bit grey or BGR) as PNG (scan/png_writer.h) or JPEG
// (quality 85) bytes; empty when it cannot be encoded.
std::vector<std::uint8_t> encode_png(const cv::Mat& picture);
std::vector<std::uint8_t> encode_jpeg(const cv::Mat& picture);

}  // namespace idr::review
