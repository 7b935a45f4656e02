#pragma once
// Finding bubble rings by what covers them rather than by their outlines: a
// ring is darker along its stroke than on the paper just outside it on the
// diagonals, whether its stroke is whole, dashed by a threshold or a field of
// dots, and whether the bubble is filled or empty. Slower than tracing
// outlines, so it is the way in for pages whose outlines are broken.

#include <optional>
#include <vector>

#include <opencv2/core.hpp>

#include "scan/deadline.h"

namespace idr::scan {

struct RingPeak {
    cv::Point2d centre;  // picture pixels, centres at integers
    double unit = 0;     // picture pixels per block unit the ring was found at
    double strength = 0; // brightness levels the stroke is darker than the paper beside it
};

// How much darker a ring of the given unit centred at `p` is along its stroke
// than on the paper beside it, in brightness levels (about the print's
// contrast on a ring, about 0 on bare paper or even grey). `grey` is 8-bit.
double ring_response(const cv::Mat& grey, cv::Point2d p, double unit);

// Rings of every size from `min_unit` to `max_unit` picture pixels per unit,
// strongest first, none closer than half a ring pitch to a stronger one.
// The picture is smoothed and reduced for each size, so a ring's stroke is
// judged at about a unit's scale. Stops early when the deadline passes.
std::vector<RingPeak> find_ring_peaks(const cv::Mat& grey, double min_unit, double max_unit,
                                      const Deadline& deadline);

// For each guess, the centre of the strongest ring within `reach` pixels of
// it, to about a tenth of a unit; none where nothing there is a ring.
std::vector<std::optional<cv::Point2d>> ring_centres_near(const cv::Mat& grey, const std::vector<cv::Point2d>& guesses,
                                                          double unit, double reach);

}  // namespace idr::scan
