// The figures the sheet gives the reader, each through the real handlers:
// binarization counts, the cells marked at every binarization threshold,
// the sampling margin wherever the grid is, the black-sample thresholds, and
// the ID read with and without binarization.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "reading/dispatch.h"
#include "reading/id_reading.h"
#include "reading/positioning.h"
#include "tests/sheet/sheet_support.h"

namespace idr::test {
namespace {


int black_pixels(const Form1& form) {
    const auto& px = form.picRedraw.surface.pixels();
    return static_cast<int>(std::count(px.begin(), px.end(), kBlack));
}

TEST(SheetReading, BinarizationLeavesTheSheetsCounts) {
    struct Case {
        const char* threshold;
        int black;
    };
    const Case cases[] = {{"35", 8537}, {"0", 3707}, {"254", 69038}, {"255", 94844}, {"-1", 0}};
    for (const Case& c : cases) {
        const Form1& form = binarized(c.threshold);
        EXPECT_EQ(black_pixels(form), c.black) << "threshold " << c.threshold;
        const auto& px = form.picRedraw.surface.pixels();
        EXPECT_EQ(std::count(px.begin(), px.end(), kWhite), 94844 - c.black) << "threshold " << c.threshold;
    }
}

// Marked cells after binarization with threshold t and the default "8".
std::set<int> marked_after(int t) { return marked_cells(inspected(binarized(std::to_string(t)))); }

TEST(SheetReading, MarkedCellsAcrossBinarizationThresholds) {
    // Every threshold in the normal build; under ASan the boundaries and a
    // few between them.
    std::vector<int> thresholds;
    if (sanitized()) thresholds = {0, 1, 35, 36, 100, 157, 158, 159, 200, 247, 248, 255};
    else
        for (int t = 0; t <= 255; ++t) thresholds.push_back(t);

    std::set<int> previous;
    for (int t : thresholds) {
        SCOPED_TRACE("threshold " + std::to_string(t));
        const std::set<int> marked = marked_after(t);
        if (t <= 157) {
            EXPECT_EQ(marked, id_cells());
        } else if (t == 158) {
            EXPECT_EQ(marked.size(), 15u);
        } else if (t == 247) {
            EXPECT_LT(marked.size(), 100u);
        } else if (t >= 248) {
            EXPECT_EQ(marked.size(), 100u);
        }
        // Never fewer at a higher threshold: the marks only grow.
        EXPECT_TRUE(std::includes(marked.begin(), marked.end(), previous.begin(), previous.end()));
        previous = marked;
    }
}

TEST(SheetReading, NegativeThresholdsMarkNothing) {
    for (const char* t : {"-1", "-0.5", "-200"}) {
        const Form1 form = inspected(binarized(t));
        EXPECT_TRUE(marked_cells(form).empty()) << "threshold " << t;
        EXPECT_EQ(form.Caption(), caption_for(0)) << "threshold " << t;
    }
}

// The sampling margin: at the design place, after binarization, a filled
// bubble gives 10 to 14 black samples of 16 and any other cell at most 2, so
// the default threshold of 8 is far from both. The same ten cells are marked
// when the grid is a pixel off in any direction, and without binarization.
TEST(SheetReading, SamplingMarginAndTheSameMarksWhereverTheGridIs) {
    struct Case {
        const char* name;
        std::vector<ButtonId> nudges;
        bool binarize;
    };
    const Case cases[] = {
        {"design place", {}, true},
        {"up", {ButtonId::Up}, true},
        {"down", {ButtonId::Down}, true},
        {"left", {ButtonId::Left}, true},
        {"right", {ButtonId::Right}, true},
        {"up-left", {ButtonId::Up, ButtonId::Left}, true},
        {"up-right", {ButtonId::Up, ButtonId::Right}, true},
        {"down-left", {ButtonId::Down, ButtonId::Left}, true},
        {"down-right", {ButtonId::Down, ButtonId::Right}, true},
        {"not binarized", {}, false},
    };
    const std::set<int> filled = id_cells();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form1 form = fresh_form();
        // The arrows move the template only before "1. Binary"; the binarized
        // pixels are copied in afterwards.
        for (ButtonId id : c.nudges) ASSERT_TRUE(click(form, id).ran);
        if (c.binarize) form.picRedraw = binarized("35").picRedraw;
        form = inspected(std::move(form));
        EXPECT_EQ(marked_cells(form), filled);
        EXPECT_EQ(form.Caption(), caption_for(10));
        if (!c.nudges.empty() || !c.binarize) continue;

        const SampleSteps steps = sample_steps(form);
        int tens = 0, elevens = 0, fourteens = 0, unmarked_with_black = 0;
        for (int k = 0; k < 100; ++k) {
            const int n = count_black_samples(form, static_cast<Int16>(k), steps);
            if (filled.count(k)) {
                EXPECT_GE(n, 10) << "cell " << k;
                EXPECT_LE(n, 14) << "cell " << k;
                tens += n == 10, elevens += n == 11, fourteens += n == 14;
            } else {
                EXPECT_LE(n, 2) << "cell " << k;
                unmarked_with_black += n > 0;
            }
        }
        EXPECT_EQ(tens, 1);
        EXPECT_EQ(elevens, 0);
        EXPECT_GE(fourteens, 1);
        EXPECT_EQ(unmarked_with_black, 47);
    }
}

TEST(SheetReading, BlackSampleThresholds) {
    struct Case {
        const char* text;
        int marked;
        bool id_cells_only;  // exactly the ten cells of the ID
    };
    const Case cases[] = {
        {"2", 10, true},  {"3", 10, true},   {"4", 10, true},   {"5", 10, true},  {"6", 10, true},
        {"7", 10, true},  {"8", 10, true},   {"9", 10, true},   {" 8 ", 10, true}, {"8.5", 10, true},
        {"10", 9, false}, {"11", 9, false},  {"0", 57, false},  {"14", 0, false}, {"15", 0, false},
        {"16", 0, false}, {"100", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("txtBlack_Pixels \"") + c.text + "\"");
        const Form1 form = inspected(binarized("35"), c.text);
        const std::set<int> marked = marked_cells(form);
        EXPECT_EQ(marked.size(), static_cast<std::size_t>(c.marked));
        EXPECT_EQ(form.Caption(), caption_for(c.marked));
        if (c.id_cells_only) {
            EXPECT_EQ(marked, id_cells());
        }
        // Ten marks or fewer: every one of them is an ID cell.
        if (c.marked <= 10) {
            for (int k : marked) EXPECT_TRUE(id_cells().count(k)) << "cell " << k;
        }
    }
}

// "4. Check ID" on the sheet: one digit per marked cell, after whatever was
// typed, and again on a second click.
TEST(SheetReading, TheButtonsReadTheId) {
    const std::vector<ButtonId> four = {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId};
    const std::vector<ButtonId> no_binary = {ButtonId::Draw, ButtonId::Check, ButtonId::CheckId};
    const std::string id(kSheetId);
    struct Case {
        const char* name;
        std::vector<ButtonId> clicks;
        std::string typed, expected;
        int black_pixels;  // -1: not checked
    };
    const Case cases[] = {
        {"the four buttons", four, "", id, 8537},
        {"the four buttons, then 4. Check ID again",
         {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId, ButtonId::CheckId}, "", id + id, -1},
        // The discs are pure black already, so binarizing is not needed.
        {"without 1. Binary", no_binary, "", id, -1},
        {"typed text stays in front", no_binary, "ID: ", "ID: " + id, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form1 form = fresh_form();
        form.Student_ID.Text = c.typed;
        for (ButtonId b : c.clicks) {
            const ClickOutcome out = click(form, b);
            ASSERT_TRUE(out.ran);
            ASSERT_FALSE(out.error) << out.error->report();
        }
        EXPECT_EQ(form.Caption(), caption_for(10));
        EXPECT_EQ(marked_cells(form), id_cells());
        EXPECT_EQ(form.Student_ID.Text, c.expected);
        if (c.black_pixels >= 0) {
            EXPECT_EQ(black_pixels(form), c.black_pixels);
        }
    }
}

}  // namespace
}  // namespace idr::test
