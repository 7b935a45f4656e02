#include "app/gui/picture_view.h"

#include <QPainter>

#include "app/gui/model_drawing.h"

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
}

}  // namespace idr
