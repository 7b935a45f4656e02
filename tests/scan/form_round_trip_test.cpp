// The printable form, filled in and scanned, reads back to the filled ID:
// rendered at the resolutions scanners use, ten bubbles filled with grey
// pencil-like discs, turned by a few degrees, then read like any scan.

#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "printing/form_drawing.h"
#include "scan/read_page.h"

namespace idr::test {
namespace {

TEST(FormRoundTrip, FilledFormReadsToTheFilledId) {
    const struct {
        double dpi, angle_deg;
        printing::Paper paper;
        std::string id;
    } cases[] = {
        {150, 2.5, printing::Paper::A4, "3141592653"},
        {200, -3.0, printing::Paper::Letter, "0000011111"},
        {300, 1.0, printing::Paper::A4, "9876543210"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " dpi, " + std::to_string(c.angle_deg) + " degrees");
        const printing::RgbImage form = printing::render_form(c.paper, c.dpi);
        ASSERT_GT(form.width, 0);
        cv::Mat page(form.height, form.width, CV_8UC3, const_cast<std::uint8_t*>(form.rgb.data()));
        cv::cvtColor(page, page, cv::COLOR_RGB2GRAY);

        // Pencil: a grey disc a little smaller than the ring, a little off
        // centre, with grain.
        const printing::FormPlacement at = printing::form_placement(c.paper);
        const double px_per_pt = c.dpi / 72.0, unit = at.unit_pt * px_per_pt;
        std::mt19937 rng(static_cast<unsigned>(c.dpi));
        std::uniform_real_distribution<double> jitter(-0.8, 0.8);
        for (int col = 0; col < 10; ++col) {
            const int digit = c.id[static_cast<std::size_t>(col)] - '0';
            const double x = (at.block_left_pt + block::bubble_centre_x(col) * at.unit_pt) * px_per_pt - 0.5;
            const double y = (at.block_top_pt + block::bubble_centre_y(digit) * at.unit_pt) * px_per_pt - 0.5;
            cv::Mat mark = cv::Mat::zeros(page.size(), CV_8UC1);
            cv::circle(mark, cv::Point(static_cast<int>(std::lround((x + jitter(rng) * unit) * 16)),
                                       static_cast<int>(std::lround((y + jitter(rng) * unit) * 16))),
                       static_cast<int>(std::lround(8.0 * unit * 16)), cv::Scalar(255), cv::FILLED, cv::LINE_AA, 4);
            cv::Mat grain(page.size(), CV_8UC1);
            cv::randu(grain, 70, 110);
            grain.copyTo(page, mark);
        }

        cv::Mat turned;
        const cv::Mat rot = cv::getRotationMatrix2D(cv::Point2f(page.cols / 2.0f, page.rows / 2.0f), c.angle_deg, 1.0);
        cv::warpAffine(page, turned, rot, page.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255));

        scan::PagePicture picture;
        picture.image = turned;
        picture.full_size = turned.size();
        const scan::PageResult r = scan::read_page(picture);
        ASSERT_EQ(r.status, "ok") << r.why << " reading " << r.reading;
        EXPECT_EQ(r.reading, c.id);
        EXPECT_EQ(r.form->Student_ID.Text, c.id);
        ASSERT_TRUE(r.registration);
        EXPECT_NEAR(r.registration->unit_px, c.dpi / 100.0, 0.02 * c.dpi / 100.0);
        EXPECT_NEAR(r.registration->angle_deg, -c.angle_deg, 0.3);
    }
}

// A page that takes longer than its time limit ends in a named error, not a hang.
TEST(FormRoundTrip, TimeLimitEndsThePageWithANamedError) {
    const printing::RgbImage form = printing::render_form(printing::Paper::A4, 150);
    cv::Mat page(form.height, form.width, CV_8UC3, const_cast<std::uint8_t*>(form.rgb.data()));
    scan::PagePicture picture;
    picture.image = page.clone();
    picture.full_size = page.size();
    scan::ReadOptions options;
    options.time_limit = std::chrono::milliseconds(0);
    const scan::PageResult r = scan::read_page(picture, options);
    EXPECT_EQ(r.status, "error");
    EXPECT_NE(r.why.find("time limit"), std::string::npos) << r.why;
}

}  // namespace
}  // namespace idr::test
