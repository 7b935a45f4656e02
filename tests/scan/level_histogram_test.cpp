// The level counts and Otsu's threshold from them: the threshold must be
// exactly the level cv::threshold picks with THRESH_OTSU (the locator's
// candidates follow from it), over pictures of every kind of histogram.

#include "scan/level_histogram.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

int opencv_otsu(const cv::Mat& grey) {
    cv::Mat out;
    return static_cast<int>(cv::threshold(grey, out, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU));
}

struct Picture {
    std::string name;
    cv::Mat grey;
};

std::vector<Picture> pictures() {
    std::vector<Picture> out;
    std::mt19937 random(2026);
    auto filled = [](int w, int h, int v) { return cv::Mat(h, w, CV_8UC1, cv::Scalar(v)); };
    out.push_back({"one pixel", filled(1, 1, 77)});
    out.push_back({"all black", filled(33, 17, 0)});
    out.push_back({"all white", filled(64, 64, 255)});
    {
        cv::Mat two = filled(101, 13, 250);
        two(cv::Rect(0, 0, 3, 13)).setTo(12);  // a level of a few pixels
        out.push_back({"paper and a little ink", two});
    }
    {
        cv::Mat two = filled(7, 5, 0);
        two.at<std::uint8_t>(2, 3) = 255;  // a class of one pixel in 35
        out.push_back({"one light pixel", two});
    }
    {
        // One pixel in more than 1/FLT_EPSILON: that class counts as empty.
        cv::Mat huge = filled(4200, 2100, 200);
        huge.at<std::uint8_t>(0, 0) = 3;
        out.push_back({"one dark pixel in nine million", huge});
    }
    for (int i = 0; i < 40; ++i) {
        std::uniform_int_distribution<int> side(1, 300);
        cv::Mat m(side(random), side(random), CV_8UC1);
        const int kind = i % 4;
        if (kind == 0) {
            cv::randu(m, 0, 256);
        } else if (kind == 1) {
            // Two modes: paper and ink, with noise of a few levels.
            std::normal_distribution<double> paper(230, 6), ink(40, 15);
            std::bernoulli_distribution is_ink(0.1 + 0.02 * i);
            for (auto it = m.begin<std::uint8_t>(); it != m.end<std::uint8_t>(); ++it)
                *it = cv::saturate_cast<std::uint8_t>(is_ink(random) ? ink(random) : paper(random));
        } else if (kind == 2) {
            // A handful of levels only, some of them tied.
            std::uniform_int_distribution<int> level(0, 4);
            const int levels[] = {0, 64, 128, 192, 255};
            for (auto it = m.begin<std::uint8_t>(); it != m.end<std::uint8_t>(); ++it)
                *it = static_cast<std::uint8_t>(levels[level(random)]);
        } else {
            // A ramp: every level about equally often.
            for (int y = 0; y < m.rows; ++y)
                for (int x = 0; x < m.cols; ++x)
                    m.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>((x * 7 + y * 3 + i) & 255);
        }
        const std::string size = std::to_string(m.cols) + " x " + std::to_string(m.rows);
        out.push_back({"random " + std::to_string(i) + " (" + size + ")", m});
    }
    {
        // A part of a larger picture: rows not next to each other in memory.
        cv::Mat big(200, 300, CV_8UC1);
        cv::randu(big, 100, 200);
        out.push_back({"a region", big(cv::Rect(13, 7, 251, 150))});
    }
    {
        pagegen::PagePlan plan;
        const pagegen::GeneratedPage page = pagegen::make_page(plan);
        cv::Mat grey;
        if (page.image.channels() == 3) cv::cvtColor(page.image, grey, cv::COLOR_BGR2GRAY);
        else grey = page.image;
        out.push_back({"a generated answer sheet", grey});
    }
    return out;
}

TEST(LevelHistogram, OtsuLevelIsOpenCvs) {
    for (const Picture& p : pictures()) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(scan::otsu_level(scan::count_levels(p.grey)), opencv_otsu(p.grey));
    }
}

// Every `step`-th row and the rows between them: together the whole
// picture, each level counted as a plain loop counts it.
TEST(LevelHistogram, SampledAndBetweenRowsMakeTheWhole) {
    for (const Picture& p : pictures()) {
        if (p.grey.total() > 1'000'000) continue;  // the huge one is there for Otsu's edge case alone
        for (const int step : {1, 2, 3, 8, 1000}) {
            SCOPED_TRACE(p.name + ", every " + std::to_string(step) + " rows");
            scan::LevelHistogram sampled, between;
            for (int y = 0; y < p.grey.rows; ++y)
                for (int x = 0; x < p.grey.cols; ++x) {
                    scan::LevelHistogram& h = y % step == 0 ? sampled : between;
                    ++h.count[p.grey.at<std::uint8_t>(y, x)];
                    ++h.total;
                }
            const scan::LevelHistogram got_sampled = scan::count_levels(p.grey, step);
            const scan::LevelHistogram got_between = scan::count_levels(p.grey, step, scan::RowSample::Between);
            EXPECT_EQ(got_sampled.count, sampled.count);
            EXPECT_EQ(got_sampled.total, sampled.total);
            EXPECT_EQ(got_between.count, between.count);
            EXPECT_EQ(got_between.total, between.total);
            scan::LevelHistogram sum = got_sampled;
            sum += got_between;
            EXPECT_EQ(scan::otsu_level(sum), opencv_otsu(p.grey));
        }
    }
}

TEST(LevelHistogram, NothingCountedHasLevelZero) {
    const scan::LevelHistogram none = scan::count_levels(cv::Mat());
    EXPECT_EQ(none.total, 0u);
    EXPECT_EQ(scan::otsu_level(none), 0);
}

}  // namespace
}  // namespace idr::test
