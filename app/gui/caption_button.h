#pragma once
// A push button that draws its caption exactly as stored: blanks at the end
// of the caption count when the caption is centred, so they push the words
// towards the left edge, as the design intends. QPushButton would trim them.

#include <QPushButton>
#include <QString>

class QFontMetricsF;

namespace idr {

// Horizontal extent, in button pixels, of the ink-carrying part of `caption`
// (the caption without its leading and trailing blanks) when the whole caption
// is centred in a box `width` pixels wide.
struct WordSpan {
    double left = 0;
    double right = 0;
};
WordSpan centred_word_span(const QFontMetricsF& metrics, const QString& caption, double width);

class CaptionButton : public QPushButton {
    Q_OBJECT

public:
    explicit CaptionButton(const QString& caption, QWidget* parent = nullptr);

    // Where the words of the caption lie in this button, in its own font.
    WordSpan word_span() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter and Return click the focused button as Space does.
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace idr
