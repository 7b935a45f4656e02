#include "rules/floats.h"

#include <charconv>
#include <cmath>
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
    if (!std::isfinite(v)) return v;
    const double down = std::floor(v);
    const double frac = v - down;  // exact for every double
    double r;
    if (frac < 0.5) {
        r = down;
    } else if (frac > 0.5) {
        r = down + 1.0;
    } else {
        r = std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
    }
    // Keep the sign of a value that rounds to zero (-0.5 -> -0.0).
    return r == 0.0 ? std::copysign(0.0, v) : r;
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
