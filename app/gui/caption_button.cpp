#include "app/gui/caption_button.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace idr {

namespace {

qsizetype leading_blanks(const QString& text) {
    qsizetype n = 0;
    while (n < text.size() && text.at(n) == QLatin1Char(' ')) ++n;
    return n;
}

}  // namespace

WordSpan centred_word_span(const QFontMetricsF& metrics, const QString& caption, double width) {
    const QString words = caption.trimmed();
    const double start = (width - metrics.horizontalAdvance(caption)) / 2;
    const double left = start + metrics.horizontalAdvance(caption.left(leading_blanks(caption)));
    return {left, left + metrics.horizontalAdvance(words)};
}

CaptionButton::CaptionButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAutoDefault(false);
    setDefault(false);
}

WordSpan CaptionButton::word_span() const {
    return centred_word_span(QFontMetricsF(font()), text(), width());
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The style draws bevel and focus frame; the caption is ours.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    WordSpan span = word_span();
    double dy = 0;
    if (isDown()) {
        span.left += style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this);
        dy = style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this);
    }
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(option.palette.color(group, QPalette::ButtonText));
    // One pixel of slack on the right so rounding never drops the last glyph.
    const QRectF box(span.left, dy, span.right - span.left + 1, height());
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text().trimmed());
}

void CaptionButton::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

}  // namespace idr
