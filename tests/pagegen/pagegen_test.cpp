// The page maker's own promises: the same seed gives the same bytes, the
// truth's corners sit on the ring centres, the truth says what was drawn,
// and the written file decodes to the picture the truth describes.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <opencv2/imgproc.hpp>

#include "read_back.h"
#include "tools/pagegen/output.h"
#include "tools/pagegen/page.h"
#include "tools/pagegen/distortion.h"
#include "tools/pagegen/stack.h"

namespace idr::test {
namespace {

using namespace idr::pagegen;

// Small pages keep the tests quick: 100 dpi, one pixel per block unit.
PagePlan small_plan(Kind kind) {
    PagePlan p;
    p.kind = kind;
    p.dpi = 100;
    p.unit_px = 1.0;
    return p;
}

bool same_pixels(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

TEST(PageMaker, SameSeedSameBytesOtherSeedOtherPage) {
    for (Kind kind : {Kind::Scan, Kind::Photo, Kind::BlockOnly, Kind::BackPage, Kind::RingsOnly}) {
        SCOPED_TRACE(kind_name(kind));
        PagePlan plan = random_plan(42, kind);
        // Keep the drawn size small; every other choice stays the seed's.
        plan.dpi = 100;
        plan.unit_px = std::min(plan.unit_px, 1.2);
        const GeneratedPage a = make_page(plan), b = make_page(plan);
        EXPECT_TRUE(same_pixels(a.image, b.image));
        EXPECT_EQ(a.jpeg_bytes, b.jpeg_bytes);
        EXPECT_EQ(truth_json(a.truth).dump(), truth_json(b.truth).dump());
        EXPECT_EQ(random_plan(42, kind).seed, random_plan(42, kind).seed);

        PagePlan other = plan;
        other.seed = plan.seed + 1;
        EXPECT_FALSE(same_pixels(a.image, make_page(other).image));
    }
}

// The centroid of the dark pixels within a ring's outer radius of `at`. When
// `at` is off the ring's true centre, the window cuts the ring unevenly and
// the centroid moves towards the true centre.
cv::Point2d ring_centroid(const cv::Mat& image, cv::Point2d at, double unit_px) {
    cv::Mat grey = image;
    if (image.channels() == 3) cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    // Past the ring's outer radius (10 units) but short of the frame's bottom
    // rule, 11 units below the last row's centres.
    const double radius = 10.6 * unit_px;
    double sx = 0, sy = 0, sw = 0;
    for (int y = static_cast<int>(at.y - radius); y <= static_cast<int>(at.y + radius) + 1; ++y)
        for (int x = static_cast<int>(at.x - radius); x <= static_cast<int>(at.x + radius) + 1; ++x) {
            if (x < 0 || y < 0 || x >= grey.cols || y >= grey.rows) continue;
            if (std::hypot(x - at.x, y - at.y) > radius) continue;
            const double w = std::max(0, 200 - grey.at<std::uint8_t>(y, x));  // darkness
            sx += w * x;
            sy += w * y;
            sw += w;
        }
    return {sx / sw, sy / sw};
}

TEST(PageMaker, CornersSitOnTheCornerRingCentres) {
    struct Case {
        const char* name;
        Kind kind;
        double unit_px, rotation_deg, perspective;
        bool colour;
        Stack stack = {};
    };
    const Case cases[] = {
        {"scan turned a quarter", Kind::Scan, 2.0, 0, 0, false, {90}},
        {"scan turned three quarters, slightly skewed", Kind::Scan, 2.0, 2, 0, false, {270}},
        {"scan mirrored upside down", Kind::Scan, 2.0, 0, 0, false, {180, true}},
        {"upright scan, 2 px per unit", Kind::Scan, 2.0, 0, 0, false},
        {"upright scan, 1.37 px per unit, colour", Kind::Scan, 1.37, 0, 0, true},
        {"upright block alone, 3 px per unit", Kind::BlockOnly, 3.0, 0, 0, false},
        {"block alone turned 12 degrees", Kind::BlockOnly, 2.5, 12, 0, false},
        {"scan turned -7 degrees", Kind::Scan, 1.8, -7, 0, false},
        {"photo in perspective", Kind::Photo, 2.0, 5, 0.05, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PagePlan plan = small_plan(c.kind);
        plan.dpi = 100 * c.unit_px;  // the form's own print size
        plan.unit_px = c.unit_px;
        plan.rotation_deg = c.rotation_deg;
        plan.perspective = c.perspective;
        plan.colour = c.colour;
        plan.stack = c.stack;
        plan.handwriting = false;
        plan.fill_answers = false;
        for (auto& m : plan.columns) m.mark = Mark::Blank;  // nothing over the rings
        const GeneratedPage page = make_page(plan);
        ASSERT_TRUE(page.truth.corners.has_value());
        ASSERT_TRUE(page.truth.unit_px.has_value());
        if (c.perspective == 0) {
            EXPECT_NEAR(*page.truth.unit_px, c.unit_px, 1e-9);
        }
        for (const cv::Point2d& corner : *page.truth.corners) {
            const cv::Point2d found = ring_centroid(page.image, corner, *page.truth.unit_px);
            EXPECT_NEAR(found.x, corner.x, 0.15) << "corner " << corner;
            EXPECT_NEAR(found.y, corner.y, 0.15) << "corner " << corner;
        }
    }
}

// Turned and mirrored pictures: every pixel goes where the map says.
TEST(PageMaker, StackTurnsMoveEveryPixelWhereTheMapSays) {
    cv::Mat picture(5, 8, CV_8UC1);
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x) picture.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>(10 * y + x);
    for (const int turn : {0, 90, 180, 270})
        for (const bool mirrored : {false, true}) {
            SCOPED_TRACE(std::to_string(turn) + (mirrored ? " mirrored" : ""));
            Stack s;
            s.turn = turn, s.mirrored = mirrored;
            const Turned t = turn_picture(picture, s);
            EXPECT_EQ(t.image.total(), picture.total());
            for (int y = 0; y < picture.rows; ++y)
                for (int x = 0; x < picture.cols; ++x) {
                    const cv::Point2d p = map_point(t.map, {static_cast<double>(x), static_cast<double>(y)});
                    const int tx = static_cast<int>(std::lround(p.x)), ty = static_cast<int>(std::lround(p.y));
                    ASSERT_TRUE(tx >= 0 && ty >= 0 && tx < t.image.cols && ty < t.image.rows) << x << ", " << y;
                    EXPECT_EQ(t.image.at<std::uint8_t>(ty, tx), picture.at<std::uint8_t>(y, x)) << x << ", " << y;
                }
        }
    // A quarter turn counter-clockwise puts the top-left corner at the bottom left.
    Stack quarter;
    quarter.turn = 90;
    const Turned t = turn_picture(picture, quarter);
    EXPECT_EQ(t.image.size(), cv::Size(5, 8));
    EXPECT_EQ(t.image.at<std::uint8_t>(7, 0), picture.at<std::uint8_t>(0, 0));
}

TEST(PageMaker, BlackAndWhiteIsTwoLevelsThatKeepTheGrey) {
    cv::Mat grey(60, 80, CV_8UC1);
    for (int x = 0; x < grey.cols; ++x) grey.col(x).setTo(cv::Scalar(3 * x));  // 0 .. 237 left to right
    Stack threshold;
    threshold.bilevel = Bilevel::Threshold, threshold.cut = 0.5;
    const cv::Mat t = make_bilevel(grey, threshold, 240);
    Stack dither = threshold;
    dither.bilevel = Bilevel::Dither;
    const cv::Mat d = make_bilevel(grey, dither, 240);
    for (const cv::Mat* m : {&t, &d}) {
        ASSERT_EQ(m->type(), CV_8UC1);
        EXPECT_EQ(cv::countNonZero(*m == 0) + cv::countNonZero(*m == 255), static_cast<int>(m->total()));
    }
    // The cut is a share of the paper: 120 here.
    EXPECT_EQ(t.at<std::uint8_t>(10, 39), 0);    // 117
    EXPECT_EQ(t.at<std::uint8_t>(10, 41), 255);  // 123
    // Error diffusion keeps each band's grey in its density of dots.
    for (int x0 : {10, 40, 70}) {
        const cv::Rect band(x0, 0, 6, grey.rows);
        EXPECT_NEAR(cv::mean(d(band))[0], cv::mean(grey(band))[0], 12) << x0;
    }
}

// A page turned by 15 degrees about its centre would carry the block, near
// its top-left corner, out of a picture of the page's own size.
TEST(PageMaker, TurnedPagesKeepTheBlockInThePicture) {
    struct Case {
        Kind kind;
        double rotation_deg, perspective;
    };
    for (const Case c : {Case{Kind::Scan, 15, 0}, Case{Kind::Scan, -15, 0}, Case{Kind::Photo, 15, 0.1},
                         Case{Kind::Photo, -15, 0.1}, Case{Kind::BlockOnly, 15, 0}}) {
        SCOPED_TRACE(std::string(kind_name(c.kind)) + " turned " + std::to_string(c.rotation_deg));
        PagePlan plan = small_plan(c.kind);
        plan.rotation_deg = c.rotation_deg;
        plan.perspective = c.perspective;
        plan.margin_frac = 0;
        const Truth t = make_page(plan).truth;
        ASSERT_TRUE(t.corners.has_value());
        // The outer bubbles' centres, and their rings half a pitch further out.
        const double ring = 12.5 * *t.unit_px;
        for (const auto& p : *t.corners) {
            EXPECT_GE(p.x, ring);
            EXPECT_GE(p.y, ring);
            EXPECT_LE(p.x, t.width - 1 - ring);
            EXPECT_LE(p.y, t.height - 1 - ring);
        }
    }
}

TEST(PageMaker, TruthSaysWhatWasDrawn) {
    struct Case {
        const char* name;
        std::array<Mark, 10> marks;
        const char* reading;
        const char* status;
    };
    using enum Mark;
    const Case cases[] = {
        {"clean pencil and pen", {Pencil, Pen, Pencil, Pen, Pencil, Pen, Pencil, Pen, Pencil, Pen}, "0123456789", "ok"},
        {"one blank", {Pencil, Pencil, Blank, Pencil, Pencil, Pencil, Pencil, Pencil, Pencil, Pencil}, "01_3456789",
         "review"},
        {"every trouble",
         {Faint, Double, Blank, Erased, Ticked, Crossed, Pen, Pencil, Pencil, Pencil},
         "?*_???6789",
         "review"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PagePlan plan = small_plan(Kind::BlockOnly);
        for (int i = 0; i < 10; ++i) {
            auto& m = plan.columns[static_cast<std::size_t>(i)];
            m.mark = c.marks[static_cast<std::size_t>(i)];
            m.digit = i;
            m.second_digit = (i + 5) % 10;
        }
        const Truth t = make_page(plan).truth;
        EXPECT_EQ(t.reading, c.reading);
        EXPECT_EQ(t.status, c.status);
        EXPECT_EQ(t.intended, "0123456789");
        ASSERT_EQ(t.marks.size(), 10u);
        EXPECT_EQ(t.marks[0], mark_name(c.marks[0]));
    }
    for (Kind kind : {Kind::BackPage, Kind::RingsOnly}) {
        const Truth t = make_page(small_plan(kind)).truth;
        EXPECT_EQ(t.status, "not-found") << kind_name(kind);
        EXPECT_FALSE(t.corners.has_value());
        EXPECT_EQ(truth_json(t)["corners"], nullptr);
    }
}

TEST(PageMaker, WrittenFileDecodesToThePicture) {
    const auto dir = std::filesystem::path(IDR_BINARY_DIR) / "pagegen_test_files";
    std::filesystem::create_directories(dir);
    struct Case {
        FileFormat format;
        int jpeg_quality;
        bool colour;
    };
    for (const Case c : {Case{FileFormat::Png, 0, false}, Case{FileFormat::Png, 0, true},
                         Case{FileFormat::Jpeg, 70, false}, Case{FileFormat::Jpeg, 90, true},
                         Case{FileFormat::Tiff, 50, false}, Case{FileFormat::Tiff, 0, true}}) {
        SCOPED_TRACE(std::string(format_name(c.format)) + (c.colour ? " colour" : " grey"));
        PagePlan plan = small_plan(Kind::BlockOnly);
        plan.format = c.format;
        plan.jpeg_quality = c.jpeg_quality;
        plan.colour = c.colour;
        plan.noise_sigma = 2;
        const GeneratedPage page = make_page(plan);
        EXPECT_EQ(page.image.channels(), c.colour ? 3 : 1);
        const auto path = (dir / (std::string("page") + file_extension(c.format))).string();
        ASSERT_FALSE(write_page(page, c.format, path).has_value());
        const cv::Mat back = read_back(path, c.colour);
        EXPECT_TRUE(same_pixels(back, page.image));
    }
    const auto bad = (dir / "no such folder" / "page.png").string();
    const auto err = write_page(make_page(small_plan(Kind::BlockOnly)), FileFormat::Png, bad);
    ASSERT_TRUE(err.has_value());
    EXPECT_NE(err->find(bad), std::string::npos);
}

}  // namespace
}  // namespace idr::test
