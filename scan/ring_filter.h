#pragma once
// Finding bubble rings whose outlines cannot be traced: a threshold that left
// a thin ring in dashes, dots where the stroke was. Rings are found by the
// circle Hough transform (edge points voting for centres, which gaps do not
// stop) and measured by what covers them: a ring is darker along its stroke
// than on the paper just outside it on the diagonals, filled or empty.

#include <optional>
#include <vector>

#include <opencv2/core.hpp>

#include "scan/deadline.h"

namespace idr::scan {

struct RingPeak {
    cv::Point2d centre;  // picture pixels, centres at integers
    double unit = 0;     // picture pixels per block unit, from the ring's size
};

// Rings of every size from `min_unit` to `max_unit` picture pixels per unit.
// Each octave of sizes is looked for on the halving of the picture where a
// ring is 8 to 22 pixels across. Stops early when the deadline passes.
std::vector<RingPeak> find_ring_circles(const cv::Mat& grey, double min_unit, double max_unit,
                                        const Deadline& deadline);

// How much darker a ring of the given unit centred at `p` is along its stroke
// than on the paper beside it, in brightness levels (about the print's
// contrast on a ring, about 0 on bare paper, even grey or between rings).
// `grey` is 8-bit.
double ring_response(const cv::Mat& grey, cv::Point2d p, double unit);

// For each guess, the centre of the strongest ring within `reach` pixels of
// it, to about a tenth of a unit; none where nothing there is a ring.
std::vector<std::optional<cv::Point2d>> ring_centres_near(const cv::Mat& grey, const std::vector<cv::Point2d>& guesses,
                                                          double unit, double reach);

}  // namespace idr::scan
