#pragma once
// Float rules: every float expression is evaluated in double precision and
// checked before its result is used; float-to-integer conversions round half
// to even.

#include "rules/integer.h"

namespace idr {

// Throws FloatingPoint when `result` is NaN (invalid operation) or infinite
// (division by zero or overflow); returns it unchanged otherwise. Call it on
// the result of every float expression. `what` names the expression for the
// message, e.g. "the row percentage".
double float_checked(double result, const char* what);

// Rounds to the nearest integer, halfway values to the even neighbour:
// 2.5 -> 2, 3.5 -> 4, -2.5 -> -2, -0.5 -> 0 (as -0.0).
// Unlike std::round, which sends halves away from zero.
double round_half_even(double v);

// Round half to even, then range-check. NaN, infinities and results outside
// the kind throw Overflow.
Int16 round_to_int16(double v);
Int32 round_to_int32(double v);

// Largest integral value not greater than v, as a double.
double floor_value(double v);

// Narrow a double to single precision, rounding to nearest (how a result is
// stored into a single-precision property). A finite double beyond the single
// range throws FloatingPoint.
float store_single(double v);

}  // namespace idr
