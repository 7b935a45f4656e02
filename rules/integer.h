#pragma once
// Checked 16- and 32-bit signed integer arithmetic. Every function name says
// its policy: `checked_*` throws an Overflow RuntimeError instead of wrapping.

#include <cstdint>

namespace idr {

using Int16 = std::int16_t;
using Int32 = std::int32_t;

Int16 checked_add16(Int16 a, Int16 b);
Int16 checked_sub16(Int16 a, Int16 b);
Int16 checked_increment16(Int16 v);  // v + 1

Int32 checked_increment32(Int32 v);  // v + 1

// 32 -> 16 bits, value kept; outside -32768..32767 throws Overflow.
Int16 checked_narrow16(Int32 v);

// Integer division truncating toward zero (-1 / 256 == 0, -7 / 4 == -1).
// `divisor` must not be 0 (a programming error, asserted).
Int32 div_trunc(Int32 dividend, Int32 divisor);

// Bitwise AND on the two's-complement pattern (-1 AND 255 == 255).
Int32 bit_and(Int32 a, Int32 mask);

}  // namespace idr

namespace idr {
// Truth values are 16-bit integers.
inline constexpr Int16 kTrue = -1;
inline constexpr Int16 kFalse = 0;
}  // namespace idr
