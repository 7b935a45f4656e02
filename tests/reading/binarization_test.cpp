#include "reading/binarization.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reading/box_number.h"
#include "rules/error.h"
#include "rules/floats.h"
#include "rules/text.h"
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

// Point by point as the rules read: three reads of the point, 16-bit
// components and sum, the text converted, the write. The step reads a row's
// colours once; this pins that it comes to the same pictures, captions and
// errors.
struct Outcome {
    Surface surface;
    std::vector<std::string> captions;
    std::string error;
};

Outcome by_the_rules(Form1 form) {
    Outcome out;
    form.on_caption_changed = [&](const std::string& c) { out.captions.push_back(c); };
    PictureBox& pic = form.picRedraw;
    try {
        const Int32 rows_end = round_to_int32(pic.ScaleHeight());
        for (Int32 y = 0; y <= rows_end; y = checked_increment32(y)) {
            const Int32 columns_end = round_to_int32(pic.ScaleWidth());
            for (Int32 x = 0; x <= columns_end; x = checked_increment32(x)) {
                const float fx = static_cast<float>(x), fy = static_cast<float>(y);
                const Int16 red = checked_narrow16(bit_and(pic.Point(fx, fy), 255));
                const Int16 green = checked_narrow16(bit_and(div_trunc(pic.Point(fx, fy), 256), 255));
                const Int16 blue = checked_narrow16(div_trunc(pic.Point(fx, fy), 65536));
                const Int16 sum = checked_add16(checked_add16(red, green), blue);
                const Int16 average = round_to_int16(float_checked(static_cast<double>(sum) / 3.0, "the average brightness"));
                const double threshold = number_in_box(form.txtTreshold, form.decimal_separator);
                pic.PSet(fx, fy, threshold >= static_cast<double>(average) ? rgb(0, 0, 0) : rgb(255, 255, 255));
            }
            const double percent = floor_value(float_checked(static_cast<double>(y) / pic.ScaleHeight() * 100.0, "the progress percentage"));
            form.set_Caption(join(join("Image binary process done  ", double_to_text(percent)), "%"));
        }
    } catch (const RuntimeError& e) {
        out.error = e.message();
    }
    out.surface = form.picRedraw.surface;
    return out;
}

Outcome by_the_step(Form1 form) {
    Outcome out;
    form.on_caption_changed = [&](const std::string& c) { out.captions.push_back(c); };
    try {
        cmdBinary_Click(form);
    } catch (const RuntimeError& e) {
        out.error = e.message();
    }
    out.surface = form.picRedraw.surface;
    return out;
}

TEST(Binarization, SameAsPointByPointOnAnyPicture) {
    std::mt19937 rng(2026);
    // Ordinary colours, and values no loader makes: a negative colour, one
    // past 24 bits, and one whose blue part overflows the 16-bit sum.
    const Int32 odd[] = {kNoPixel, -2, -65536, 0x1000000, 0x12345678, 0x7FFFFFFF};
    const struct {
        int width, height;
        const char* threshold;
        int odd_every;  // 0: ordinary colours only
        Int32 first = kWhite;  // the top-left colour
    } cases[] = {{4, 4, "abc", 0, 0x7FFFFFFF}, {4, 4, "abc", 0, kNoPixel},{262, 362, "35", 0},   {262, 362, "127.5", 0}, {1, 1, "0", 0},     {0, 0, "35", 0},
                 {0, 5, "35", 0},       {5, 0, "35", 0},        {31, 17, "200", 7}, {31, 17, "abc", 0},
                 {31, 17, "1e999", 5},  {9, 9, "-1", 3},        {40, 3, "255", 1}};
    for (const auto& c : cases) {
        Surface s(c.width, c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const bool odd_one = c.odd_every > 0 && rng() % static_cast<unsigned>(c.odd_every) == 0;
                s.set_pixel(x, y, odd_one ? odd[rng() % std::size(odd)] : static_cast<Int32>(rng() & 0xFFFFFF));
            }
        if (c.width > 0 && c.height > 0) s.set_pixel(0, 0, c.first);
        Form1 form(std::move(s));
        form.txtTreshold.Text = c.threshold;
        const Outcome want = by_the_rules(form), got = by_the_step(form);
        const std::string at = std::to_string(c.width) + " x " + std::to_string(c.height) + " at \"" + c.threshold + "\"";
        EXPECT_EQ(got.error, want.error) << at;
        EXPECT_EQ(got.captions, want.captions) << at;
        EXPECT_TRUE(got.surface == want.surface) << at;
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
