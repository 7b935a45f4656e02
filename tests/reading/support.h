#pragma once
// Shared by the reading tests: fresh models, the embedded sheet's known ID,
// and click sequences.

#include <initializer_list>
#include <string>

#include "form/form1.h"
#include "reading/dispatch.h"
#include "rules/colour.h"
#include "sheet_id.h"

namespace idr::test {

// A model whose picture is `width` x `height` pixels of one colour.
inline Form1 plain_form(int width, int height, Int32 colour = kWhite) { return Form1(Surface(width, height, colour)); }

// Clicks in order; fails the test on a run-time error or a discarded click.
inline void click_all(Form1& form, std::initializer_list<ButtonId> buttons) {
    for (ButtonId id : buttons) {
        const ClickOutcome outcome = click(form, id);
        if (!outcome.ran) throw std::logic_error(std::string(button_design(id).name) + " was disabled");
        if (outcome.error) throw *outcome.error;
    }
}

inline void run_default_clicks(Form1& form) {
    click_all(form, {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId});
}

// Cell k's sample points for 20 x 20 cells: (Left + 2 + 5i, Top + 2 + 5j).
inline void paint_samples(Surface& s, float left, float top, int how_many, Int32 colour = kBlack) {
    for (int n = 0; n < how_many; ++n) {
        s.set_pixel(static_cast<int>(left) + 2 + 5 * (n % 4), static_cast<int>(top) + 2 + 5 * (n / 4), colour);
    }
}

}  // namespace idr::test
