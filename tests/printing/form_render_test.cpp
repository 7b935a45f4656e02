// The rendered form, checked by its pixels where block_layout.h and the
// page placement say the printing is: a scanner-side reader relies on the
// rings, rules and tint being exactly there.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "form/block_layout.h"
#include "printing/form_drawing.h"

namespace idr::test {
namespace {

using namespace idr::printing;

using namespace idr::block;

struct Pixel {
    int r, g, b;
};

class Page {
public:
    Page(Paper paper, double dpi) : image_(render_form(paper, dpi)), at_(form_placement(paper)), dpi_(dpi) {}

    const RgbImage& image() const { return image_; }

    // The pixel under block coordinates (x, y), continuous units.
    Pixel at_block(double x, double y) const {
        const double scale = dpi_ / 72;
        const int px = static_cast<int>(std::floor((at_.block_left_pt + x * at_.unit_pt) * scale));
        const int py = static_cast<int>(std::floor((at_.block_top_pt + y * at_.unit_pt) * scale));
        EXPECT_TRUE(px >= 0 && py >= 0 && px < image_.width && py < image_.height) << px << "," << py;
        const std::size_t i = (static_cast<std::size_t>(py) * image_.width + px) * 3;
        return {image_.rgb[i], image_.rgb[i + 1], image_.rgb[i + 2]};
    }

private:
    RgbImage image_;
    FormPlacement at_;
    double dpi_;
};

bool near(Pixel p, Rgb c, int tolerance) {
    return std::abs(p.r - c.r) <= tolerance && std::abs(p.g - c.g) <= tolerance && std::abs(p.b - c.b) <= tolerance;
}
bool is_ink(Pixel p) { return near(p, kPrintColour, 24); }
bool is_paper(Pixel p) { return near(p, {255, 255, 255}, 0); }
bool is_tint(Pixel p) { return near(p, kTintColour, 2); }

std::string show(Pixel p) {
    return "(" + std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b) + ")";
}

struct PageCase {
    Paper paper;
    double dpi;
    int width, height;  // pixels
};

class RenderedPage : public ::testing::TestWithParam<PageCase> {};

TEST_P(RenderedPage, HasThePaperSizeAtTheResolution) {
    const PageCase& c = GetParam();
    const RgbImage image = render_form(c.paper, c.dpi);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.rgb.size(), static_cast<std::size_t>(c.width) * c.height * 3);
}

TEST_P(RenderedPage, RingsSitOnTheLatticeWithPaperBetween) {
    const Page page(GetParam().paper, GetParam().dpi);
    // Corners of the lattice and cells in both kinds of column.
    const struct {
        int c, r;
    } rings[] = {{0, 0}, {9, 0}, {0, 9}, {9, 9}, {3, 4}, {6, 7}};
    const double on_ring = (kRingInnerRadius + kRingOuterRadius) / 2;
    for (const auto& ring : rings) {
        SCOPED_TRACE("ring " + std::to_string(ring.c) + "," + std::to_string(ring.r));
        const double cx = bubble_centre_x(ring.c), cy = bubble_centre_y(ring.r);
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            const Pixel p = page.at_block(cx + dx * on_ring, cy + dy * on_ring);
            EXPECT_TRUE(is_ink(p)) << "on the ring " << dx << "," << dy << " " << show(p);
        }
        // Inside the ring beside the digit, and between this ring and its
        // neighbours in the column: the column's paper, pink or white.
        const bool tinted = is_tinted_column(ring.c);
        for (const auto& [dx, dy] : {std::pair{6.5, 0.0}, {-6.5, 0.0}, {0.0, 12.0}, {0.0, -12.0}}) {
            if ((dy < 0 && ring.r == 0) || (dy > 0 && ring.r == kRows - 1)) continue;  // a rule is there
            const Pixel p = page.at_block(cx + dx, cy + dy);
            EXPECT_TRUE(tinted ? is_tint(p) : is_paper(p)) << "off the ring " << dx << "," << dy << " " << show(p);
        }
    }
}

