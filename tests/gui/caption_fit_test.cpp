// Readability at the design sizes: every visible word of every caption lies
// inside its button in the window's font, with the stored trailing blanks
// still pushing the words left, and the Thai label is not cut.

#include <QLabel>

#include <cstdlib>

#include "window_fixture.h"

namespace idr::test {
namespace {

// Pixels at each side of a button that belong to its bevel, not its face.
constexpr int kBevel = 2;

// The columns a caption's ink covers in the button as drawn: the button is
// grabbed with the caption and without it, and the columns that differ are
// the caption's. {-1, -1} when nothing was drawn.
struct Ink {
    int first = -1, last = -1;
};

Ink caption_ink(CaptionButton* button, const QString& caption) {
    const QString stored = button->text();
    button->setText(caption);
    const QImage with = button->grab().toImage();
    button->setText(QString());
    const QImage without = button->grab().toImage();
    button->setText(stored);
    Ink ink;
    for (int x = 0; x < with.width(); ++x) {
        for (int y = 0; y < with.height(); ++y) {
            if (with.pixel(x, y) == without.pixel(x, y)) continue;
            if (ink.first < 0) ink.first = x;
            ink.last = x;
            break;
        }
    }
    return ink;
}

TEST_F(WindowTest, EveryCaptionsWordsLieInsideItsButton) {
    for (ButtonId id : kAllButtons) {
        CaptionButton* b = button(id);
        SCOPED_TRACE(b->text().toStdString());
        const Ink ink = caption_ink(b, b->text());
        ASSERT_GE(ink.first, 0) << "no caption drawn";
        EXPECT_GE(ink.first, kBevel);
        EXPECT_LE(ink.last, b->width() - 1 - kBevel);
        // Every word is there: the drawn caption is as wide as the words
        // (within a pixel of sub-pixel placement).
        const Ink words = caption_ink(b, b->text().trimmed());
        EXPECT_NEAR(ink.last - ink.first, words.last - words.first, 1);
    }
}

// A caption is centred as stored: trailing blanks count, so the words of
// "1. Binary           " sit left of where the bare words would sit, by
// half the blanks' width; captions without blanks are centred.
TEST_F(WindowTest, TrailingBlanksPushTheWordsLeftAsStored) {
    struct Case {
        ButtonId id;
        int min_push;  // pixels left of the bare words' place; 0: none
    };
    const Case cases[] = {
        {ButtonId::Binary, 10}, {ButtonId::Draw, 20}, {ButtonId::CheckId, 20}, {ButtonId::Check, 0},
        {ButtonId::Up, 0},      {ButtonId::Left, 0},  {ButtonId::Right, 0},     {ButtonId::Down, 0},
    };
    for (const Case& c : cases) {
        CaptionButton* b = button(c.id);
        SCOPED_TRACE(b->text().toStdString());
        const Ink stored = caption_ink(b, b->text());
        const Ink bare = caption_ink(b, b->text().trimmed());
        const int push = bare.first - stored.first;
        if (c.min_push > 0) {
            EXPECT_GE(push, c.min_push);
        } else {
            EXPECT_EQ(push, 0);
            const int left_margin = stored.first;
            const int right_margin = b->width() - 1 - stored.last;
            EXPECT_LE(std::abs(left_margin - right_margin), 2);
        }
    }
}

TEST_F(WindowTest, TheThaiLabelIsNotCutAboveOrBelow) {
    auto* label = window.findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(label, nullptr);
    const QImage image = label->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, 0);
    auto ink_in_row = [&](int y) {
        int ink = 0;
        for (int x = 0; x < image.width(); ++x) ink += image.pixel(x, y) != background;
        return ink;
    };
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) ink += ink_in_row(y);
    EXPECT_GT(ink, 100);  // there is text
    // Marks above and below the line stay clear of the label's edges.
    EXPECT_EQ(ink_in_row(0), 0);
    EXPECT_EQ(ink_in_row(image.height() - 1), 0);
    // Horizontally only the window's edge may cut it: one line, and the
    // label reaches past the window's right edge.
    EXPECT_FALSE(label->wordWrap());
    EXPECT_GE(label->geometry().right() + 1, window.width());
}

}  // namespace
}  // namespace idr::test
