#pragma once
// Colour values: 32-bit signed, laid out 0x00BBGGRR. -1 is "no pixel here".

#include <algorithm>

#include "rules/integer.h"

namespace idr {

inline constexpr Int32 kBlack = 0;
inline constexpr Int32 kWhite = 0xFFFFFF;
inline constexpr Int32 kBlue = 0xFF0000;
inline constexpr Int32 kGreen = 0x00FF00;
inline constexpr Int32 kNoPixel = -1;

// red + 256 * green + 65536 * blue, each component first limited to 0..255:
// rgb(300, -4, 128) == 8388863. Inline: pictures are converted with it
// pixel by pixel.
inline Int32 rgb(Int32 red, Int32 green, Int32 blue) {
    const auto limit = [](Int32 c) { return std::clamp<Int32>(c, 0, 255); };
    return limit(red) + 256 * limit(green) + 65536 * limit(blue);
}

}  // namespace idr
