#pragma once
// The one place where a click becomes a handler call, for the window and the
// command-line reader alike.

#include <array>
#include <optional>
#include <string_view>

#include "form/form1.h"
#include "rules/error.h"

namespace idr {

enum class ButtonId { Binary, Draw, Check, CheckId, Up, Down, Left, Right };

inline constexpr std::array<ButtonId, 8> kAllButtons = {
    ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId,
    ButtonId::Up,     ButtonId::Down, ButtonId::Left,  ButtonId::Right};

// The button's control in the model (cmdBinary, cmdDraw, cmdCheck,
// cmdCheck_ID, Command2, Command1, Command4, Command3).
Button& button_of(Form1& form, ButtonId id);
const Button& button_of(const Form1& form, ButtonId id);

// Command-line names: binary, draw, check, check-id, up, down, left, right.
std::string_view cli_name(ButtonId id);
std::optional<ButtonId> button_from_cli_name(std::string_view name);

struct ClickOutcome {
    bool ran = false;                   // false: the button was disabled, click discarded
    std::optional<RuntimeError> error;  // the run-time error that stopped the handler
};

// Runs the button's handler when the button is enabled; a click on a
// disabled button is discarded. A RuntimeError stops the handler at the
// failing step and is returned; nothing it did before is undone.
ClickOutcome click(Form1& form, ButtonId id);

}  // namespace idr
