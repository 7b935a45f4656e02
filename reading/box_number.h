#pragma once
// Reading a text box as a number, the way the handlers do when they compare
// a count or a brightness with a threshold box.

#include <string_view>

#include "form/form1.h"
#include "rules/text.h"

namespace idr {

namespace detail {
double number_in_box_parsed(const TextBox& box, std::string_view decimal_separator);
}  // namespace detail

// The box's current text as a double, read with the user's decimal
// separator. A text that is not a number (or is beyond the double range)
// throws the same RuntimeError kind as text_to_double, with the box named in
// front of the message: `txtTreshold: the text "abc" is not a number`.
// Inline for plain digits, which binarization converts at every point; any
// other text through the full parse, out of line.
inline double number_in_box(const TextBox& box, std::string_view decimal_separator) {
    if (double plain = 0; detail::plain_digits_value(box.Text, plain)) return plain;
    return detail::number_in_box_parsed(box, decimal_separator);
}

}  // namespace idr
