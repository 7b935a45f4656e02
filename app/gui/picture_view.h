#pragma once
// picRedraw on screen: a sunken 2-pixel frame whose inner area shows the
// model's pixel surface unscaled, with the visible cell markers drawn over
// it and clipped to it.

#include <QFrame>
#include <QImage>

#include <vector>

#include "form/form1.h"

class QPainter;

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

    // Columns of a scanned block that are not a clear digit, framed over the
    // picture with their mark ('?' unsure, '*' several marks, '_' blank).
    // Drawn like the markers: the surface keeps its pixels.
    struct ColumnFlag {
        int column = 0;  // 0..9
        QChar mark;
    };
    void set_flags(std::vector<ColumnFlag> flags);
    const std::vector<ColumnFlag>& flags() const { return flags_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void draw_flags(QPainter& painter) const;

    const PictureBox& box_;
    const ShapeArray& markers_;
    QImage image_;
    std::vector<ColumnFlag> flags_;
};

}  // namespace idr