TEST_P(RenderedPage, TintIsInEvenColumnsOverTheGridOnly) {
    const Page page(GetParam().paper, GetParam().dpi);
    for (int c = 0; c < kColumns; ++c) {
        SCOPED_TRACE("column " + std::to_string(c + 1));
        // Between two rings in the grid, and in the middle of the writing box.
        const Pixel in_grid = page.at_block(bubble_centre_x(c), bubble_centre_y(4) + kPitch / 2.0);
        const Pixel in_box = page.at_block(bubble_centre_x(c), (kBoxesTop + kBoxesBottom) / 2.0);
        EXPECT_EQ(is_tint(in_grid), (c + 1) % 2 == 0) << show(in_grid);
        EXPECT_TRUE(is_paper(in_box)) << show(in_box);
    }
}

TEST_P(RenderedPage, FrameRulesAreWhereTheLayoutPutsThem) {
    const Page page(GetParam().paper, GetParam().dpi);
    // Vertical rules across the writing boxes and the grid.
    for (int k = 0; k <= kColumns; ++k) {
        for (double y : {(kBoxesTop + kBoxesBottom) / 2.0, bubble_centre_y(5) + kPitch / 2.0}) {
            const Pixel p = page.at_block(kRuleX(k) + kRuleWidth / 2, y);
            EXPECT_TRUE(is_ink(p)) << "rule " << k << " at y " << y << " " << show(p);
        }
    }
    // The horizontal rules, between the first two vertical rules.
    const double x = bubble_centre_x(0);
    for (double y : {kFrameTopRow + 0.5, kNumbersRuleRow + 0.5, kGridRuleTop + 1.0, kFrameBottomTop + 1.0}) {
        const Pixel p = page.at_block(x, y);
        EXPECT_TRUE(is_ink(p)) << "rule at y " << y << " " << show(p);
    }
    // Nothing printed just outside the frame, left and right of the grid.
    for (double x_out : {kRuleX(0) - 3.0, kRuleX(kColumns) + kRuleWidth + 3.0})
        EXPECT_TRUE(is_paper(page.at_block(x_out, bubble_centre_y(5)))) << x_out;
}

INSTANTIATE_TEST_SUITE_P(PapersAndResolutions, RenderedPage,
                         ::testing::Values(PageCase{Paper::A4, 150, 1241, 1754}, PageCase{Paper::A4, 300, 2481, 3508},
                                           PageCase{Paper::Letter, 150, 1275, 1650},
                                           PageCase{Paper::Letter, 300, 2550, 3300}),
                         [](const ::testing::TestParamInfo<PageCase>& info) {
                             return std::string(info.param.paper == Paper::A4 ? "A4_" : "Letter_") +
                                    std::to_string(static_cast<int>(info.param.dpi)) + "dpi";
                         });

TEST(RenderForm, ResolutionsOutsideTheRangeGiveNoImage) {
    for (double dpi : {0.0, 35.0, 1201.0, -300.0, std::nan("")}) {
        const RgbImage image = render_form(Paper::A4, dpi);
        EXPECT_EQ(image.width, 0) << dpi;
        EXPECT_TRUE(image.rgb.empty()) << dpi;
    }
}

TEST(FormPlacement, BlockKeepsPrinterMarginsAndPencilSize) {
    constexpr double kMinMarginPt = 15 / 25.4 * 72;
    for (Paper paper : {Paper::A4, Paper::Letter}) {
        const FormPlacement at = form_placement(paper);
        const PaperSize size = paper_size(paper);
        EXPECT_DOUBLE_EQ(at.unit_pt, 0.72);
        EXPECT_GE(at.block_left_pt, kMinMarginPt);
        EXPECT_GE(at.block_top_pt, kMinMarginPt);
        EXPECT_LE(at.block_left_pt + kWidth * at.unit_pt, size.width_pt - kMinMarginPt);
        EXPECT_LE(at.block_top_pt + kHeight * at.unit_pt, size.height_pt - kMinMarginPt);
    }
}

}  // namespace
}  // namespace idr::test
