#pragma once
// Reading a text box as a number, the way the handlers do when they compare
// a count or a brightness with a threshold box.

#include <string_view>

#include "form/form1.h"
#include "rules/text.h"

namespace idr {

// The box's current text as a double, read with the user's decimal
// separator. A text that is not a number (or is beyond the double range)
// throws the same RuntimeError kind as text_to_double, with the box named in
// front of the message: `txtTreshold: the text "abc" is not a number`.
double number_in_box(const TextBox& box, std::string_view decimal_separator);

// The same, with the plain digits a threshold box usually holds converted
// inline: binarization asks at every point.
inline double number_in_box_per_point(const TextBox& box, std::string_view decimal_separator) {
    if (double plain = 0; detail::plain_digits_value(box.Text, plain)) return plain;
    return number_in_box(box, decimal_separator);
}

}  // namespace idr
