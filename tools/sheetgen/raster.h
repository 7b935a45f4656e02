#pragma once
// Anti-aliased coverage: shapes are drawn into a mask with 8 x 8 sub-samples
// per pixel, and a pixel's coverage is the share of its sub-samples inside
// any shape. Coordinates are continuous: pixel (i, j) covers [i, i+1) x [j, j+1).

#include <cstdint>
#include <vector>

namespace idr::sheetgen {

struct Vec2 {
    double x = 0, y = 0;
};
using Polyline = std::vector<Vec2>;

// Distance from p to the segment a-b.
double segment_distance(Vec2 p, Vec2 a, Vec2 b);

class CoverageMask {
public:
    static constexpr int kSub = 8;

    CoverageMask(int width, int height);

    // A pen stroke of the given width with round ends.
    void stroke_segment(Vec2 a, Vec2 b, double width);
    void stroke_polyline(const Polyline& line, double width);
    // The ring between the two radii around `centre`.
    void fill_annulus(Vec2 centre, double inner_radius, double outer_radius);
    void fill_rect(double x0, double y0, double x1, double y1);

    // 0..1, the share of the pixel covered.
    double coverage(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    // Calls inside(sx, sy) for every sub-sample centre in the box and sets
    // the sub-sample when it returns true.
    template <class Inside>
    void fill_where(double x0, double y0, double x1, double y1, Inside inside);

    int width_, height_;
    std::vector<std::uint8_t> sub_;  // (width * kSub) x (height * kSub)
};

}  // namespace idr::sheetgen
