#pragma once
// Float rules: every float expression is evaluated in double precision and
// checked before its result is used; float-to-integer conversions round half
// to even.

#include <cmath>
#include <cstdint>
#include <limits>

#include "rules/integer.h"

namespace idr {

namespace detail {
[[noreturn]] void raise_float(double result, const char* what);
[[noreturn]] void raise_conversion(double v, const char* kind);
}  // namespace detail

// Throws FloatingPoint when `result` is NaN (invalid operation) or infinite
// (division by zero or overflow); returns it unchanged otherwise. Call it on
// the result of every float expression. `what` names the expression for the
// message, e.g. "the row percentage".
inline double float_checked(double result, const char* what) {
    if (!std::isfinite(result)) [[unlikely]] detail::raise_float(result, what);
    return result;
}

// Rounds to the nearest integer, halfway values to the even neighbour:
// 2.5 -> 2, 3.5 -> 4, -2.5 -> -2, -0.5 -> 0 (as -0.0).
// Unlike std::round, which sends halves away from zero.
inline double round_half_even(double v) {
    // From 2^52 up every double is integral; NaN and infinities pass through.
    if (!(std::fabs(v) < 0x1p52)) return v;
    // Integer arithmetic for the floor and the parity: exact, and free of the
    // floating-point rounding mode.
    const auto truncated = static_cast<std::int64_t>(v);
    const std::int64_t down = truncated - (static_cast<double>(truncated) > v ? 1 : 0);
    const double frac = v - static_cast<double>(down);  // exact below 2^52
    // Without branches: a mean of three sums is a third off a whole number
    // as often as not, which no branch predictor guesses.
    const std::int64_t up = static_cast<std::int64_t>(frac > 0.5) |
                            (static_cast<std::int64_t>(frac == 0.5) & (down & 1));
    // The result has the sign of v, also when it is zero (-0.5 -> -0.0).
    return std::copysign(static_cast<double>(down + up), v);
}

// Round half to even, then range-check. NaN, infinities and results outside
// the kind throw Overflow.
namespace detail {
template <typename Kind>
Kind round_to(double v, const char* kind) {
    const double r = std::isfinite(v) ? round_half_even(v) : v;
    // The NaN test must come first: every comparison with NaN is false.
    if (!std::isfinite(r) || r < static_cast<double>(std::numeric_limits<Kind>::min()) ||
        r > static_cast<double>(std::numeric_limits<Kind>::max())) [[unlikely]]
        raise_conversion(v, kind);
    return static_cast<Kind>(r);
}
}  // namespace detail

inline Int16 round_to_int16(double v) { return detail::round_to<Int16>(v, "16-bit"); }
inline Int32 round_to_int32(double v) { return detail::round_to<Int32>(v, "32-bit"); }

// Largest integral value not greater than v, as a double.
double floor_value(double v);

// Narrow a double to single precision, rounding to nearest (how a result is
// stored into a single-precision property). A finite double beyond the single
// range throws FloatingPoint.
float store_single(double v);

}  // namespace idr
