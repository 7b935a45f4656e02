#include "tools/sheetgen/raster.h"

#include <algorithm>
#include <cmath>

namespace idr::sheetgen {

double segment_distance(Vec2 p, Vec2 a, Vec2 b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = 0;
    if (len2 > 0) t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
    const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

CoverageMask::CoverageMask(int width, int height)
    : width_(width), height_(height),
      sub_(static_cast<std::size_t>(width) * kSub * static_cast<std::size_t>(height) * kSub, 0) {}

template <class Inside>
void CoverageMask::fill_where(double x0, double y0, double x1, double y1, Inside inside) {
    const int sw = width_ * kSub, sh = height_ * kSub;
    const int i0 = std::max(0, static_cast<int>(std::floor(x0 * kSub)));
    const int j0 = std::max(0, static_cast<int>(std::floor(y0 * kSub)));
    const int i1 = std::min(sw - 1, static_cast<int>(std::ceil(x1 * kSub)));
    const int j1 = std::min(sh - 1, static_cast<int>(std::ceil(y1 * kSub)));
    for (int j = j0; j <= j1; ++j) {
        const double sy = (j + 0.5) / kSub;
        for (int i = i0; i <= i1; ++i) {
            const double sx = (i + 0.5) / kSub;
            if (inside(sx, sy)) sub_[static_cast<std::size_t>(j) * sw + i] = 1;
        }
    }
}

void CoverageMask::stroke_segment(Vec2 a, Vec2 b, double width) {
    const double h = width / 2;
    fill_where(std::min(a.x, b.x) - h, std::min(a.y, b.y) - h, std::max(a.x, b.x) + h,
               std::max(a.y, b.y) + h,
               [&](double x, double y) { return segment_distance({x, y}, a, b) <= h; });
}

void CoverageMask::stroke_polyline(const Polyline& line, double width) {
    if (line.size() == 1) stroke_segment(line[0], line[0], width);
    for (std::size_t i = 1; i < line.size(); ++i) stroke_segment(line[i - 1], line[i], width);
}

void CoverageMask::fill_annulus(Vec2 c, double inner_radius, double outer_radius) {
    const double ri2 = inner_radius * inner_radius, ro2 = outer_radius * outer_radius;
    fill_where(c.x - outer_radius, c.y - outer_radius, c.x + outer_radius, c.y + outer_radius,
               [&](double x, double y) {
                   const double d2 = (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y);
                   return d2 >= ri2 && d2 <= ro2;
               });
}

void CoverageMask::fill_rect(double x0, double y0, double x1, double y1) {
    fill_where(x0, y0, x1, y1,
               [&](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; });
}

double CoverageMask::coverage(int x, int y) const {
    const int sw = width_ * kSub;
    int n = 0;
    for (int j = 0; j < kSub; ++j) {
        const std::uint8_t* row = &sub_[static_cast<std::size_t>(y * kSub + j) * sw + x * kSub];
        for (int i = 0; i < kSub; ++i) n += row[i];
    }
    return static_cast<double>(n) / (kSub * kSub);
}

}  // namespace idr::sheetgen
