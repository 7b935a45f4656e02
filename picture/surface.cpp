#include "picture/surface.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace idr {

Surface::Surface(int width, int height, Int32 fill) : width_(width), height_(height) {
    assert(width >= 0 && height >= 0);
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

}  // namespace idr
