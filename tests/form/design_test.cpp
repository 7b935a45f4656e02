#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "form/design.h"

namespace idr::test {
namespace {

struct Expected {
    std::string_view name;
    ControlKind kind;
    std::string_view container;
    std::string_view text;
    Rect pixels;
    int tab_index;  // -1: none
};

// The layout as it appears on screen, in creation order.
const Expected kExpected[] = {
    {"cmdDraw", ControlKind::Button, "Form1", "2. Draw grid                   ", {288, 88, 129, 25}, 12},
    {"Command4", ControlKind::Button, "Form1", "Left", {288, 216, 41, 25}, 11},
    {"Command2", ControlKind::Button, "Form1", "Up", {328, 184, 41, 25}, 10},
    {"Command1", ControlKind::Button, "Form1", "Down", {328, 248, 41, 25}, 9},
    {"Command3", ControlKind::Button, "Form1", "Right", {368, 216, 41, 25}, 8},
    {"cmdCheck_ID", ControlKind::Button, "Form1", "4. Check ID                    ", {288, 152, 129, 25}, 7},
    {"cmdCheck", ControlKind::Button, "Form1", "3. Check  object", {288, 120, 89, 25}, 6},
    {"txtBlack_Pixels", ControlKind::TextBox, "Form1", "8", {384, 120, 33, 25}, 5},
    {"cmdBinary", ControlKind::Button, "Form1", "1. Binary           ", {288, 56, 89, 25}, 4},
    {"txtTreshold", ControlKind::TextBox, "Form1", "35", {384, 56, 33, 25}, 3},
    {"Student_ID", ControlKind::TextBox, "Form1", "", {288, 24, 129, 25}, 2},
    {"picRedraw", ControlKind::PictureBox, "Form1", "", {8, 8, 266, 366}, 0},
    {"Shape1", ControlKind::Shape, "picRedraw", "", {8, 109, 20, 20}, -1},
    {"Label1", ControlKind::Label, "Form1",
     "\xE0\xB8\xAB\xE0\xB8\xA1\xE0\xB8\xB2\xE0\xB8\xA2\xE0\xB9\x80\xE0\xB8\xA5\xE0\xB8\x82"
     "\xE0\xB8\x9B\xE0\xB8\xA3\xE0\xB8\xB0\xE0\xB8\x88\xE0\xB8\xB3\xE0\xB8\x95\xE0\xB8\xB1"
     "\xE0\xB8\xA7\xE0\xB8\x97\xE0\xB8\xB5\xE0\xB9\x88\xE0\xB8\xAD\xE0\xB9\x88\xE0\xB8\xB2"
     "\xE0\xB8\x99\xE0\xB9\x84\xE0\xB8\x94\xE0\xB9\x89",
     {288, 8, 137, 17}, 1},
};

TEST(Design, FourteenControlsInCreationOrderWithExactValues) {
    const auto controls = control_designs();
    ASSERT_EQ(controls.size(), std::size(kExpected));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlDesign& c = controls[i];
        const Expected& e = kExpected[i];
        SCOPED_TRACE(std::string(e.name));
        EXPECT_EQ(c.name, e.name);
        EXPECT_EQ(c.kind, e.kind);
        EXPECT_EQ(c.container, e.container);
        EXPECT_EQ(c.text, e.text);
        EXPECT_EQ(c.pixels, e.pixels);
        EXPECT_EQ(c.tab_index.value_or(-1), e.tab_index);
    }
}

TEST(Design, TwipsAreFifteenTimesPixelsEverywhere) {
    const auto check = [](const Rect& twips, const Rect& pixels, std::string_view name) {
        EXPECT_EQ(twips.left, kTwipsPerPixel * pixels.left) << name;
        EXPECT_EQ(twips.top, kTwipsPerPixel * pixels.top) << name;
        EXPECT_EQ(twips.width, kTwipsPerPixel * pixels.width) << name;
        EXPECT_EQ(twips.height, kTwipsPerPixel * pixels.height) << name;
    };
    for (const ControlDesign& c : control_designs()) check(c.twips, c.pixels, c.name);
    check(window_design().client_twips, window_design().client_pixels, "Form1");
}

TEST(Design, CaptionLengthsCountTheBlanks) {
    // Lengths in characters (all ASCII here), and the Thai label's 75 bytes.
    const struct {
        std::string_view name;
        std::size_t length;
    } cases[] = {{"cmdBinary", 20}, {"cmdDraw", 31}, {"cmdCheck_ID", 31}, {"cmdCheck", 16}, {"Label1", 75}};
    for (const auto& c : cases) EXPECT_EQ(control_design(c.name).text.size(), c.length) << c.name;
}

TEST(Design, TabIndexesAreUniqueAndCoverZeroToTwelve) {
    std::set<int> seen;
    int without = 0;
    for (const ControlDesign& c : control_designs()) {
        if (!c.tab_index) {
            ++without;
            EXPECT_EQ(c.kind, ControlKind::Shape) << c.name;
            continue;
        }
        EXPECT_TRUE(seen.insert(*c.tab_index).second) << "duplicate " << *c.tab_index;
    }
    EXPECT_EQ(without, 1);
    ASSERT_EQ(seen.size(), 13u);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 12);
}

TEST(Design, WindowValues) {
    const WindowDesign& w = window_design();
    EXPECT_EQ(w.name, "Form1");
    EXPECT_EQ(w.caption, "Form1");
    EXPECT_EQ(w.client_twips, (Rect{315, 1830, 6300, 5760}));
    EXPECT_EQ(w.client_pixels, (Rect{21, 122, 420, 384}));
}

TEST(Design, EveryControlFitsTheClientAreaExceptTheClippedLabel) {
    const Rect client = window_design().client_pixels;
    for (const ControlDesign& c : control_designs()) {
        if (c.container != "Form1") continue;
        const int right = c.pixels.left + c.pixels.width;
        const int bottom = c.pixels.top + c.pixels.height;
        EXPECT_LE(bottom, client.height) << c.name;
        EXPECT_EQ(right <= client.width, c.name != "Label1") << c.name << " right edge " << right;
    }
}

TEST(Design, LookUpByName) {
    for (const ControlDesign& c : control_designs()) EXPECT_EQ(&control_design(c.name), &c);
}

}  // namespace
}  // namespace idr::test
