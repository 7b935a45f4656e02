#include "rules/flag_array.h"

#include <string>

#include "rules/error.h"

namespace idr {

void throw_subscript(Int32 index, Int32 lower, Int32 upper) {
    throw RuntimeError(ErrorKind::Subscript, "index " + std::to_string(index) +
                                                 " is outside the bounds " + std::to_string(lower) +
                                                 " to " + std::to_string(upper));
}

}  // namespace idr
