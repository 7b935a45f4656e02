#include "reading/id_reading.h"

#include <gtest/gtest.h>

#include <vector>

#include "support.h"

namespace idr {
namespace {

TEST(IdReading, AppendsTheRowOfEveryMarkedCellInCellOrder) {
    const struct {
        std::vector<int> marked_cells;
        Int16 flag_value;
        const char* before;
        const char* after;
    } cases[] = {
        {{}, kTrue, "typed", "typed"},
        {{5, 10, 29, 33}, kTrue, "", "5093"},
        {{0, 9, 90, 99}, kTrue, "ID ", "ID 0909"},
        {{12, 14}, kTrue, "", "24"},  // two marks in one column: both, in row order
        {{3, 4}, 1, "", ""},          // only True (-1) counts
    };
    for (const auto& c : cases) {
        Form1 form = test::plain_form(1, 1);
        for (int k : c.marked_cells) form.Cell_Flag(k + 1) = c.flag_value;
        form.Student_ID.Text = c.before;
        cmdCheck_ID_Click(form);
        EXPECT_EQ(form.Student_ID.Text, c.after) << c.before;
        EXPECT_EQ(form.Caption(), "Form1");
    }
}

TEST(IdReading, EveryCellMarkedGivesTheDigitsTenTimesOver) {
    Form1 form = test::plain_form(1, 1);
    for (int i = 1; i <= 100; ++i) form.Cell_Flag(i) = kTrue;
    ASSERT_TRUE(click(form, ButtonId::CheckId).ran);
    std::string expected;
    for (int i = 0; i < 10; ++i) expected += "0123456789";
    EXPECT_EQ(form.Student_ID.Text, expected);
}

// The embedded sheet with the real handlers and the default texts.
TEST(Sheet, DefaultClicksReadTheSheetsId) {
    Form1 form;
    test::run_default_clicks(form);
    EXPECT_EQ(form.Caption(), "Total unit remain = 10 Unit.");
    EXPECT_EQ(form.Student_ID.Text, test::kSheetId);
    for (int column = 0; column < 10; ++column) {
        for (int row = 0; row < 10; ++row) {
            const bool filled = row == test::kSheetId[column] - '0';
            EXPECT_EQ(form.Cell_Flag(10 * column + row + 1), filled ? kTrue : kFalse) << column << "," << row;
        }
    }
    test::click_all(form, {ButtonId::CheckId});
    EXPECT_EQ(form.Student_ID.Text, std::string(test::kSheetId) + test::kSheetId);
}

TEST(Sheet, TypedTextStaysInFront) {
    Form1 form;
    form.Student_ID.Text = "ID: ";
    test::click_all(form, {ButtonId::Draw, ButtonId::Check, ButtonId::CheckId});  // discs are pure black already
    EXPECT_EQ(form.Student_ID.Text, std::string("ID: ") + test::kSheetId);
}

}  // namespace
}  // namespace idr
