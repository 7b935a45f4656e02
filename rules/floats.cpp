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

}  // namespace

namespace detail {

void raise_float(double result, const char* what) {
    if (std::isnan(result)) throw RuntimeError(ErrorKind::FloatingPoint, std::string("invalid operation in ") + what);
    throw RuntimeError(ErrorKind::FloatingPoint, std::string("division by zero or overflow in ") + what);
}

void raise_conversion(double v, const char* kind) {
    throw RuntimeError(ErrorKind::Overflow, "converting " + show(v) + " to a " + kind + " integer overflows");
}

}  // namespace detail

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
