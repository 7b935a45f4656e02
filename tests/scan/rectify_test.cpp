// The window's picture from a block: a grey block gives the same surface
// as the same block made colour (the page reader builds it from the grey),
// and a colour one keeps its channels, also from a part of a larger picture.

#include "scan/rectify.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace idr::test {
namespace {

TEST(ToSurface, GreyAndTheSameGreyInColourGiveOneSurface) {
    cv::Mat ramp(16, 16, CV_8UC1);
    for (int v = 0; v < 256; ++v) ramp.at<std::uint8_t>(v / 16, v % 16) = static_cast<std::uint8_t>(v);
    cv::Mat noise(37, 53, CV_8UC1);
    cv::randu(noise, 0, 256);
    cv::Mat big(90, 120, CV_8UC1);
    cv::randu(big, 0, 256);
    struct Case {
        std::string name;
        cv::Mat grey;
    };
    const std::vector<Case> cases = {
        {"every level", ramp}, {"noise", noise}, {"a part of a larger picture", big(cv::Rect(7, 11, 61, 43))}, {"empty", cv::Mat(0, 0, CV_8UC1)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cv::Mat colour;
        if (!c.grey.empty()) cv::cvtColor(c.grey, colour, cv::COLOR_GRAY2BGR);
        else colour = cv::Mat(0, 0, CV_8UC3);
        const Surface from_grey = scan::to_surface(c.grey);
        EXPECT_EQ(from_grey, scan::to_surface(colour));
        EXPECT_EQ(from_grey.width(), c.grey.cols);
        EXPECT_EQ(from_grey.height(), c.grey.rows);
    }
}

TEST(ToSurface, ColourKeepsItsChannels) {
    cv::Mat big(40, 50, CV_8UC3);
    cv::randu(big, 0, 256);
    const cv::Mat part = big(cv::Rect(3, 5, 31, 17));
    const Surface s = scan::to_surface(part);
    const cv::Vec3b p = part.at<cv::Vec3b>(9, 20);
    // 0x00BBGGRR from OpenCV's blue, green, red.
    EXPECT_EQ(s.pixel(20, 9), p[0] * 65536 + p[1] * 256 + p[2]);
    const cv::Mat back = scan::to_mat(s);
    EXPECT_EQ(cv::norm(back, part, cv::NORM_INF), 0);
}

}  // namespace
}  // namespace idr::test
