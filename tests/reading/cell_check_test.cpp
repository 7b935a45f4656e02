#include "reading/cell_check.h"

#include <gtest/gtest.h>

#include <optional>

#include "reading/grid.h"
#include "rules/error.h"
#include "support.h"

namespace idr::test {
namespace {

using test::paint_samples;
using test::plain_form;

// A white sheet-sized model with its grid drawn and `samples` of cell
// `cell`'s sample points painted black.
Form1 gridded_form(Int16 cell, int samples) {
    Form1 form = plain_form(262, 362);
    cmdDraw_Click(form);
    paint_samples(form.picRedraw.surface, form.Shape1(cell).Left, form.Shape1(cell).Top, samples);
    return form;
}

TEST(Inspection, MarksCellsWithMoreBlackSamplesThanTheThreshold) {
    const struct {
        int samples;
        const char* threshold;
        const char* separator;
        bool marked;
    } cases[] = {
        {9, "8", ".", true},       {8, "8", ".", false},  {16, "15", ".", true}, {16, "16", ".", false},
        {9, "8.5", ".", true},     {8, "8,5", ",", false}, {1, "0", ".", true},  {0, "-1", ".", true},
        {0, "0", ".", false},
    };
    for (const auto& c : cases) {
        Form1 form = gridded_form(42, c.samples);
        form.txtBlack_Pixels.Text = c.threshold;
        form.decimal_separator = c.separator;
        cmdCheck_Click(form);
        SCOPED_TRACE(testing::Message() << c.samples << " samples, threshold " << c.threshold);
        EXPECT_EQ(form.Cell_Flag(43), c.marked ? kTrue : kFalse);
        EXPECT_EQ(form.Shape1(42).FillStyle, c.marked ? kStyleMarked : kStylePlain);
        const int all = std::string(c.threshold) == "-1" ? 100 : c.marked;
        EXPECT_EQ(form.Caption(), "Total unit remain = " + std::to_string(all) + " Unit.");
    }
}

TEST(Inspection, SamplesOnlyPureBlackOnTheInclusiveLattice) {
    // Template size -> samples per cell on an all-black picture: the offsets
    // run from step/2 in steps of size/4 while they do not exceed the size.
    const struct {
        float size;
        int samples;
    } cases[] = {{20, 16}, {21, 16}, {22, 25}, {23, 25}, {4, 25}, {8, 16}};
    for (const auto& c : cases) {
        Form1 form = plain_form(262, 362, kBlack);
        form.Shape1(0).Width = form.Shape1(0).Height = c.size;
        EXPECT_EQ(count_black_samples(form, 0, sample_steps(form)), c.samples) << c.size;
    }

    Form1 form = plain_form(262, 362);
    Surface& s = form.picRedraw.surface;
    paint_samples(s, 8, 109, 16, 0x010000);  // dark, but not pure black
    s.set_pixel(8 + 1, 109 + 2, kBlack);     // between sample columns
    s.set_pixel(8 + 22, 109 + 2, kBlack);    // past the last sample column
    s.set_pixel(8 + 17, 109 + 17, kBlack);   // the last sample point
    EXPECT_EQ(count_black_samples(form, 0, sample_steps(form)), 1);

    Form1 outside = plain_form(262, 362, kBlack);
    outside.Shape1(0).Left = -20;
    EXPECT_EQ(count_black_samples(outside, 0, {5, 5}), 0);  // outside, Point gives kNoPixel
}

TEST(Inspection, BeforeTheGridFailsOnCellOneAfterFlaggingCellZero) {
    Form1 form = plain_form(262, 362);
    paint_samples(form.picRedraw.surface, 8, 109, 16);
    form.Cell_Flag(2) = kTrue;
    const ClickOutcome outcome = click(form, ButtonId::Check);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->kind(), ErrorKind::MissingElement);
    EXPECT_EQ(outcome.error->message(), "Shape1(1) does not exist; \"2. Draw grid\" creates the cells");
    EXPECT_EQ(form.Cell_Flag(1), kTrue);
    EXPECT_EQ(form.Shape1(0).FillStyle, kStyleMarked);
    EXPECT_EQ(form.Cell_Flag(2), kFalse);
    EXPECT_EQ(form.Caption(), "Form1");
}

TEST(Inspection, RunsAgainFromScratchAndUnmarkedCellsKeepTheirFill) {
    Form1 form = gridded_form(7, 12);
    cmdCheck_Click(form);
    ASSERT_EQ(form.Cell_Flag(8), kTrue);
    EXPECT_EQ(form.Shape1(7).FillColor, kGreen);

    form.txtBlack_Pixels.Text = "12";
    cmdCheck_Click(form);
    EXPECT_EQ(form.Cell_Flag(8), kFalse);
    EXPECT_EQ(form.Shape1(7).FillStyle, kStylePlain);
    EXPECT_EQ(form.Shape1(7).FillColor, kGreen);
    EXPECT_EQ(form.Shape1(7).BorderColor, kBlue);
    EXPECT_EQ(form.Caption(), "Total unit remain = 0 Unit.");
}

TEST(Inspection, StopsAtTheFailingCell) {
    // Cell 5 is moved towards the end of the 16-bit range; the sample loop's
    // checked additions decide whether it can still be inspected.
    const struct {
        const char* threshold;
        float left;
        std::optional<ErrorKind> error;
    } cases[] = {
        {"8", 32745, std::nullopt},          // last sample column 32762, next 32767: still fits
        {"8", 32746, ErrorKind::Overflow},   // 32763 + 5 overflows
        {"8", 40000, ErrorKind::Overflow},   // right edge beyond 16 bits
        {"x", 33, ErrorKind::TypeMismatch},  // threshold read after cell 0's samples
    };
    for (const auto& c : cases) {
        Form1 form = gridded_form(0, 16);
        form.txtBlack_Pixels.Text = c.threshold;
        form.Shape1(5).Left = c.left;
        form.Cell_Flag(6) = kTrue;
        const ClickOutcome outcome = click(form, ButtonId::Check);
        ASSERT_EQ(outcome.error.has_value(), c.error.has_value()) << c.left;
        if (!c.error) continue;
        EXPECT_EQ(outcome.error->kind(), *c.error);
        const bool reached_cell_5 = *c.error == ErrorKind::Overflow;
        EXPECT_EQ(form.Cell_Flag(1), reached_cell_5 ? kTrue : kFalse);
        EXPECT_EQ(form.Cell_Flag(6), reached_cell_5 ? kFalse : kTrue);
        EXPECT_EQ(form.Caption(), "Form1");
    }
}

// The threshold text is converted for each cell after that cell's flag and
// style are reset and its samples counted. With letters in the box the first
// conversion fails: cell 0, marked by an earlier run, is left unmarked, and a
// cell 0 whose samples cannot be counted fails on that first.
TEST(Inspection, LettersStopTheRunAfterCellZeroIsResetAndCounted) {
    const struct {
        const char* name;
        float left;  // cell 0's Left
        ErrorKind error;
    } cases[] = {
        {"cell 0 in place", 8, ErrorKind::TypeMismatch},
        {"cell 0 beyond 16-bit columns", 40000, ErrorKind::Overflow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Form1 form = gridded_form(0, 16);
        cmdCheck_Click(form);
        ASSERT_EQ(form.Cell_Flag(1), kTrue);
        ASSERT_EQ(form.Shape1(0).FillStyle, kStyleMarked);
        form.Cell_Flag(2) = kTrue;  // cell 1 must not be reached
        form.Shape1(0).Left = c.left;
        form.txtBlack_Pixels.Text = "abc";
        const ClickOutcome outcome = click(form, ButtonId::Check);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->kind(), c.error);
        EXPECT_EQ(form.Cell_Flag(1), kFalse);
        EXPECT_EQ(form.Shape1(0).FillStyle, kStylePlain);
        EXPECT_EQ(form.Cell_Flag(2), kTrue);
        EXPECT_EQ(form.Caption(), "Total unit remain = 1 Unit.");  // from the first run
    }
}

}  // namespace
}  // namespace idr::test
