// Judging placements: on realistic pages the true placement of the block
// wins clearly over the same one slipped by a pitch either way, or turned,
// and a slipped one alone is refused. The homography fit on its own.

#include "scan/placement.h"

#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "scan/locate.h"
#include "scan/orientation.h"
#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

using scan::PlacementScore;

// The true block-to-page map of a generated page, from its corner bubbles
// (its geometry is a homography, so four points give it exactly).
cv::Matx33d true_placement(const pagegen::Truth& t) {
    const std::vector<cv::Point2f> block = {
        {static_cast<float>(block::bubble_centre_x(0)), static_cast<float>(block::bubble_centre_y(0))},
        {static_cast<float>(block::bubble_centre_x(9)), static_cast<float>(block::bubble_centre_y(0))},
        {static_cast<float>(block::bubble_centre_x(9)), static_cast<float>(block::bubble_centre_y(9))},
        {static_cast<float>(block::bubble_centre_x(0)), static_cast<float>(block::bubble_centre_y(9))}};
    std::vector<cv::Point2f> page;
    for (const auto& c : *t.corners) page.emplace_back(static_cast<float>(c.x), static_cast<float>(c.y));
    return cv::Matx33d(cv::getPerspectiveTransform(block, page));
}

// The placement that puts block point b where the true one puts b + shift.
cv::Matx33d shifted_in_block(const cv::Matx33d& h, double dx, double dy) {
    return h * cv::Matx33d(1, 0, dx, 0, 1, dy, 0, 0, 1);
}

struct Page {
    std::string name;
    pagegen::GeneratedPage page;
    cv::Mat grey;  // as the locator scores it
    bool dashed;
    double least;  // the least score the locator takes
};

Page make(const std::string& name, pagegen::PagePlan plan) {
    Page p{name, pagegen::make_page(plan), {}, plan.stack.bilevel != pagegen::Bilevel::None, 0};
    if (p.page.image.channels() == 3) cv::cvtColor(p.page.image, p.grey, cv::COLOR_BGR2GRAY);
    else p.grey = p.page.image;
    if (p.dashed) {
        // Black and white is scored smoothed to about half a unit, as the
        // locator does.
        cv::GaussianBlur(p.grey, p.grey, cv::Size(), std::max(0.8, 0.45 * *p.page.truth.unit_px));
    }
    p.least = p.dashed ? scan::kMinDashedPlacementScore : scan::kMinPlacementScore;
    return p;
}

std::vector<Page> realistic_pages() {
    std::vector<Page> pages;
    pagegen::PagePlan grey = pagegen::random_plan(41, pagegen::Kind::Scan);
    grey.dpi = 200, grey.unit_px = 1.0, grey.rotation_deg = 1.5;
    pages.push_back(make("grey scan", grey));
    pagegen::PagePlan photo = pagegen::random_plan(42, pagegen::Kind::Photo);
    photo.dpi = 150, photo.unit_px = 1.1;
    pages.push_back(make("photo", photo));
    pagegen::PagePlan bw = grey;
    bw.seed = 43, bw.dpi = 300, bw.unit_px = 1.5;
    bw.stack.bilevel = pagegen::Bilevel::Threshold, bw.stack.cut = 0.45;
    pages.push_back(make("black and white", bw));
    pagegen::PagePlan dither = grey;
    dither.seed = 44;
    dither.stack.bilevel = pagegen::Bilevel::Dither;
    pages.push_back(make("dithered", dither));
    return pages;
}

const std::vector<Page>& pages() {
    static const std::vector<Page> made = realistic_pages();
    return made;
}

TEST(Placement, OnePitchOffLosesClearlyAndAloneIsRefused) {
    for (const Page& p : pages()) {
        SCOPED_TRACE(p.name + ": " + p.page.truth.variant);
        const cv::Matx33d h = true_placement(p.page.truth);
        const PlacementScore right = scan::score_placement(p.grey, h, p.dashed);
        EXPECT_GE(right.total, p.least + 0.1);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx == 0 && dy == 0) continue;
                SCOPED_TRACE("slipped by " + std::to_string(dx) + ", " + std::to_string(dy) + " pitches");
                const PlacementScore slipped =
                    scan::score_placement(p.grey, shifted_in_block(h, block::kPitch * dx, block::kPitch * dy), p.dashed);
                EXPECT_LT(slipped.total, p.least);
                EXPECT_GT(right.total - slipped.total, 0.25);
                // A whole row or column of the slipped grid holds no rings.
                EXPECT_LT(slipped.weakest_line, scan::kMinLineRings);
            }
    }
}

TEST(Placement, OnlyTheUprightTurnFitsTheFrameAndAMirrorCannotBeToldByIt) {
    for (const Page& p : pages()) {
        SCOPED_TRACE(p.name);
        const cv::Matx33d h = true_placement(p.page.truth);
        const double right = scan::score_placement(p.grey, h, p.dashed).total;
        for (int q = 1; q < 4; ++q)
            EXPECT_GT(right - scan::score_placement(p.grey, h * scan::block_symmetry(q, false), p.dashed).total, 0.25)
                << q << " quarter turns";
        // The frame is symmetric left to right; the printed digits tell.
        const double mirrored = scan::score_placement(p.grey, h * scan::block_symmetry(0, true), p.dashed).total;
        EXPECT_NEAR(mirrored, right, 0.2);
    }
}

TEST(Placement, FitRecoversAHomographyThroughNoiseAndStrayPoints) {
    const cv::Matx33d truth(1.4, 0.1, 300, -0.08, 1.5, 500, 1e-5, -2e-5, 1);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 0.3);
    std::vector<cv::Point2d> block, page;
    for (int c = 0; c < 10; ++c)
        for (int r = 0; r < 10; ++r) {
            block.push_back(scan::bubble_centre(c, r));
            page.push_back(scan::map_point(truth, block.back()) + cv::Point2d(noise(rng), noise(rng)));
        }
    // Ten rings measured a third of a pitch off (a mark, a stray blob).
    for (int i = 0; i < 100; i += 10) page[static_cast<std::size_t>(i)] += cv::Point2d(12, -9);
    const auto fit = scan::fit_placement(block, page, 2.0);
    ASSERT_TRUE(fit);
    // The strays are left out (and perhaps a noisy point or two).
    EXPECT_LE(fit->used, 90);
    EXPECT_GE(fit->used, 85);
    EXPECT_LT(fit->rms_px, 0.6);
    for (const cv::Point2d b : {scan::bubble_centre(0, 0), scan::bubble_centre(9, 9), scan::bubble_centre(9, 0)}) {
        const cv::Point2d d = scan::map_point(fit->h, b) - scan::map_point(truth, b);
        EXPECT_LT(std::hypot(d.x, d.y), 0.5);
    }
    // Least squares on all points keeps the strays and is pulled off.
    const auto all = scan::fit_placement(block, page, 0);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->used, 100);
    EXPECT_GT(all->rms_px, 3.0);
    // Too few points to say anything.
    EXPECT_FALSE(scan::fit_placement({block.begin(), block.begin() + 7}, {page.begin(), page.begin() + 7}, 2.0));
}

}  // namespace
}  // namespace idr::test
