#include "rules/colour.h"

#include <algorithm>

namespace idr {

Int32 rgb(Int32 red, Int32 green, Int32 blue) {
    const auto limit = [](Int32 c) { return std::clamp<Int32>(c, 0, 255); };
    return limit(red) + 256 * limit(green) + 65536 * limit(blue);
}

}  // namespace idr
