#pragma once
// The pixel surface behind the picture box: one 0x00BBGGRR colour per pixel,
// origin at the top-left, x to the right, y downwards, one unit per pixel.
// Point and PSet never fail: outside the picture Point gives kNoPixel (-1)
// and PSet changes nothing.

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "rules/colour.h"
#include "rules/integer.h"

namespace idr {

class Surface {
public:
    Surface() = default;  // 0 x 0
    // width, height >= 0 (asserted); every pixel set to `fill`.
    Surface(int width, int height, Int32 fill = 0);

    int width() const { return width_; }
    int height() const { return height_; }

    float ScaleWidth() const { return static_cast<float>(width_); }
    float ScaleHeight() const { return static_cast<float>(height_); }

    // A fractional coordinate addresses the pixel it falls in (floor);
    // NaN and anything outside 0 <= x < width, 0 <= y < height give
    // kNoPixel.
    Int32 Point(float x, float y) const;
    // Outside the picture, or NaN coordinates: ignored.
    void PSet(float x, float y, Int32 colour);

    // Direct access for loaders, views and tests; (x, y) must be inside.
    Int32 pixel(int x, int y) const;
    void set_pixel(int x, int y, Int32 colour);
    // Row-major, top row first.
    const std::vector<Int32>& pixels() const { return pixels_; }

    friend bool operator==(const Surface&, const Surface&) = default;

private:
    // The pixel a coordinate falls in, or -1 when it is outside
    // 0 <= v < limit. The comparison is done in floating point before any
    // conversion, so NaN, infinities and values far beyond the int range
    // never reach the cast.
    static int cell_index(float v, int limit);

    int width_ = 0;
    int height_ = 0;
    std::vector<Int32> pixels_;
};

// Point and PSet run for every pixel of every binarization: inline.

inline int Surface::cell_index(float v, int limit) {
    if (!(v >= 0.0f && v < static_cast<float>(limit))) return -1;
    const int index = static_cast<int>(std::floor(v));
    // A float just below `limit` may round up to it when limit is large.
    return index < limit ? index : -1;
}

inline Int32 Surface::Point(float x, float y) const {
    const int col = cell_index(x, width_);
    const int row = cell_index(y, height_);
    if (col < 0 || row < 0) return kNoPixel;
    return pixel(col, row);
}

inline void Surface::PSet(float x, float y, Int32 colour) {
    const int col = cell_index(x, width_);
    const int row = cell_index(y, height_);
    if (col < 0 || row < 0) return;
    set_pixel(col, row, colour);
}

inline Int32 Surface::pixel(int x, int y) const {
    assert(x >= 0 && x < width_ && y >= 0 && y < height_);
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

inline void Surface::set_pixel(int x, int y, Int32 colour) {
    assert(x >= 0 && x < width_ && y >= 0 && y < height_);
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = colour;
}

}  // namespace idr
