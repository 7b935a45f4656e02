#include "reading/dispatch.h"

#include <gtest/gtest.h>

#include "support.h"

namespace idr::test {
namespace {

TEST(Dispatch, EachButtonIdIsItsControlAndItsDesignRow) {
    const struct {
        ButtonId id;
        const char* control;
    } cases[] = {
        {ButtonId::Binary, "cmdBinary"}, {ButtonId::Draw, "cmdDraw"},   {ButtonId::Check, "cmdCheck"},
        {ButtonId::CheckId, "cmdCheck_ID"}, {ButtonId::Up, "Command2"}, {ButtonId::Down, "Command1"},
        {ButtonId::Left, "Command4"},    {ButtonId::Right, "Command3"},
    };
    ASSERT_EQ(std::size(cases), kAllButtons.size());
    Form1 form = test::plain_form(1, 1);
    for (const auto& c : cases) {
        EXPECT_EQ(button_of(form, c.id).name, c.control);
        EXPECT_EQ(button_design(c.id).name, c.control);
        EXPECT_EQ(form.button(c.control), &button_of(form, c.id));
    }
    // The members themselves, so a swapped row in the member table shows.
    EXPECT_EQ(&button_of(form, ButtonId::Binary), &form.cmdBinary);
    EXPECT_EQ(&button_of(form, ButtonId::Up), &form.Command2);
    EXPECT_EQ(&button_of(form, ButtonId::Right), &form.Command3);
}

TEST(Dispatch, DisabledButtonsDiscardTheClick) {
    for (ButtonId id : kAllButtons) {
        Form1 form = test::plain_form(262, 362);
        form.Cell_Flag(1) = kTrue;
        button_of(form, id).Enabled = false;
        const Form1 before = form;
        const ClickOutcome outcome = click(form, id);
        EXPECT_FALSE(outcome.ran) << button_design(id).name;
        EXPECT_FALSE(outcome.error);
        EXPECT_EQ(form.Student_ID.Text, before.Student_ID.Text);
        EXPECT_EQ(form.Shape1.elements(), before.Shape1.elements());
        EXPECT_EQ(form.picRedraw.surface, before.picRedraw.surface);
    }
}

TEST(Dispatch, ARunTimeErrorIsReturnedAndTheButtonStaysUsable) {
    Form1 form = test::plain_form(2, 2);
    form.txtTreshold.Text = "thirty-five";
    const ClickOutcome outcome = click(form, ButtonId::Binary);
    ASSERT_TRUE(outcome.ran);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->kind(), ErrorKind::TypeMismatch);
    EXPECT_TRUE(form.cmdBinary.Enabled);
}

}  // namespace
}  // namespace idr::test
