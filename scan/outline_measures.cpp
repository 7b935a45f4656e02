#include "scan/outline_measures.h"

#include <cfloat>
#include <cmath>

namespace idr::scan {

OutlineMeasures measure_outline(const cv::Point* points, std::size_t count) {
    OutlineMeasures out;
    if (count == 0) return out;
    // OpenCV's own arithmetic, in its order, for the three sums used:
    // - the length as cv::arcLength sums it: each step's length in single
    //   precision, added in double precision, starting with the step from
    //   the last point to the first;
    // - a00, a10 and a01 as cv::moments accumulates them, in doubles. With
    //   whole-pixel coordinates every term is a whole number, exact while
    //   the sums stay below 2^53 (pictures below 2^15 pixels a side).
    double perimeter = 0;
    double a00 = 0, a10 = 0, a01 = 0;
    double px = points[count - 1].x, py = points[count - 1].y;
    float fpx = static_cast<float>(points[count - 1].x), fpy = static_cast<float>(points[count - 1].y);
    for (std::size_t i = 0; i < count; ++i) {
        const float fx = static_cast<float>(points[i].x), fy = static_cast<float>(points[i].y);
        const float dx = fx - fpx, dy = fy - fpy;
        perimeter += std::sqrt(dx * dx + dy * dy);
        fpx = fx, fpy = fy;

        const double x = points[i].x, y = points[i].y;
        const double cross = px * y - x * py;
        a00 += cross;
        a10 += cross * (px + x);
        a01 += cross * (py + y);
        px = x, py = y;
    }
    out.perimeter = perimeter;
    // OpenCV's test for a polygon of no area, and its constants, signed
    // by the direction the points run.
    if (std::fabs(a00) > FLT_EPSILON) {
        const double half = a00 > 0 ? 0.5 : -0.5;
        const double sixth = a00 > 0 ? 0.16666666666666666666666666666667 : -0.16666666666666666666666666666667;
        out.m00 = a00 * half;
        out.m10 = a10 * sixth;
        out.m01 = a01 * sixth;
    }
    return out;
}

}  // namespace idr::scan
