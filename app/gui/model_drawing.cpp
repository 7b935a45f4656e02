#include "app/gui/model_drawing.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace idr {

namespace {

// Markers only ever move a pixel per click, so anything beyond this lies far
// outside the 262 x 362 picture; the bound keeps the float-to-int
// conversions below defined.
constexpr double kFarAway = 1.0e6;

std::optional<int> to_pixel(float v) {
    if (!std::isfinite(v)) return std::nullopt;
    const double clamped = std::clamp(static_cast<double>(v), -kFarAway, kFarAway);
    return static_cast<int>(std::lround(clamped));
}

}  // namespace

QColor to_qcolor(Int32 colour) {
    const auto v = static_cast<std::uint32_t>(colour);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

QImage surface_image(const Surface& surface) {
    QImage image(surface.width(), surface.height(), QImage::Format_RGB32);
    const std::vector<Int32>& pixels = surface.pixels();
    for (int y = 0; y < surface.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const Int32* row = pixels.data() + static_cast<std::size_t>(y) * surface.width();
        for (int x = 0; x < surface.width(); ++x) {
            const auto v = static_cast<std::uint32_t>(row[x]);
            line[x] = qRgb(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                           static_cast<int>((v >> 16) & 0xFF));
        }
    }
    return image;
}

void draw_marker(QPainter& painter, const ShapeElement& marker) {
    if (!marker.Visible) return;
    const auto left = to_pixel(marker.Left);
    const auto top = to_pixel(marker.Top);
    const auto width = to_pixel(marker.Width);
    const auto height = to_pixel(marker.Height);
    if (!left || !top || !width || !height || *width <= 0 || *height <= 0) return;

    const QRect cell(*left, *top, *width, *height);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (marker.FillStyle == kStyleMarked) {
        // The hatch starts at the cell's corner, so every marked cell shows
        // the same pattern wherever it sits.
        painter.setBrushOrigin(cell.topLeft());
        painter.fillRect(cell, QBrush(to_qcolor(marker.FillColor), Qt::DiagCrossPattern));
    }
    painter.setPen(QPen(to_qcolor(marker.BorderColor), 1));
    painter.setBrush(Qt::NoBrush);
    // An aliased 1-pixel outline of QRect r covers r.left() .. r.right() + 1.
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    painter.restore();
}

void draw_markers(QPainter& painter, const ShapeArray& markers) {
    for (const auto& [index, marker] : markers.elements()) draw_marker(painter, marker);
}

}  // namespace idr
