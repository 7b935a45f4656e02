// The sampling margin of the embedded sheet with the real handlers: filled
// bubbles must stay well above the default threshold and unfilled ones well
// below, also when the grid is a pixel off or the picture was not binarized.

#include <gtest/gtest.h>

#include "reading/inspection.h"
#include "support.h"

namespace idr {
namespace {

void expect_margin(const Form1& form) {
    const SampleSteps steps = sample_steps(form);
    for (Int16 k = 0; k < 100; ++k) {
        const bool filled = k % 10 == test::kSheetId[k / 10] - '0';
        const int count = count_black_samples(form, k, steps);
        if (filled) {
            EXPECT_TRUE(count >= 10 && count <= 14) << "filled cell " << k << ": " << count;
        } else {
            EXPECT_LE(count, 2) << "cell " << k;
        }
        EXPECT_EQ(form.Cell_Flag(k + 1), filled ? kTrue : kFalse) << k;
    }
    EXPECT_EQ(form.Caption(), "Total unit remain = 10 Unit.");
}

TEST(SheetMargin, HoldsAfterBinarizationWithTheGridOnePixelOff) {
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
        SCOPED_TRACE(testing::Message() << nudge.size() << " nudges, first " << (nudge.empty() ? "-" : cli_name(nudge[0])));
        expect_margin(form);
    }
}

TEST(SheetMargin, HoldsWithoutBinarization) {
    Form1 form;
    test::click_all(form, {ButtonId::Draw, ButtonId::Check});
    expect_margin(form);
}

}  // namespace
}  // namespace idr
