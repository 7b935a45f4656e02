#include "rules/integer.h"

#include <string>

#include "rules/error.h"

namespace idr::detail {

void raise_overflow(int bits, const char* what, std::int64_t a, const char* op, std::int64_t b) {
    throw RuntimeError(ErrorKind::Overflow, std::to_string(bits) + "-bit " + what + " " + std::to_string(a) + " " +
                                                op + " " + std::to_string(b) + " overflows");
}

void raise_narrow16(Int32 v) {
    throw RuntimeError(ErrorKind::Overflow, "the value " + std::to_string(v) + " does not fit a 16-bit integer");
}

void raise_division(Int32 dividend) {
    throw RuntimeError(ErrorKind::Overflow, "32-bit division " + std::to_string(dividend) + " / -1 overflows");
}

}  // namespace idr::detail
