#include "reading/dispatch.h"

#include <array>
#include <cstddef>

#include "reading/binarization.h"
#include "reading/cell_check.h"
#include "reading/grid.h"
#include "reading/id_reading.h"
#include "reading/positioning.h"

namespace idr {

namespace {

struct HandlerEntry {
    ButtonId id;
    void (*handler)(Form1&);
};

constexpr std::array<HandlerEntry, kButtonCount> kHandlers{{
    {ButtonId::Binary, &cmdBinary_Click},
    {ButtonId::Draw, &cmdDraw_Click},
    {ButtonId::Check, &cmdCheck_Click},
    {ButtonId::CheckId, &cmdCheck_ID_Click},
    {ButtonId::Up, &Command2_Click},
    {ButtonId::Down, &Command1_Click},
    {ButtonId::Left, &Command4_Click},
    {ButtonId::Right, &Command3_Click},
}};
static_assert(keyed_in_button_order(kHandlers), "one handler per design button, in ButtonId order");

}  // namespace

ClickOutcome click(Form1& form, ButtonId id) {
    ClickOutcome outcome;
    if (!button_of(form, id).Enabled) return outcome;
    outcome.ran = true;
    try {
        kHandlers[static_cast<std::size_t>(id)].handler(form);
    } catch (const RuntimeError& error) {
        outcome.error = error;
    }
    return outcome;
}

}  // namespace idr
