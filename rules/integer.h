#pragma once
// Checked 16- and 32-bit signed integer arithmetic. Every function name says
// its policy: `checked_*` throws an Overflow RuntimeError instead of wrapping.
// The checks are inline (the reading steps run them for every pixel); the
// errors are raised out of line.

#include <cassert>
#include <cstdint>
#include <limits>

namespace idr {

using Int16 = std::int16_t;
using Int32 = std::int32_t;

namespace detail {
// "16-bit addition 510 + 32767 overflows": `bits` is 16 or 32.
[[noreturn]] void raise_overflow(int bits, const char* what, std::int64_t a, const char* op, std::int64_t b);
[[noreturn]] void raise_narrow16(Int32 v);
[[noreturn]] void raise_division(Int32 dividend);

template <typename Kind>
constexpr bool fits(std::int64_t v) {
    return v >= std::numeric_limits<Kind>::min() && v <= std::numeric_limits<Kind>::max();
}
}  // namespace detail

// The operands are widened to 64 bits, where neither kind can overflow, and
// the result is range-checked against the kind it must fit.
inline Int16 checked_add16(Int16 a, Int16 b) {
    const std::int64_t r = std::int64_t{a} + b;
    if (!detail::fits<Int16>(r)) [[unlikely]] detail::raise_overflow(16, "addition", a, "+", b);
    return static_cast<Int16>(r);
}

inline Int16 checked_sub16(Int16 a, Int16 b) {
    const std::int64_t r = std::int64_t{a} - b;
    if (!detail::fits<Int16>(r)) [[unlikely]] detail::raise_overflow(16, "subtraction", a, "-", b);
    return static_cast<Int16>(r);
}

// v + 1
inline Int16 checked_increment16(Int16 v) {
    if (v == std::numeric_limits<Int16>::max()) [[unlikely]] detail::raise_overflow(16, "increment", v, "+", 1);
    return static_cast<Int16>(v + 1);
}

// v + 1
inline Int32 checked_increment32(Int32 v) {
    if (v == std::numeric_limits<Int32>::max()) [[unlikely]] detail::raise_overflow(32, "increment", v, "+", 1);
    return v + 1;
}

// 32 -> 16 bits, value kept; outside -32768..32767 throws Overflow.
inline Int16 checked_narrow16(Int32 v) {
    if (!detail::fits<Int16>(v)) [[unlikely]] detail::raise_narrow16(v);
    return static_cast<Int16>(v);
}

// Integer division truncating toward zero (-1 / 256 == 0, -7 / 4 == -1).
// `divisor` must not be 0 (a programming error, asserted).
inline Int32 div_trunc(Int32 dividend, Int32 divisor) {
    assert(divisor != 0);
    // The one quotient that leaves the kind.
    if (dividend == std::numeric_limits<Int32>::min() && divisor == -1) [[unlikely]] detail::raise_division(dividend);
    return dividend / divisor;  // C++ division truncates toward zero
}

// Bitwise AND on the two's-complement pattern (-1 AND 255 == 255).
inline Int32 bit_and(Int32 a, Int32 mask) { return a & mask; }

}  // namespace idr

namespace idr {
// Truth values are 16-bit integers.
inline constexpr Int16 kTrue = -1;
inline constexpr Int16 kFalse = 0;
}  // namespace idr
