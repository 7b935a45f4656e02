// What the sheet shows, measured on the colour picture the window starts
// with: pixel counts, the filled discs, the bands and rules, the printing,
// the paper and the tint.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "tests/sheet/sheet_support.h"

namespace idr::test {
namespace {


const Surface& sheet() {
    static const Form1 form = fresh_form();
    return form.picRedraw.surface;
}

bool in_grid_rows(int y) { return y >= 108 && y <= 354; }

TEST(SheetPicture, PixelCounts) {
    const Surface& s = sheet();
    int black = 0, black_in_grid = 0, black_elsewhere_unexpected = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            if (s.pixel(x, y) != kBlack) continue;
            ++black;
            if (in_grid_rows(y)) ++black_in_grid;
            // Outside the discs, pure black lies in the handwriting or on a rule.
            else if (!(y >= 57 && y <= 105) && y != 106 && y != 107 && y != 355 && y != 356)
                ++black_elsewhere_unexpected;
        }
    EXPECT_EQ(s.width() * s.height(), 94844);
    EXPECT_EQ(black, 3649);
    EXPECT_EQ(black_in_grid, 2898);
    EXPECT_EQ(black_elsewhere_unexpected, 0);
}

// The pure black pixels in the bubble grid, as 4-connected blobs.
struct Blob {
    int pixels = 0, x0 = 1000, x1 = -1, y0 = 1000, y1 = -1;
};

std::vector<Blob> black_blobs() {
    const Surface& s = sheet();
    std::vector<bool> seen(static_cast<std::size_t>(s.width()) * s.height(), false);
    std::vector<Blob> blobs;
    for (int y = 108; y <= 354; ++y)
        for (int x = 0; x < s.width(); ++x) {
            if (s.pixel(x, y) != kBlack || seen[y * s.width() + x]) continue;
            Blob b;
            std::vector<std::array<int, 2>> todo{{x, y}};
            seen[y * s.width() + x] = true;
            while (!todo.empty()) {
                const auto [px, py] = todo.back();
                todo.pop_back();
                ++b.pixels;
                b.x0 = std::min(b.x0, px), b.x1 = std::max(b.x1, px);
                b.y0 = std::min(b.y0, py), b.y1 = std::max(b.y1, py);
                for (auto [dx, dy] : {std::array{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx < 0 || nx >= s.width() || !in_grid_rows(ny)) continue;
                    if (s.pixel(nx, ny) == kBlack && !seen[ny * s.width() + nx]) {
                        seen[ny * s.width() + nx] = true;
                        todo.push_back({nx, ny});
                    }
                }
            }
            blobs.push_back(b);
        }
    return blobs;
}

TEST(SheetPicture, OneDiscPerColumnOverTheIdDigit) {
    const std::vector<Blob> blobs = black_blobs();
    ASSERT_EQ(blobs.size(), 10u);
    std::array<int, 10> per_column{};
    for (const Blob& b : blobs) {
        const double cx = (b.x0 + b.x1) / 2.0, cy = (b.y0 + b.y1) / 2.0;
        const int c = static_cast<int>(std::lround((cx - 17.5) / 25));
        const int r = static_cast<int>(std::lround((cy - 118.5) / 25));
        ASSERT_TRUE(c >= 0 && c < 10 && r >= 0 && r < 10) << "disc at " << cx << "," << cy;
        ++per_column[c];
        SCOPED_TRACE("column " + std::to_string(c));
        EXPECT_EQ(r, kSheetId[c] - '0');
        EXPECT_LE(std::abs(cx - (8 + 25 * c + 9.5)), 1.0);
        EXPECT_LE(std::abs(cy - (109 + 25 * r + 9.5)), 1.0);
        for (int across : {b.x1 - b.x0 + 1, b.y1 - b.y0 + 1}) {
            EXPECT_GE(across, 17);
            EXPECT_LE(across, 21);
        }
        // Solid: a disc fills about pi/4 of its box.
        const double fill = b.pixels / double((b.x1 - b.x0 + 1) * (b.y1 - b.y0 + 1));
        EXPECT_NEAR(fill, 0.785, 0.06);
    }
    for (int c = 0; c < 10; ++c) EXPECT_EQ(per_column[c], 1) << "column " << c;
}

TEST(SheetPicture, PaperAndTintLevels) {
    const Surface& s = sheet();
    // Paper: the margins above the title and below the frame.
    struct Band {
        const char* name;
        int y0, y1;
    };
    for (const Band& band : {Band{"top margin", 0, 4}, Band{"under the title", 22, 30},
                             Band{"bottom margin", 357, 361}})
        for (int y = band.y0; y <= band.y1; ++y)
            for (int x = 0; x < s.width(); ++x) {
                const Int32 v = s.pixel(x, y);
                for (int ch : {red(v), green(v), blue(v)})
                    ASSERT_TRUE(ch >= 252 && ch <= 255) << band.name << " at " << x << "," << y << ": " << ch;
            }

    // In the gaps between bubble rows: white paper in odd-numbered columns,
    // pink in even-numbered ones.
    for (int c = 0; c < 10; ++c) {
        std::array<double, 3> mean{};
        int n = 0;
        for (int r = 0; r < 9; ++r)
            for (int x = 9 + 25 * c; x <= 26 + 25 * c; ++x)
                for (int y = 130 + 25 * r; y <= 132 + 25 * r; ++y) {
                    const Int32 v = s.pixel(x, y);
                    mean[0] += red(v), mean[1] += green(v), mean[2] += blue(v), ++n;
                }
        for (double& m : mean) m /= n;
        SCOPED_TRACE("column " + std::to_string(c));
        const std::array<double, 3> want = c % 2 == 1 ? std::array{248.0, 223.0, 236.0}
                                                      : std::array{253.5, 253.5, 253.5};
        for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(mean[ch], want[ch], 2.0);
    }
}

TEST(SheetPicture, MaroonPrintingWithBlendedEdges) {
    const Surface& s = sheet();
    const std::set<int> filled = id_cells();
    std::array<double, 3> dark_mean{};
    int dark = 0;
    for (int k = 0; k < 100; ++k) {
        if (filled.count(k)) continue;
        const int left = 8 + 25 * (k / 10), top = 109 + 25 * (k % 10);
        int core = 0, edge = 0;
        for (int y = top; y < top + 20; ++y)
            for (int x = left; x < left + 20; ++x) {
                const Int32 v = s.pixel(x, y);
                const int b = brightness(v);
                if (b <= 40) {
                    ++core;
                    dark_mean[0] += red(v), dark_mean[1] += green(v), dark_mean[2] += blue(v), ++dark;
                    // Maroon: red well above green and blue.
                    EXPECT_GT(red(v), green(v) + 20) << x << "," << y;
                    EXPECT_GT(red(v), blue(v) + 15) << x << "," << y;
                } else if (b >= 70 && b <= 220) {
                    ++edge;
                }
            }
        // A ring 20 px across with its digit: dozens of solid pixels and as
        // many blended ones.
        EXPECT_GE(core, 30) << "cell " << k;
        EXPECT_GE(edge, 40) << "cell " << k;
    }
    for (double& m : dark_mean) m /= dark;
    EXPECT_NEAR(dark_mean[0], 55, 4);
    EXPECT_NEAR(dark_mean[1], 22, 4);
    EXPECT_NEAR(dark_mean[2], 29, 4);
}

TEST(SheetPicture, RingsFillTheirBoundingBoxes) {
    const Surface& s = sheet();
    const std::set<int> filled = id_cells();
    for (int k = 0; k < 100; ++k) {
        if (filled.count(k)) continue;
        const int left = 8 + 25 * (k / 10), top = 109 + 25 * (k % 10);
        // Ink reaches every side of the box, and nothing darker than the
        // paper's noise lies just outside it.
        auto inked = [&](int x, int y) { return brightness(s.pixel(x, y)) < 200; };
        bool l = false, r = false, t = false, b = false;
        for (int i = 0; i < 20; ++i) {
            l |= inked(left, top + i), r |= inked(left + 19, top + i);
            t |= inked(left + i, top), b |= inked(left + i, top + 19);
            EXPECT_FALSE(inked(left - 1, top + i) || inked(left + 20, top + i)) << "cell " << k;
            EXPECT_FALSE(inked(left + i, top - 1) || inked(left + i, top + 20)) << "cell " << k;
        }
        EXPECT_TRUE(l && r && t && b) << "cell " << k;
    }
}

TEST(SheetPicture, RulesAndBands) {
    const Surface& s = sheet();
    auto dark = [&](int x, int y) { return brightness(s.pixel(x, y)) < 128; };
    // Horizontal rules: most of the row is printed between the outer rules.
    for (int y : {31, 56, 106, 107, 355, 356}) {
        int n = 0;
        for (int x = 5; x <= 255; ++x) n += dark(x, y);
        EXPECT_GE(n, 240) << "row " << y;
    }
    // Vertical rules: 1 or 2 dark pixels within one pixel of 5 + 25k, and
    // nothing else dark between the bubbles' boxes.
    for (int y : {40, 80, 120, 131, 250, 340}) {
        for (int k = 0; k <= 10; ++k) {
            std::vector<int> xs;
            for (int x = 5 + 25 * k - 2; x <= 5 + 25 * k + 2; ++x)
                if (x >= 0 && x < s.width() && dark(x, y)) xs.push_back(x);
            SCOPED_TRACE("rule " + std::to_string(k) + " row " + std::to_string(y));
            ASSERT_FALSE(xs.empty());
            EXPECT_LE(xs.size(), 2u);
            EXPECT_GE(xs.front(), 4 + 25 * k);
            EXPECT_LE(xs.back(), 6 + 25 * k);
        }
    }
    // The title: printed ink in rows 5..21 only, spanning x = 82..178.
    int x0 = 1000, x1 = -1, y0 = 1000, y1 = -1;
    for (int y = 0; y <= 30; ++y)
        for (int x = 0; x < s.width(); ++x)
            if (brightness(s.pixel(x, y)) < 240) {
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    EXPECT_EQ(x0, 82);
    EXPECT_EQ(x1, 178);
    EXPECT_EQ(y0, 5);
    EXPECT_EQ(y1, 21);
    // Column numbers, handwriting: ink in every column of both bands; the
    // handwriting in pen, part of it pure black.
    for (int c = 0; c < 10; ++c) {
        int number_ink = 0, pen = 0, pen_black = 0;
        for (int x = 8 + 25 * c; x <= 27 + 25 * c; ++x) {
            for (int y = 32; y <= 55; ++y) number_ink += dark(x, y);
            for (int y = 57; y <= 105; ++y) {
                pen += dark(x, y);
                pen_black += s.pixel(x, y) == kBlack;
            }
        }
        EXPECT_GE(number_ink, 8) << "column " << c;
        EXPECT_GE(pen, 60) << "column " << c;
        EXPECT_GE(pen_black, 10) << "column " << c;
    }
}

}  // namespace
}  // namespace idr::test
