#include "rules/floats.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "rules/error.h"

namespace idr {

namespace {

// Shortest text that reads back as the same double, for error messages.
std::string show(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

template <typename Kind>
Kind round_to(double v, const char* kind) {
    const double r = std::isfinite(v) ? round_half_even(v) : v;
    // The NaN test must come first: every comparison with NaN is false.
    if (!std::isfinite(r) || r < static_cast<double>(std::numeric_limits<Kind>::min()) ||
        r > static_cast<double>(std::numeric_limits<Kind>::max())) {
        throw RuntimeError(ErrorKind::Overflow,
                           "converting " + show(v) + " to a " + kind + " integer overflows");
    }
    return static_cast<Kind>(r);
}

}  // namespace

double float_checked(double result, const char* what) {
    if (std::isnan(result)) {
        throw RuntimeError(ErrorKind::FloatingPoint, std::string("invalid operation in ") + what);
    }
    if (std::isinf(result)) {
        throw RuntimeError(ErrorKind::FloatingPoint,
                           std::string("division by zero or overflow in ") + what);
    }
    return result;
}

double round_half_even(double v) {
    // From 2^52 up every double is integral; NaN and infinities pass through.
    if (!(std::fabs(v) < 0x1p52)) return v;
    // Integer arithmetic for the floor and the parity: exact, and free of the
    // floating-point rounding mode.
    const auto truncated = static_cast<std::int64_t>(v);
    const std::int64_t down = truncated - (static_cast<double>(truncated) > v ? 1 : 0);
    const double frac = v - static_cast<double>(down);  // exact below 2^52
    const std::int64_t r = (frac > 0.5 || (frac == 0.5 && (down & 1) != 0)) ? down + 1 : down;
    // Keep the sign of a value that rounds to zero (-0.5 -> -0.0).
    return r == 0 ? std::copysign(0.0, v) : static_cast<double>(r);
}

Int16 round_to_int16(double v) { return round_to<Int16>(v, "16-bit"); }

Int32 round_to_int32(double v) { return round_to<Int32>(v, "32-bit"); }

double floor_value(double v) { return std::floor(v); }

float store_single(double v) {
    if (!std::isfinite(v)) {
        throw RuntimeError(ErrorKind::FloatingPoint,
                           "the value " + show(v) + " cannot be stored as a single");
    }
    // Halfway between the largest single and the next power of two: from
    // here on rounding to nearest gives infinity, and the cast would be
    // undefined, so the range is tested before converting.
    constexpr double kFirstBeyondSingle = 0x1.ffffffp127;
    if (std::fabs(v) >= kFirstBeyondSingle) {
        throw RuntimeError(ErrorKind::FloatingPoint,
                           "the value " + show(v) + " is beyond the single-precision range");
    }
    return static_cast<float>(v);  // rounds to nearest
}

}  // namespace idr
