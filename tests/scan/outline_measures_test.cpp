// An outline's length and moments in one walk must be exactly OpenCV's:
// the locator compares them with fixed limits, so a last-bit difference
// could take a ring in or out. Checked on outlines as the tracer gives
// them and on arbitrary polygons, both ways round.

#include "scan/outline_measures.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace idr::test {
namespace {

void expect_as_opencv(const std::vector<cv::Point>& points) {
    const scan::OutlineMeasures m = scan::measure_outline(points.data(), points.size());
    const cv::Moments cv_m = cv::moments(points);
    // Bit for bit: EXPECT_EQ, not a tolerance.
    EXPECT_EQ(m.perimeter, cv::arcLength(points, true));
    EXPECT_EQ(m.m00, cv_m.m00);
    EXPECT_EQ(m.m10, cv_m.m10);
    EXPECT_EQ(m.m01, cv_m.m01);
}

// Blobs, rings and specks of every size, traced as the locator traces them
// (runs kept as their ends) and with every pixel of the outline.
TEST(OutlineMeasures, AgreeWithOpenCvOnTracedOutlines) {
    std::mt19937 random(11);
    for (int picture = 0; picture < 12; ++picture) {
        cv::Mat dark(400, 500, CV_8UC1, cv::Scalar(0));
        std::uniform_int_distribution<int> x(0, 499), y(0, 399), r(1, 40);
        for (int i = 0; i < 60; ++i) {
            const cv::Point c(x(random), y(random));
            const int radius = r(random);
            if (i % 3 == 0) cv::circle(dark, c, radius, cv::Scalar(255), std::max(1, radius / 5));
            else if (i % 3 == 1) cv::circle(dark, c, radius, cv::Scalar(255), cv::FILLED);
            else cv::ellipse(dark, c, {radius, radius / 2 + 1}, i * 7.0, 0, 360, cv::Scalar(255), cv::FILLED);
        }
        cv::Mat noise(dark.size(), CV_8UC1);
        cv::randu(noise, 0, 256);
        dark.setTo(255, noise > 250);  // single pixels and two-pixel outlines
        for (const int method : {cv::CHAIN_APPROX_SIMPLE, cv::CHAIN_APPROX_NONE}) {
            std::vector<std::vector<cv::Point>> outlines;
            cv::findContours(dark.clone(), outlines, cv::RETR_CCOMP, method);
            ASSERT_GT(outlines.size(), 100u);
            for (const auto& o : outlines) expect_as_opencv(o);
        }
    }
}

// Polygons no tracer gives: long diagonal steps (whose lengths are not
// whole numbers), far from the origin, negative, both windings, and the
// degenerate ones (a point, a line there and back, all on one line).
TEST(OutlineMeasures, AgreeWithOpenCvOnArbitraryPolygons) {
    struct Case {
        std::string name;
        std::vector<cv::Point> points;
    };
    std::vector<Case> cases = {
        {"one point", {{5, 7}}},
        {"two points", {{0, 0}, {3, 4}}},
        {"collinear", {{0, 0}, {2, 2}, {5, 5}, {9, 9}}},
        {"square clockwise on screen", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}},
        {"square the other way", {{0, 0}, {0, 10}, {10, 10}, {10, 0}}},
        {"far from the origin", {{500000, 700000}, {500013, 700001}, {500007, 700019}}},
        {"negative", {{-40, -3}, {-1, -77}, {-60, -90}, {-95, -20}}},
    };
    std::mt19937 random(5);
    for (int i = 0; i < 300; ++i) {
        // The last hundred: sums past 2^53, where only the same order of
        // operations gives the same doubles.
        const int spread = i < 100 ? 50 : i < 200 ? 4000 : 3'000'000;
        std::uniform_int_distribution<int> coordinate(-spread, spread);
        std::uniform_int_distribution<int> count(3, 60);
        Case c{"random " + std::to_string(i), {}};
        for (int k = count(random); k > 0; --k) c.points.emplace_back(coordinate(random), coordinate(random));
        cases.push_back(std::move(c));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_as_opencv(c.points);
    }
}

TEST(OutlineMeasures, NoPointsMeasureNothing) {
    const scan::OutlineMeasures m = scan::measure_outline(nullptr, 0);
    EXPECT_EQ(m.perimeter, 0);
    EXPECT_EQ(m.m00, 0);
}

}  // namespace
}  // namespace idr::test
