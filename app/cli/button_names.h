#pragma once
// The buttons' names on the command line (--click binary,draw,...). They
// belong to the command-line reader, not to the buttons themselves.

#include <optional>
#include <string_view>

#include "form/design.h"

namespace idr {

// binary, draw, check, check-id, up, down, left, right.
std::string_view cli_name(ButtonId id);
// The button of that exact name (case and blanks count), if any.
std::optional<ButtonId> button_from_cli_name(std::string_view name);

}  // namespace idr
