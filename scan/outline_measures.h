#pragma once
// The length, area and centroid of a traced outline, in one walk over its
// points, giving exactly the numbers cv::arcLength(points, true) and
// cv::moments(points) give for m00, m10 and m01 (the locator's candidates
// depend on them through thresholds, so "about the same" would move them).

#include <cstddef>

#include <opencv2/core.hpp>

namespace idr::scan {

struct OutlineMeasures {
    double perimeter = 0;  // pixels, the closed polygon through the points
    // Spatial moments of the polygon (signed: negative when the points run
    // clockwise on screen); all 0 for a polygon of no area.
    double m00 = 0, m10 = 0, m01 = 0;
};

// `points` in the order traced, the last joined to the first.
OutlineMeasures measure_outline(const cv::Point* points, std::size_t count);

}  // namespace idr::scan
