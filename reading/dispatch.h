#pragma once
// The one place where a click becomes a handler call, for the window and the
// command-line reader alike.

#include <optional>

#include "form/design.h"
#include "form/form1.h"
#include "rules/error.h"

namespace idr {

// ButtonId and kAllButtons come from the design (form/design.h).

// The button's control in the model (cmdBinary, cmdDraw, cmdCheck,
// cmdCheck_ID, Command2, Command1, Command4, Command3).
inline Button& button_of(Form1& form, ButtonId id) { return form.button(id); }
inline const Button& button_of(const Form1& form, ButtonId id) { return form.button(id); }

struct ClickOutcome {
    bool ran = false;                   // false: the button was disabled, click discarded
    std::optional<RuntimeError> error;  // the run-time error that stopped the handler
};

// Runs the button's handler when the button is enabled; a click on a
// disabled button is discarded. A RuntimeError stops the handler at the
// failing step and is returned; nothing it did before is undone.
ClickOutcome click(Form1& form, ButtonId id);

}  // namespace idr
