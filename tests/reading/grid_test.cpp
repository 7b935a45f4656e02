#include "reading/grid.h"

#include <gtest/gtest.h>

#include "reading/positioning.h"
#include "support.h"

namespace idr::test {
namespace {

using test::plain_form;

TEST(Positioning, OneUnitPerClickWithoutBounds) {
    const struct {
        ButtonId button;
        float dx, dy;
    } cases[] = {{ButtonId::Up, 0, -1}, {ButtonId::Down, 0, 1}, {ButtonId::Left, -1, 0}, {ButtonId::Right, 1, 0}};
    for (const auto& c : cases) {
        Form1 form = plain_form(2, 2);
        form.Shape1(0).Left = 0;
        form.Shape1(0).Top = 0;
        const ShapeElement before = form.Shape1(0);
        ASSERT_TRUE(click(form, c.button).ran);
        ASSERT_TRUE(click(form, c.button).ran);
        ShapeElement expected = before;
        expected.Left += 2 * c.dx;
        expected.Top += 2 * c.dy;
        EXPECT_EQ(form.Shape1(0), expected) << button_design(c.button).name;
    }
}

TEST(Positioning, OppositeMovesAreExactInverses) {
    Form1 form = plain_form(2, 2);
    const ShapeElement start = form.Shape1(0);
    test::click_all(form, {ButtonId::Left, ButtonId::Up, ButtonId::Right, ButtonId::Down});
    EXPECT_EQ(form.Shape1(0), start);
}

void expect_grid_at(const Form1& form, float left, float top) {
    ASSERT_EQ(form.Shape1.count(), 100);
    EXPECT_FALSE(form.Shape1.exists(100));
    for (Int16 k = 0; k < 100; ++k) {
        const ShapeElement& cell = form.Shape1(k);
        EXPECT_EQ(cell.Left, left + 25 * (k / 10)) << k;
        EXPECT_EQ(cell.Top, top + 25 * (k % 10)) << k;
        EXPECT_EQ(cell.Width, 20);
        EXPECT_EQ(cell.Height, 20);
        EXPECT_TRUE(cell.Visible);
        EXPECT_EQ(cell.FillStyle, kStylePlain);
    }
}

TEST(Grid, FollowsTheTemplateWhereverItWasMoved) {
    const struct {
        int right, down;
    } moves[] = {{0, 0}, {3, -2}, {-8, 10}, {300, 400}};
    for (const auto& m : moves) {
        Form1 form = plain_form(262, 362);
        for (int i = 0; i < std::abs(m.right); ++i) click(form, m.right > 0 ? ButtonId::Right : ButtonId::Left);
        for (int i = 0; i < std::abs(m.down); ++i) click(form, m.down > 0 ? ButtonId::Down : ButtonId::Up);
        ASSERT_TRUE(click(form, ButtonId::Draw).ran);
        SCOPED_TRACE(testing::Message() << "moved " << m.right << "," << m.down);
        expect_grid_at(form, 8.0f + m.right, 109.0f + m.down);
        EXPECT_FALSE(form.cmdDraw.Enabled);
        EXPECT_TRUE(form.cmdBinary.Enabled && form.Command1.Enabled && form.cmdCheck.Enabled);
    }
}

TEST(Grid, MovesAfterTheGridShiftCellZeroOnly) {
    Form1 form = plain_form(262, 362);
    test::click_all(form, {ButtonId::Draw, ButtonId::Right, ButtonId::Right, ButtonId::Right, ButtonId::Down});
    EXPECT_EQ(form.Shape1(0).Left, 11);
    EXPECT_EQ(form.Shape1(0).Top, 110);
    EXPECT_EQ(form.Shape1(1).Left, 8);
    EXPECT_EQ(form.Shape1(1).Top, 134);
    EXPECT_FALSE(click(form, ButtonId::Draw).ran);
}

TEST(Grid, CellZeroKeepsItsStyleAndNewCellsCopyItsColours) {
    Form1 form = plain_form(262, 362);
    form.Shape1(0).FillStyle = kStyleMarked;
    form.Shape1(0).FillColor = kGreen;
    form.Shape1(0).Visible = false;
    cmdDraw_Click(form);
    EXPECT_EQ(form.Shape1(0).FillStyle, kStyleMarked);
    EXPECT_TRUE(form.Shape1(0).Visible);
    EXPECT_EQ(form.Shape1(57).FillColor, kGreen);
    EXPECT_EQ(form.Shape1(57).BorderColor, kBlue);
    EXPECT_EQ(form.Shape1(57).FillStyle, kStylePlain);
}

}  // namespace
}  // namespace idr::test
