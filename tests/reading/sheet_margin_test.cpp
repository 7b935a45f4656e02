// The embedded sheet with the real handlers: at the design place the filled
// bubbles stay well above the default black-sample threshold and unfilled
// ones well below; the same ten cells are marked when the grid is a pixel off
// or the picture was not binarized.

#include <gtest/gtest.h>

#include "reading/cell_check.h"
#include "support.h"

namespace idr {
namespace {

// The ten filled cells marked and no other; with `margin`, also the black
// sample counts: 10 to 14 in a filled cell, at most 2 in any other.
void expect_sheet_marks(const Form1& form, bool margin) {
    const SampleSteps steps = sample_steps(form);
    for (Int16 k = 0; k < 100; ++k) {
        const bool filled = k % 10 == test::kSheetId[k / 10] - '0';
        const int count = count_black_samples(form, k, steps);
        if (margin && filled) {
            EXPECT_TRUE(count >= 10 && count <= 14) << "filled cell " << k << ": " << count;
        } else if (margin) {
            EXPECT_LE(count, 2) << "cell " << k;
        }
        EXPECT_EQ(form.Cell_Flag(k + 1), filled ? kTrue : kFalse) << k;
    }
    EXPECT_EQ(form.Caption(), "Total unit remain = 10 Unit.");
}

TEST(SheetMargin, HoldsAfterBinarizationAndTheGridMayBeOnePixelOff) {
    const std::vector<ButtonId> nudges[] = {
        {},
        {ButtonId::Right},
        {ButtonId::Left},
        {ButtonId::Up},
        {ButtonId::Down},
        {ButtonId::Up, ButtonId::Left},
        {ButtonId::Down, ButtonId::Right},
        {ButtonId::Up, ButtonId::Right},
        {ButtonId::Down, ButtonId::Left},
    };
    // One binarized picture, copied for every placement of the grid.
    Form1 binarized;
    test::click_all(binarized, {ButtonId::Binary});
    for (const auto& nudge : nudges) {
        Form1 form;
        for (ButtonId id : nudge) test::click_all(form, {id});
        form.picRedraw = binarized.picRedraw;
        test::click_all(form, {ButtonId::Draw, ButtonId::Check});
        SCOPED_TRACE(testing::Message() << nudge.size() << " nudges, first " << (nudge.empty() ? "-" : button_design(nudge[0]).name));
        expect_sheet_marks(form, nudge.empty());
    }
}

TEST(SheetMargin, SameMarksWithoutBinarization) {
    Form1 form;
    test::click_all(form, {ButtonId::Draw, ButtonId::Check});
    expect_sheet_marks(form, false);
}

}  // namespace
}  // namespace idr
