#include "reading/dispatch.h"

#include <gtest/gtest.h>

#include "support.h"

namespace idr {
namespace {

TEST(Dispatch, ButtonsNamesAndControls) {
    const struct {
        ButtonId id;
        const char* cli;
        const char* control;
    } cases[] = {
        {ButtonId::Binary, "binary", "cmdBinary"}, {ButtonId::Draw, "draw", "cmdDraw"},
        {ButtonId::Check, "check", "cmdCheck"},    {ButtonId::CheckId, "check-id", "cmdCheck_ID"},
        {ButtonId::Up, "up", "Command2"},          {ButtonId::Down, "down", "Command1"},
        {ButtonId::Left, "left", "Command4"},      {ButtonId::Right, "right", "Command3"},
    };
    Form1 form = test::plain_form(1, 1);
    for (const auto& c : cases) {
        EXPECT_EQ(cli_name(c.id), c.cli);
        EXPECT_EQ(button_from_cli_name(c.cli), c.id);
        EXPECT_EQ(button_of(form, c.id).name, c.control);
    }
    for (const char* bad : {"", "Binary", "check_id", "binary ", "up,down"}) EXPECT_FALSE(button_from_cli_name(bad));
}

TEST(Dispatch, DisabledButtonsDiscardTheClick) {
    for (ButtonId id : kAllButtons) {
        Form1 form = test::plain_form(262, 362);
        form.Cell_Flag(1) = kTrue;
        button_of(form, id).enabled = false;
        const Form1 before = form;
        const ClickOutcome outcome = click(form, id);
        EXPECT_FALSE(outcome.ran) << cli_name(id);
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
    EXPECT_TRUE(form.cmdBinary.enabled);
}

}  // namespace
}  // namespace idr
