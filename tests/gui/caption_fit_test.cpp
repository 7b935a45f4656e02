// Readability at the design sizes: every visible word of every caption lies
// inside its button in the window's font, with the stored trailing blanks
// still pushing the words left, and the Thai label is not cut.

#include <QLabel>

#include "window_fixture.h"

namespace idr::test {
namespace {

// Pixels at each side of a button that belong to its bevel, not its face.
constexpr double kBevel = 2;

TEST_F(WindowTest, EveryCaptionsWordsLieInsideItsButton) {
    for (ButtonId id : kAllButtons) {
        CaptionButton* b = button(id);
        SCOPED_TRACE(b->text().toStdString());
        const WordSpan span = b->word_span();
        EXPECT_GE(span.left, kBevel);
        EXPECT_LE(span.right, b->width() - kBevel);
        EXPECT_GT(span.right - span.left, 0);
    }
}

TEST_F(WindowTest, TrailingBlanksPushTheWordsLeftAsStored) {
    struct Case {
        ButtonId id;
        bool pushed_left;
    };
    const Case cases[] = {
        {ButtonId::Binary, true},  {ButtonId::Draw, true}, {ButtonId::CheckId, true}, {ButtonId::Check, false},
        {ButtonId::Up, false},     {ButtonId::Left, false}, {ButtonId::Right, false}, {ButtonId::Down, false},
    };
    for (const Case& c : cases) {
        CaptionButton* b = button(c.id);
        SCOPED_TRACE(b->text().toStdString());
        const WordSpan span = b->word_span();
        const double left_margin = span.left;
        const double right_margin = b->width() - span.right;
        if (c.pushed_left) {
            // The blanks' width shows up as extra room on the right.
            const double blanks = QFontMetricsF(b->font()).horizontalAdvance(b->text()) -
                                  QFontMetricsF(b->font()).horizontalAdvance(b->text().trimmed());
            EXPECT_NEAR(right_margin - left_margin, blanks, 1.0);
        } else {
            EXPECT_NEAR(left_margin, right_margin, 1.0);
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
