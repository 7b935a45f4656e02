#pragma once
// The plane-to-plane homography that maps one set of points onto another:
// normalized direct linear transform, optionally inside RANSAC, then refined
// by Levenberg-Marquardt on the points it keeps. Deterministic: RANSAC draws
// its samples from a fixed seed, so the same points give the same fit.

#include <vector>

#include <opencv2/core.hpp>

namespace idr::scan {

// Fits H with dst ~ H * src. With `ransac_px` > 0, points whose reprojection
// error (the distance from H * src to dst, in dst units) exceeds it are
// outliers: the largest consensus of 4-point samples wins, H is fitted
// again on it, and the points within `ransac_px` of that fit become the
// consensus (until it settles, at most three rounds). With `ransac_px` <= 0 every point is used (least squares).
// Returns a 3 x 3 CV_64F matrix scaled so that H(2,2) = 1, or an empty one
// for fewer than 4 points, mismatched lists or a degenerate layout (all
// points on one line). `inliers` becomes an N x 1 CV_8U mask, 1 for the
// points the fit used (all of them without RANSAC).
cv::Mat find_homography(const std::vector<cv::Point2d>& src, const std::vector<cv::Point2d>& dst, double ransac_px,
                        cv::Mat& inliers);

}  // namespace idr::scan
