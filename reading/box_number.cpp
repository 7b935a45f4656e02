#include "reading/box_number.h"

#include "rules/error.h"

namespace idr::detail {

double number_in_box_parsed(const TextBox& box, std::string_view decimal_separator) {
    try {
        return text_to_double(box.Text, decimal_separator);
    } catch (const RuntimeError& e) {
        throw RuntimeError(e.kind(), box.name + ": " + e.message());
    }
}

}  // namespace idr::detail
