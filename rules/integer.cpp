#include "rules/integer.h"

#include <cassert>
#include <cstdint>
#include <limits>
#include <string>

#include "rules/error.h"

namespace idr {

namespace {

// The operands are widened to 64 bits, where neither kind can overflow, and
// the result is range-checked against the kind it must fit.
template <typename Kind>
Kind fit(std::int64_t result, const char* what, std::int64_t a, const char* op, std::int64_t b) {
    if (result < std::numeric_limits<Kind>::min() || result > std::numeric_limits<Kind>::max()) {
        const char* bits = sizeof(Kind) == 2 ? "16-bit " : "32-bit ";
        throw RuntimeError(ErrorKind::Overflow, std::string(bits) + what + " " + std::to_string(a) +
                                                    " " + op + " " + std::to_string(b) + " overflows");
    }
    return static_cast<Kind>(result);
}

}  // namespace

Int16 checked_add16(Int16 a, Int16 b) {
    return fit<Int16>(std::int64_t{a} + b, "addition", a, "+", b);
}

Int16 checked_sub16(Int16 a, Int16 b) {
    return fit<Int16>(std::int64_t{a} - b, "subtraction", a, "-", b);
}

Int16 checked_increment16(Int16 v) {
    return fit<Int16>(std::int64_t{v} + 1, "increment", v, "+", 1);
}

Int32 checked_increment32(Int32 v) {
    return fit<Int32>(std::int64_t{v} + 1, "increment", v, "+", 1);
}

Int16 checked_narrow16(Int32 v) {
    if (v < std::numeric_limits<Int16>::min() || v > std::numeric_limits<Int16>::max()) {
        throw RuntimeError(ErrorKind::Overflow,
                           "the value " + std::to_string(v) + " does not fit a 16-bit integer");
    }
    return static_cast<Int16>(v);
}

Int32 div_trunc(Int32 dividend, Int32 divisor) {
    assert(divisor != 0);
    // The one quotient that leaves the kind.
    if (dividend == std::numeric_limits<Int32>::min() && divisor == -1) {
        throw RuntimeError(ErrorKind::Overflow,
                           "32-bit division " + std::to_string(dividend) + " / -1 overflows");
    }
    return dividend / divisor;  // C++ division truncates toward zero
}

Int32 bit_and(Int32 a, Int32 mask) { return a & mask; }

}  // namespace idr
