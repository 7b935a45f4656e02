#include "picture/surface.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace idr {

namespace {

// The pixel a coordinate falls in, or -1 when it is outside 0 <= v < limit.
// The comparison is done in floating point before any conversion, so NaN,
// infinities and values far beyond the int range never reach the cast.
int cell_index(float v, int limit) {
    if (!(v >= 0.0f && v < static_cast<float>(limit))) {
        return -1;
    }
    const int index = static_cast<int>(std::floor(v));
    // A float just below `limit` may round up to it when limit is large.
    return index < limit ? index : -1;
}

}  // namespace

Surface::Surface(int width, int height, Int32 fill) : width_(width), height_(height) {
    assert(width >= 0 && height >= 0);
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

Int32 Surface::Point(float x, float y) const {
    const int col = cell_index(x, width_);
    const int row = cell_index(y, height_);
    if (col < 0 || row < 0) {
        return -1;
    }
    return pixel(col, row);
}

void Surface::PSet(float x, float y, Int32 colour) {
    const int col = cell_index(x, width_);
    const int row = cell_index(y, height_);
    if (col < 0 || row < 0) {
        return;
    }
    set_pixel(col, row, colour);
}

Int32 Surface::pixel(int x, int y) const {
    assert(x >= 0 && x < width_ && y >= 0 && y < height_);
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

void Surface::set_pixel(int x, int y, Int32 colour) {
    assert(x >= 0 && x < width_ && y >= 0 && y < height_);
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = colour;
}

}  // namespace idr
