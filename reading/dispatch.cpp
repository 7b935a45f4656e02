#include "reading/dispatch.h"

#include <cassert>

#include "reading/binarization.h"
#include "reading/grid.h"
#include "reading/id_reading.h"
#include "reading/cell_check.h"
#include "reading/positioning.h"

namespace idr {

namespace {

struct ButtonEntry {
    ButtonId id;
    std::string_view cli_name;
    Button Form1::*control;
    void (*handler)(Form1&);
};

constexpr ButtonEntry kButtons[] = {
    {ButtonId::Binary, "binary", &Form1::cmdBinary, &cmdBinary_Click},
    {ButtonId::Draw, "draw", &Form1::cmdDraw, &cmdDraw_Click},
    {ButtonId::Check, "check", &Form1::cmdCheck, &cmdCheck_Click},
    {ButtonId::CheckId, "check-id", &Form1::cmdCheck_ID, &cmdCheck_ID_Click},
    {ButtonId::Up, "up", &Form1::Command2, &Command2_Click},
    {ButtonId::Down, "down", &Form1::Command1, &Command1_Click},
    {ButtonId::Left, "left", &Form1::Command4, &Command4_Click},
    {ButtonId::Right, "right", &Form1::Command3, &Command3_Click},
};

const ButtonEntry& entry(ButtonId id) {
    for (const ButtonEntry& e : kButtons) {
        if (e.id == id) return e;
    }
    assert(false && "every ButtonId has an entry");
    return kButtons[0];
}

}  // namespace

Button& button_of(Form1& form, ButtonId id) { return form.*entry(id).control; }
const Button& button_of(const Form1& form, ButtonId id) { return form.*entry(id).control; }

std::string_view cli_name(ButtonId id) { return entry(id).cli_name; }

std::optional<ButtonId> button_from_cli_name(std::string_view name) {
    for (const ButtonEntry& e : kButtons) {
        if (e.cli_name == name) return e.id;
    }
    return std::nullopt;
}

ClickOutcome click(Form1& form, ButtonId id) {
    ClickOutcome outcome;
    if (!button_of(form, id).enabled) return outcome;
    outcome.ran = true;
    try {
        entry(id).handler(form);
    } catch (const RuntimeError& error) {
        outcome.error = error;
    }
    return outcome;
}

}  // namespace idr
