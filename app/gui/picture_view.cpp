#include "app/gui/picture_view.h"

#include <QPainter>
#include <QPen>

#include "app/gui/model_drawing.h"
#include "form/block_layout.h"

namespace idr {

PictureView::PictureView(const PictureBox& box, const ShapeArray& markers, QWidget* parent)
    : QFrame(parent), box_(box), markers_(markers), image_(surface_image(box.surface)) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    // It holds the lowest tab index, so it takes part in the tab cycle and
    // has the focus when the window opens.
    setFocusPolicy(Qt::StrongFocus);
}

void PictureView::reload_pixels() {
    image_ = surface_image(box_.surface);
    update();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect inner = contentsRect();
    painter.setClipRect(inner);
    // Outside a picture smaller than the box: the window's background.
    painter.fillRect(inner, palette().window());
    painter.translate(inner.topLeft());
    painter.drawImage(0, 0, image_);
    draw_markers(painter, markers_);
    draw_flags(painter);
}

void PictureView::set_flags(std::vector<ColumnFlag> flags) {
    flags_ = std::move(flags);
    update();
}

void PictureView::draw_flags(QPainter& painter) const {
    if (flags_.empty()) return;
    // Orange: none of the markers' colours (blue template, green marks), and
    // it stands out on both the scan and its black-and-white version.
    const QColor colour(255, 128, 0);
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    for (const ColumnFlag& flag : flags_) {
        // The column between its two rules, from the column number down to
        // the grid's bottom; the mark sits on the column number, so the
        // written digit and the bubbles stay visible.
        const int left = static_cast<int>(block::kRuleX(flag.column)) + 1;
        const int right = static_cast<int>(block::kRuleX(flag.column + 1)) - 1;
        const QRect column(left, block::kNumbersTop, right - left + 1, block::kGridBottom - block::kNumbersTop + 1);
        painter.setPen(QPen(colour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(column.adjusted(1, 1, -1, -1));
        const QRect badge(left + 2, block::kNumbersTop + 3, column.width() - 4, 18);
        painter.fillRect(badge, colour);
        if (flag.mark == QLatin1Char('_')) {
            // The underscore's glyph sits below the baseline, out of a
            // badge this small: drawn as the line it stands for.
            painter.fillRect(QRect(badge.left() + 5, badge.bottom() - 5, badge.width() - 10, 2), Qt::white);
        } else {
            painter.setPen(Qt::white);
            painter.drawText(badge, Qt::AlignCenter, QString(flag.mark));
        }
    }
}

}  // namespace idr
