// How the picture box draws the model: the surface pixel for pixel, the two
// mark styles, clipping to the inner area, and never a write to the surface.

#include <QImage>

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "form/form1.h"
#include "app/gui/model_drawing.h"
#include "app/gui/picture_view.h"
#include "rules/colour.h"

namespace idr::test {
namespace {

TEST(SurfaceImage, KeepsEveryColourOfTheSurface) {
    struct Case {
        Int32 colour;
        QRgb shown;
    };
    const Case cases[] = {
        {kBlack, qRgb(0, 0, 0)},          {kWhite, qRgb(255, 255, 255)},    {0x0000FF, qRgb(255, 0, 0)},
        {kGreen, qRgb(0, 255, 0)},        {kBlue, qRgb(0, 0, 255)},         {0x123456, qRgb(0x56, 0x34, 0x12)},
        {0x1D1637, qRgb(0x37, 0x16, 0x1D)},
    };
    Surface surface(3, 2, kWhite);
    for (const Case& c : cases) {
        surface.set_pixel(2, 1, c.colour);
        const QImage image = surface_image(surface);
        ASSERT_EQ(image.size(), QSize(3, 2));
        EXPECT_EQ(image.pixel(2, 1), c.shown) << std::hex << c.colour;
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(to_qcolor(c.colour).rgb(), c.shown);
    }
}

constexpr Int32 kPaper = 0x808080;
constexpr QRgb kPaperShown = 0xFF808080;

// A 60 x 50 picture with one marker at (10, 12), 20 x 20, rendered by the
// picture box; returns the inner area only.
struct Rendered {
    QImage inner;
    Surface surface_after;
};

Rendered render(const ShapeElement& marker, int width = 60, int height = 50) {
    Form1 form(Surface(width, height, kPaper));
    form.Shape1(0) = marker;
    PictureView view(form.picRedraw, form.Shape1);
    view.resize(width + 2 * PictureView::kBorder, height + 2 * PictureView::kBorder);
    const QImage whole = view.grab().toImage();
    return {whole.copy(view.contentsRect()), form.picRedraw.surface};
}

ShapeElement marker(Int16 style, bool visible = true, float left = 10, float top = 12) {
    ShapeElement m;
    m.Left = left;
    m.Top = top;
    m.Width = 20;
    m.Height = 20;
    m.Visible = visible;
    m.BorderColor = kBlue;
    m.FillColor = kGreen;
    m.FillStyle = style;
    return m;
}

bool on_outline(int x, int y, int left, int top) {
    const bool inside = x >= left && x < left + 20 && y >= top && y < top + 20;
    return inside && (x == left || x == left + 19 || y == top || y == top + 19);
}

TEST(MarkerDrawing, PlainStyleIsOnlyAOnePixelOutline) {
    const QImage img = render(marker(kStylePlain)).inner;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb expected = on_outline(x, y, 10, 12) ? qRgb(0, 0, 255) : kPaperShown;
            ASSERT_EQ(img.pixel(x, y), expected) << "at " << x << "," << y;
        }
    }
}

TEST(MarkerDrawing, MarkedStyleHatchesTheCellGreenInsideItsOutline) {
    const QImage img = render(marker(kStyleMarked)).inner;
    int green = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            const bool inside = x > 10 && x < 29 && y > 12 && y < 31;
            if (on_outline(x, y, 10, 12)) {
                ASSERT_EQ(p, qRgb(0, 0, 255)) << "outline at " << x << "," << y;
            } else if (inside) {
                ASSERT_TRUE(p == qRgb(0, 255, 0) || p == kPaperShown) << "inside at " << x << "," << y;
                green += p == qRgb(0, 255, 0);
            } else {
                ASSERT_EQ(p, kPaperShown) << "outside at " << x << "," << y;
            }
        }
    }
    // A hatch, not a solid fill and not a stray pixel: a good share of the
    // 18 x 18 inside is green and a good share still shows the picture.
    EXPECT_GT(green, 18 * 18 / 8);
    EXPECT_LT(green, 18 * 18 / 2);
}

TEST(MarkerDrawing, NothingShowsForInvisibleOrDegenerateMarkers) {
    ShapeElement nan_left = marker(kStylePlain);
    nan_left.Left = std::numeric_limits<float>::quiet_NaN();
    ShapeElement huge = marker(kStyleMarked);
    huge.Left = 3.0e38f;
    ShapeElement empty = marker(kStyleMarked);
    empty.Width = 0;
    for (const ShapeElement& m : {marker(kStylePlain, false), marker(kStyleMarked, false), nan_left, huge, empty}) {
        const QImage img = render(m).inner;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) ASSERT_EQ(img.pixel(x, y), kPaperShown);
    }
}

TEST(MarkerDrawing, AMarkerPartlyOutsideIsClippedToThePicture) {
    // The marker overhangs the left and bottom edges; the frame around the
    // inner area must look exactly as it does with no marker at all.
    Form1 form(Surface(60, 50, kPaper));
    PictureView view(form.picRedraw, form.Shape1);
    view.resize(64, 54);
    form.Shape1(0).Visible = false;
    const QImage bare = view.grab().toImage();
    form.Shape1(0) = marker(kStyleMarked, true, -5, 40);
    const QImage with_marker = view.grab().toImage();
    const QRect inner = view.contentsRect();
    int changed_inside = 0;
    for (int y = 0; y < bare.height(); ++y) {
        for (int x = 0; x < bare.width(); ++x) {
            if (inner.contains(x, y)) {
                changed_inside += bare.pixel(x, y) != with_marker.pixel(x, y);
            } else {
                ASSERT_EQ(bare.pixel(x, y), with_marker.pixel(x, y)) << "frame at " << x << "," << y;
            }
        }
    }
    EXPECT_GT(changed_inside, 0);
}

TEST(MarkerDrawing, DrawingNeverChangesASurfacePixel) {
    for (Int16 style : {kStylePlain, kStyleMarked}) {
        const Rendered r = render(marker(style));
        EXPECT_EQ(r.surface_after, Surface(60, 50, kPaper));
    }
}

}  // namespace
}  // namespace idr::test
