#pragma once
// The review picture of one page: the rectified block enlarged, every cell
// marked with its column's decision (each state in its own colour and its own
// shape, so the picture reads in grey too), the reading, status and reasons
// beneath, and beside it the whole page small with the located block
// outlined.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "review/page_outcome.h"

namespace idr::review {

// How much the 262 x 362 block is enlarged in the overlay.
inline constexpr int kOverlayBlockScale = 2;

// Where the parts of the overlay lie (pixels of the overlay picture), so
// that callers and tests can find a cell without recomputing the layout.
struct OverlayLayout {
    cv::Rect block;      // the enlarged block
    cv::Rect thumbnail;  // the whole-page picture (empty when none was given)
    cv::Size size;       // the whole overlay
};
// The overlay grows downwards with the number of reasons it lists.
OverlayLayout overlay_layout(const PageOutcome& o, const cv::Mat& thumbnail);

// The colour (BGR) of each column state on the overlay, and of a status.
cv::Scalar state_colour(scan::ColumnState state);
cv::Scalar status_colour(const std::string& status);

// `block` is the rectified block (262 x 362 BGR, empty when the block was not
// found); `thumbnail` the whole page small (BGR or grey, may be empty), with
// `thumbnail_scale` thumbnail pixels per full-size page pixel. Returns an
// 8-bit BGR picture.
cv::Mat render_overlay(const PageOutcome& o, const cv::Mat& block, const cv::Mat& thumbnail,
                       double thumbnail_scale);

// The file name of page `o` in `dir`: <seq, 4 digits>-<file stem>-p<page>.png.
std::string overlay_path(const std::string& dir, int seq, const PageOutcome& o);

// Renders the overlay and writes it to overlay_path(dir, seq, o), creating
// `dir` when missing. Returns an error message naming the file (or folder),
// or nothing when written.
std::optional<std::string> write_overlay(const std::string& dir, int seq, const PageOutcome& o,
                                         const cv::Mat& block, const cv::Mat& thumbnail,
                                         double thumbnail_scale);

}  // namespace idr::review
