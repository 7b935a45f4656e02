#pragma once
// Conversions between numbers and texts. Texts are UTF-8.

#include <string>
#include <string_view>

#include "rules/integer.h"

namespace idr {

namespace detail {
double parse_number_text(std::string_view text, std::string_view decimal_separator);

// Plain digits, as a threshold box holds them (binarization converts its text
// at every point): no blanks, sign, separator or exponent, and few enough
// digits to be exact in a double; the full parse gives the same value.
// Inline, for callers that convert once per pixel.
inline bool plain_digits_value(std::string_view text, double& value) {
    if (text.empty() || text.size() > 9) return false;
    double whole = 0;
    bool plain = true;
    for (const char c : text) {
        plain = plain && c >= '0' && c <= '9';
        whole = whole * 10 + (c - '0');
    }
    value = whole;
    return plain;
}
}  // namespace detail

// Reads `text` as a decimal number under the user's settings:
//   [blanks] [+|-] digits [separator digits] [(e|E) [+|-] digits] [blanks]
// where `decimal_separator` is the user's (e.g. "." or ","); either the
// integer or the fractional digits may be missing, not both. Blanks are
// spaces and tabs.
// Throws TypeMismatch for anything else (empty, blank, letters, "35abc",
// "inf", "nan"), naming the text (and the separator, when the text holds a
// "." or "," that is not it); Overflow for a number beyond the double range.
// Tiny numbers underflow to zero without error.
inline double text_to_double(std::string_view text, std::string_view decimal_separator) {
    if (double plain = 0; detail::plain_digits_value(text, plain)) return plain;
    return detail::parse_number_text(text, decimal_separator);
}

// The decimal separator of the user's locale (LC_NUMERIC from the
// environment), "." when it cannot be determined. Does not change the
// process locale.
std::string system_decimal_separator();

// Decimal digits with a leading '-' when negative; no leading blank, no
// zero filling: 0 -> "0", 10 -> "10", -3 -> "-3".
std::string int_to_text(Int32 v);

// An integral double as its decimal digits, without separator: 45.0 -> "45".
// (Only integral values are ever converted; a fractional value is written
// with its integral part.)
std::string double_to_text(double v);

// `text` in double quotes for messages, safe to show: quotes and
// backslashes escaped, control characters and malformed UTF-8 as \t, \n,
// \xNN; cut after 40 characters with "...".
std::string quoted_text(std::string_view text);

// Concatenation, left operand first.
std::string join(std::string_view left, std::string_view right);

}  // namespace idr
