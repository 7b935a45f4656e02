#include "scan/homography.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace idr::test {
namespace {

using scan::find_homography;

cv::Point2d map(const cv::Matx33d& h, const cv::Point2d& p) {
    const cv::Vec3d q = h * cv::Vec3d(p.x, p.y, 1);
    return {q[0] / q[2], q[1] / q[2]};
}

// A block's 10 x 10 ring lattice (25 units apart) seen on a page: turned,
// scaled to pixels, in perspective, as a phone photo shows it.
const cv::Matx33d kPage(1.48, -0.11, 612.0, 0.07, 1.52, 288.0, 2.1e-5, -3.4e-5, 1.0);

std::vector<cv::Point2d> lattice() {
    std::vector<cv::Point2d> points;
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 10; ++c) points.emplace_back(12.5 + 25 * c, 130 + 25 * r);
    return points;
}

double largest_error(const cv::Mat& h, const std::vector<cv::Point2d>& src, const std::vector<cv::Point2d>& truth) {
    double worst = 0;
    for (std::size_t i = 0; i < src.size(); ++i) worst = std::max(worst, cv::norm(map(cv::Matx33d(h), src[i]) - truth[i]));
    return worst;
}

TEST(Homography, RecoversTheMapWithAndWithoutRansac) {
    const std::vector<cv::Point2d> src = lattice();
    std::vector<cv::Point2d> dst;
    for (const auto& p : src) dst.push_back(map(kPage, p));
    for (const double ransac : {0.0, 2.0}) {
        SCOPED_TRACE(ransac);
        cv::Mat mask;
        const cv::Mat h = find_homography(src, dst, ransac, mask);
        ASSERT_EQ(h.size(), cv::Size(3, 3));
        ASSERT_EQ(h.type(), CV_64F);
        EXPECT_DOUBLE_EQ(h.at<double>(2, 2), 1.0);
        EXPECT_LT(largest_error(h, src, dst), 1e-6);
        ASSERT_EQ(mask.rows, static_cast<int>(src.size()));
        EXPECT_EQ(cv::countNonZero(mask), mask.rows);
    }
}

// Rings found in the wrong place (a smudge, a neighbouring answer area):
// RANSAC leaves them out, the plain fit is pulled off by them.
TEST(Homography, RansacLeavesOutliersOut) {
    const std::vector<cv::Point2d> src = lattice();
    std::vector<cv::Point2d> truth, dst;
    std::mt19937 random(3);
    std::normal_distribution<double> jitter(0, 0.3);
    std::vector<bool> outlier(src.size(), false);
    for (std::size_t i = 0; i < src.size(); ++i) {
        truth.push_back(map(kPage, src[i]));
        cv::Point2d p = truth.back() + cv::Point2d(jitter(random), jitter(random));
        if (i % 5 == 2) {  // one in five: 15 to 60 pixels off
            outlier[i] = true;
            p += cv::Point2d(15.0 + 3 * (i % 16), -20.0 + 2 * (i % 21));
        }
        dst.push_back(p);
    }
    cv::Mat mask;
    const cv::Mat robust = find_homography(src, dst, 3.0, mask);
    ASSERT_FALSE(robust.empty());
    for (std::size_t i = 0; i < src.size(); ++i) EXPECT_EQ(mask.at<std::uint8_t>(static_cast<int>(i)) == 0, outlier[i]) << i;
    EXPECT_LT(largest_error(robust, src, truth), 0.5);

    cv::Mat all;
    const cv::Mat plain = find_homography(src, dst, 0, all);
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(cv::countNonZero(all), all.rows);
    EXPECT_GT(largest_error(plain, src, truth), 3.0);

    // The same points give the same fit, sample for sample.
    cv::Mat again_mask;
    const cv::Mat again = find_homography(src, dst, 3.0, again_mask);
    EXPECT_EQ(cv::norm(again, robust, cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(again_mask, mask, cv::NORM_INF), 0.0);
}

TEST(Homography, NoMapFromTooFewOrDegeneratePoints) {
    const std::vector<cv::Point2d> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    std::vector<cv::Point2d> line, line_dst;
    for (int i = 0; i < 12; ++i) {
        line.emplace_back(i, 2 * i);
        line_dst.emplace_back(3 * i, i + 1);
    }
    const std::vector<cv::Point2d> same(8, cv::Point2d(5, 5));
    struct Case {
        const char* name;
        std::vector<cv::Point2d> src, dst;
    };
    const std::vector<Case> cases = {
        {"three points", {{0, 0}, {1, 0}, {0, 1}}, {{0, 0}, {1, 0}, {0, 1}}},
        {"lists of different lengths", square, {{0, 0}, {10, 0}, {10, 10}}},
        {"all on one line", line, line_dst},
        {"all in one place", same, same},
    };
    for (const Case& c : cases) {
        for (const double ransac : {0.0, 2.0}) {
            SCOPED_TRACE(std::string(c.name) + (ransac > 0 ? " with RANSAC" : ""));
            cv::Mat mask(1, 1, CV_8U, cv::Scalar(7));
            EXPECT_TRUE(find_homography(c.src, c.dst, ransac, mask).empty());
            EXPECT_TRUE(mask.empty());
        }
    }
    // Four points in general position fix the map exactly.
    const std::vector<cv::Point2d> quad = {{3, 1}, {14, 2}, {12, 15}, {1, 11}};
    cv::Mat mask;
    const cv::Mat h = find_homography(square, quad, 2.0, mask);
    ASSERT_FALSE(h.empty());
    EXPECT_LT(largest_error(h, square, quad), 1e-9);
}

}  // namespace
}  // namespace idr::test
