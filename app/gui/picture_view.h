#pragma once
// picRedraw on screen: a sunken 2-pixel frame whose inner area shows the
// model's pixel surface unscaled, with the visible cell markers drawn over
// it and clipped to it.

#include <QFrame>
#include <QImage>

#include "form/form1.h"

namespace idr {

class PictureView : public QFrame {
    Q_OBJECT

public:
    // The frame's width on each side; the inner area is the box's design
    // size less twice this.
    static constexpr int kBorder = 2;

    PictureView(const PictureBox& box, const ShapeArray& markers, QWidget* parent = nullptr);

    // Takes the surface's current pixels (a handler may have written them)
    // and schedules a repaint, which also shows the markers as they are now.
    void reload_pixels();

    // The pixels as last taken from the surface.
    const QImage& pixels() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const PictureBox& box_;
    const ShapeArray& markers_;
    QImage image_;
};

}  // namespace idr
