#pragma once
// Judging a placement of the block on a page: does the printing the block
// has around its rings stand where the placement puts it? The frame's rules
// above, below and beside the rings, and a ring at every one of the 100
// places. A placement one row or one column off keeps most of the rings but
// loses a whole row or column of them and the rules on one side, so it loses
// to the right one and, alone, is refused.

#include <array>
#include <optional>
#include <vector>

#include <opencv2/core.hpp>

namespace idr::scan {

// The printed features that are checked, in the order of
// PlacementScore::features.
enum class FrameFeature {
    TopRule,       // the frame's top rule, above the column numbers
    NumbersRule,   // the rule under the column numbers
    GridRule,      // the double rule right above the rings
    BottomRule,    // the frame's bottom rule, right below the rings
    NumberRules,   // the column rules through the numbers and writing boxes
    LeftRule,      // the frame's left side beside the rings
    RightRule,     // the frame's right side beside the rings
};
inline constexpr int kFrameFeatures = 7;

struct PlacementScore {
    // Each feature's darkness against the paper beside it, relative to the
    // rings' own (about 1 where the feature is printed, about 0 where not),
    // clamped to 0..1.2.
    std::array<double, kFrameFeatures> features{};
    double top = 0;            // the mean of those above the rings (the first three and NumberRules)
    double around = 0;         // the mean of those round the rings (GridRule, BottomRule, LeftRule, RightRule)
    double frame = 0;          // the lesser of the two
    double ring_contrast = 0;  // the rings' darkness against the paper between them, 0..1
    // The weakest row or column of rings relative to the typical ring: about
    // 1 when every row and column holds its rings, about 0 when one is missing.
    double weakest_line = 0;
    // frame, less for a weak row or column of rings, and 0 when one is
    // missing (weaker than kMinLineRings).
    double total = 0;
};

// Rows or columns whose rings are weaker than this share of the typical
// ring's contrast refuse the placement.
inline constexpr double kMinLineRings = 0.4;
// The least total of a placement taken for the block; on a black-and-white
// page, whose thin rules a threshold may leave in dashes, less.
inline constexpr double kMinPlacementScore = 0.3;
inline constexpr double kMinDashedPlacementScore = 0.2;

// `grey` is an 8-bit one-channel picture; `block_to_page` maps block
// coordinates (pixel (i, j) of the built-in sheet covers [i, i+1) x [j, j+1))
// to its pixel coordinates (pixel centres at integers). `dashed`: a black-
// and-white page, whose thin rules a threshold breaks into dashes, so a
// rule counts by how much of it is there.
PlacementScore score_placement(const cv::Mat& grey, const cv::Matx33d& block_to_page, bool dashed = false);

// A homography from block points to page points: RANSAC with the given
// inlier distance in page pixels (0: least squares on all points), then the
// count and RMS distance of the inliers. None with fewer than 8 points or
// inliers.
struct PlacementFit {
    cv::Matx33d h;
    int used = 0;
    double rms_px = 0;
};
std::optional<PlacementFit> fit_placement(const std::vector<cv::Point2d>& block_pts,
                                          const std::vector<cv::Point2d>& page_pts, double ransac_px);

}  // namespace idr::scan
