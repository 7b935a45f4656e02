// Which way round a block lies: the eight symmetries of the ring grid, the
// turn and mirror read off a block-to-page map, and the printed digits that
// tell a mirrored block from an upright one.

#include "scan/orientation.h"

#include <cmath>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "form/form1.h"
#include "scan/locate.h"
#include "scan/rectify.h"
#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

TEST(Orientation, EverySymmetryTakesTheRingGridOntoItself) {
    for (int q = 0; q < 4; ++q)
        for (const bool mirrored : {false, true}) {
            SCOPED_TRACE(std::to_string(q) + " turns" + (mirrored ? ", mirrored" : ""));
            const cv::Matx33d s = scan::block_symmetry(q, mirrored);
            std::set<std::pair<int, int>> hit;
            for (int c = 0; c < 10; ++c)
                for (int r = 0; r < 10; ++r) {
                    const cv::Point2d p = scan::map_point(s, scan::bubble_centre(c, r));
                    const double fc = (p.x - block::bubble_centre_x(0)) / block::kPitch;
                    const double fr = (p.y - block::bubble_centre_y(0)) / block::kPitch;
                    EXPECT_NEAR(fc, std::round(fc), 1e-9);
                    EXPECT_NEAR(fr, std::round(fr), 1e-9);
                    hit.insert({static_cast<int>(std::lround(fc)), static_cast<int>(std::lround(fr))});
                }
            EXPECT_EQ(hit.size(), 100u);
            EXPECT_EQ(*hit.begin(), std::make_pair(0, 0));
            EXPECT_EQ(*hit.rbegin(), std::make_pair(9, 9));
        }
    // Four quarter turns, or two mirrors, are no turn at all.
    const cv::Matx33d four = scan::block_symmetry(1, false) * scan::block_symmetry(1, false) *
                             scan::block_symmetry(1, false) * scan::block_symmetry(1, false);
    const cv::Matx33d twice = scan::block_symmetry(0, true) * scan::block_symmetry(0, true);
    EXPECT_LT(cv::norm(four - cv::Matx33d::eye()), 1e-9);
    EXPECT_LT(cv::norm(twice - cv::Matx33d::eye()), 1e-9);
}

TEST(Orientation, TurnAndMirrorReadOffTheMap) {
    // Pages scaled, skewed up to 15 degrees and seen in slight perspective.
    const struct {
        double scale, angle_deg, persp;
    } pages[] = {{1.0, 0, 0}, {2.5, 14, 0}, {0.6, -14, 0}, {1.7, 8, 2e-4}};
    for (const auto& page : pages) {
        const double a = page.angle_deg * CV_PI / 180;
        const cv::Matx33d h(page.scale * std::cos(a), page.scale * std::sin(a), 400, -page.scale * std::sin(a),
                            page.scale * std::cos(a), 600, page.persp, 0, 1);
        for (int q = 0; q < 4; ++q)
            for (const bool mirrored : {false, true}) {
                const scan::Orientation o = scan::orientation_of(h * scan::block_symmetry(q, mirrored));
                EXPECT_EQ(o.turn, 90 * q) << page.angle_deg << " degrees, " << q << " turns";
                EXPECT_EQ(o.mirrored, mirrored) << page.angle_deg << " degrees, " << q << " turns";
            }
    }
}

// The block seen in a mirror about the ring grid's middle: rings 1 and 10
// change places (pixel x shows pixel 260 - x).
cv::Mat mirror_of(const cv::Mat& block) {
    const int pivot = static_cast<int>(block::bubble_centre_x(0) + block::bubble_centre_x(9)) - 1;
    cv::Mat out = block.clone();
    for (int y = 0; y < block.rows; ++y)
        for (int x = 0; x < block.cols; ++x) {
            const int from = std::clamp(pivot - x, 0, block.cols - 1);
            if (block.channels() == 3) out.at<cv::Vec3b>(y, x) = block.at<cv::Vec3b>(y, from);
            else out.at<std::uint8_t>(y, x) = block.at<std::uint8_t>(y, from);
        }
    return out;
}

TEST(Orientation, PrintedDigitsTellAMirroredBlock) {
    // The built-in sheet itself, a rectified generated page in another
    // font, small and black and white: each as it stands and mirrored.
    const cv::Mat sheet = scan::to_mat(Form1().picRedraw.surface);
    pagegen::PagePlan plan = pagegen::random_plan(51, pagegen::Kind::BlockOnly);
    plan.rotation_deg = 4, plan.unit_px = 0.8;
    const pagegen::GeneratedPage small = pagegen::make_page(plan);
    plan.stack.bilevel = pagegen::Bilevel::Threshold, plan.unit_px = 1.5;
    const pagegen::GeneratedPage bw = pagegen::make_page(plan);
    struct Case {
        std::string name;
        cv::Mat block;
    };
    std::vector<Case> cases = {{"the built-in sheet", sheet}};
    for (const auto* g : {&small, &bw}) {
        const std::vector<cv::Point2f> b = {{18, 119}, {243, 119}, {243, 344}, {18, 344}};
        std::vector<cv::Point2f> p;
        for (const auto& c : *g->truth.corners) p.emplace_back(static_cast<float>(c.x), static_cast<float>(c.y));
        const cv::Matx33d h(cv::getPerspectiveTransform(b, p));
        cases.push_back({g->truth.variant, scan::rectify_block(g->image, h, g == &bw ? 1.0 : 0.0)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_GT(scan::mirror_evidence(c.block), scan::kMirrorDecides);
        EXPECT_LT(scan::mirror_evidence(mirror_of(c.block)), -scan::kMirrorDecides);
    }
    // Nothing printed says nothing.
    const cv::Mat blank(block::kHeight, block::kWidth, CV_8UC3, cv::Scalar::all(245));
    EXPECT_NEAR(scan::mirror_evidence(blank), 0.0, 1e-9);
    EXPECT_EQ(scan::mirror_evidence(cv::Mat(10, 10, CV_8UC1, cv::Scalar(0))), 0.0);
}

}  // namespace
}  // namespace idr::test
