#pragma once
// The pixel surface behind the picture box: one 0x00BBGGRR colour per pixel,
// origin at the top-left, x to the right, y downwards, one unit per pixel.
// Point and PSet never fail: outside the picture Point gives -1 and PSet
// changes nothing.

#include <cstdint>
#include <vector>

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
    // NaN and anything outside 0 <= x < width, 0 <= y < height give -1.
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
    int width_ = 0;
    int height_ = 0;
    std::vector<Int32> pixels_;
};

}  // namespace idr
