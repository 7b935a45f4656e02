#include "reading/binarization.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/error.h"
#include "support.h"

namespace idr::test {
namespace {

struct PixelCase {
    Int32 r, g, b;
    const char* threshold;
    const char* separator;
    bool black;
};

TEST(Binarization, BlackExactlyWhenRoundedMeanIsAtMostThreshold) {
    const PixelCase cases[] = {
        {35, 35, 36, "35", ".", true},     {35, 36, 36, "35", ".", false},  // sums 106 and 107
        {35, 35, 35, "35", ".", true},     {36, 36, 36, "35", ".", false},
        {0, 0, 1, "0", ".", true},         {0, 1, 1, "0", ".", false},  // 1/3 -> 0, 2/3 -> 1
        {0, 0, 0, "-1", ".", false},       {255, 255, 255, "255", ".", true},
        {255, 255, 255, "1e6", ".", true}, {0, 0, 255, "35", ".", false},  // pure blue: average 85
        {35, 35, 35, "35,5", ",", true},   {36, 36, 36, "35,5", ",", false},
        {36, 36, 36, "35.5", ".", false},  {35, 35, 35, " 35 ", ".", true},
    };
    for (const PixelCase& c : cases) {
        Form1 form = test::plain_form(1, 1, rgb(c.r, c.g, c.b));
        form.txtTreshold.Text = c.threshold;
        form.decimal_separator = c.separator;
        cmdBinary_Click(form);
        EXPECT_EQ(form.picRedraw.surface.pixel(0, 0), c.black ? kBlack : kWhite)
            << c.r << "," << c.g << "," << c.b << " at \"" << c.threshold << "\"";
    }
}

TEST(Binarization, CaptionAfterEveryRowIncludingThePastRow) {
    Form1 form = test::plain_form(3, 362, rgb(10, 200, 30));
    std::vector<std::string> captions;
    form.on_caption_changed = [&](const std::string& c) { captions.push_back(c); };
    cmdBinary_Click(form);

    ASSERT_EQ(captions.size(), 363u);
    for (int y = 0; y <= 362; ++y) {
        EXPECT_EQ(captions[y], "Image binary process done  " + std::to_string(100 * y / 362) + "%");
    }
    EXPECT_EQ(captions[181], "Image binary process done  50%");
    EXPECT_EQ(form.Caption(), "Image binary process done  100%");
}

TEST(Binarization, DisablesItselfAndTheArrowsOnlyAtTheEnd) {
    Form1 form = test::plain_form(4, 3, rgb(1, 2, 3));
    // Spoil the threshold after row 1: row 2 then fails at its first point.
    form.on_caption_changed = [&](const std::string& c) {
        if (c == "Image binary process done  33%") form.txtTreshold.Text = "";
    };
    EXPECT_EQ(click(form, ButtonId::Binary).error->kind(), ErrorKind::TypeMismatch);
    EXPECT_EQ(form.picRedraw.surface.pixel(3, 1), kBlack);
    EXPECT_EQ(form.picRedraw.surface.pixel(0, 2), rgb(1, 2, 3));
    EXPECT_EQ(form.Caption(), "Image binary process done  33%");
    for (ButtonId id : kAllButtons) EXPECT_TRUE(button_of(form, id).Enabled);

    form.txtTreshold.Text = "35";
    form.on_caption_changed = nullptr;
    ASSERT_TRUE(click(form, ButtonId::Binary).ran);
    for (ButtonId id : kAllButtons) {
        const bool stays = id == ButtonId::Draw || id == ButtonId::Check || id == ButtonId::CheckId;
        EXPECT_EQ(button_of(form, id).Enabled, stays) << button_design(id).name;
    }
}

TEST(Binarization, BadThresholdFailsAtTheFirstPointBeforeAnyWrite) {
    const struct {
        const char* text;
        ErrorKind kind;
    } cases[] = {{"", ErrorKind::TypeMismatch},
                 {"   ", ErrorKind::TypeMismatch},
                 {"abc", ErrorKind::TypeMismatch},
                 {"35abc", ErrorKind::TypeMismatch},
                 {"1e999", ErrorKind::Overflow}};
    for (const auto& c : cases) {
        Form1 form = test::plain_form(5, 4, rgb(9, 9, 9));
        const Surface before = form.picRedraw.surface;
        form.txtTreshold.Text = c.text;
        try {
            cmdBinary_Click(form);
            ADD_FAILURE() << "no error for \"" << c.text << "\"";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.text;
            EXPECT_EQ(e.message().rfind("txtTreshold: ", 0), 0u) << e.message();
        }
        EXPECT_EQ(form.picRedraw.surface, before);
        EXPECT_EQ(form.Caption(), "Form1");
    }
    Form1 form = test::plain_form(1, 1);
    form.txtTreshold.Text = "abc";
    EXPECT_EQ(click(form, ButtonId::Binary).error->message(), "txtTreshold: the text \"abc\" is not a number");
}

// Colours no loader makes still go by the 16-bit rules: a negative blue
// part, one past 24 bits, and a blue part that overflows the sum.
TEST(Binarization, OddColoursFollowTheSixteenBitRules) {
    const struct {
        Int32 colour;
        const char* error;  // "" when none
        Int32 becomes;
    } cases[] = {
        {-65536, "", kBlack},            // 0 + 0 + (-1): the mean rounds to -0
        {0x1000000, "", kWhite},         // blue 256: mean 85
        {-2, "", kWhite},                // red 254, green and blue 0: mean 85
        {0x7FFFFFFF, "16-bit addition 510 + 32767 overflows", 0x7FFFFFFF},
    };
    for (const auto& c : cases) {
        Form1 form = plain_form(2, 1, c.colour);
        std::string error;
        try {
            cmdBinary_Click(form);
        } catch (const RuntimeError& e) {
            error = e.message();
        }
        EXPECT_EQ(error, c.error) << c.colour;
        EXPECT_EQ(form.picRedraw.surface.pixel(0, 0), c.becomes) << c.colour;
    }
}

// The caption's observer may change the box and the picture between rows:
// every row sees them as they are then.
TEST(Binarization, EachRowSeesTheBoxAndPictureAsTheCaptionLeftThem) {
    auto observer_for = [](Form1& form) {
        return [&form](const std::string& c) {
            if (c == "Image binary process done  25%") form.txtTreshold.Text = "250";
            if (c == "Image binary process done  50%") form.picRedraw.surface.set_pixel(2, 3, 0x7FFFFFFF);
        };
    };
    Form1 a = plain_form(3, 4, rgb(100, 100, 100));
    a.txtTreshold.Text = "35";
    a.on_caption_changed = observer_for(a);
    try {
        cmdBinary_Click(a);
        ADD_FAILURE() << "the overflowing colour gave no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
    }
    EXPECT_EQ(a.picRedraw.surface.pixel(0, 1), kWhite);  // rows 0 and 1 at 35
    EXPECT_EQ(a.picRedraw.surface.pixel(0, 2), kBlack);  // row 2 at 250
    EXPECT_EQ(a.picRedraw.surface.pixel(1, 3), kBlack);  // row 3 up to the odd colour
    EXPECT_EQ(a.picRedraw.surface.pixel(2, 3), 0x7FFFFFFF);
}

}  // namespace
}  // namespace idr::test
