#include "reading/id_reading.h"

#include <gtest/gtest.h>

#include <vector>

#include "support.h"

namespace idr::test {
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

}  // namespace
}  // namespace idr::test
