// Reading whole pages: located, rectified, decided and clicked. Pages come
// from the test-page maker (known truth), the sample scans beside the
// checkout, and the built-in sheet itself, scaled and turned.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "form/form1.h"
#include "scan/encode.h"
#include "scan/load.h"
#include "scan/read_page.h"
#include "scan/rectify.h"
#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

using scan::PagePicture;
using scan::PageResult;

const std::string kSheetId = "5093719246";

bool sanitized() { return std::getenv("IDR_SANITIZED") != nullptr; }

PageResult read_image(const cv::Mat& image) {
    PagePicture p;
    p.image = image;
    p.full_size = image.size();
    return scan::read_page(p);
}

double corner_error(const scan::Registration& reg, const std::array<cv::Point2d, 4>& truth) {
    double worst = 0;
    for (int i = 0; i < 4; ++i)
        worst = std::max({worst, std::abs(reg.corners[i].x - truth[i].x), std::abs(reg.corners[i].y - truth[i].y)});
    return worst;
}

TEST(ReadPage, BuiltInSheetAsItStandsReadsWithTheWindowsDefaults) {
    PagePicture p;
    p.exact = Form1().picRedraw.surface;
    p.full_size = {block::kWidth, block::kHeight};
    const PageResult r = scan::read_page(p);
    EXPECT_EQ(r.status, "ok") << r.why;
    EXPECT_EQ(r.reading, kSheetId);
    EXPECT_EQ(r.threshold, "35");
    EXPECT_EQ(r.black_samples, "8");
    ASSERT_TRUE(r.form);
    EXPECT_EQ(r.form->Student_ID.Text, kSheetId);
    EXPECT_FALSE(r.registration);
}

// The built-in sheet scaled, turned and framed by paper is found and read
// like a scan; the rectified block puts every ring back on its design place.
TEST(ReadPage, BuiltInSheetScaledAndTurnedIsLocated) {
    const cv::Mat sheet = scan::to_mat(Form1().picRedraw.surface);
    struct Case {
        double scale, angle_deg;
    } cases[] = {{1.5, 2}, {1.0, -7}, {2.5, 12}, {0.8, -3}, {4.0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale) + " angle " + std::to_string(c.angle_deg));
        const cv::Size size(static_cast<int>(sheet.cols * c.scale) + 120, static_cast<int>(sheet.rows * c.scale) + 120);
        cv::Mat rot = cv::getRotationMatrix2D(cv::Point2f(sheet.cols / 2.0f, sheet.rows / 2.0f), c.angle_deg, c.scale);
        rot.at<double>(0, 2) += size.width / 2.0 - sheet.cols / 2.0;
        rot.at<double>(1, 2) += size.height / 2.0 - sheet.rows / 2.0;
        cv::Mat page;
        cv::warpAffine(sheet, page, rot, size, cv::INTER_AREA, cv::BORDER_CONSTANT, cv::Scalar::all(250));
        const PageResult r = read_image(page);
        ASSERT_EQ(r.status, "ok") << r.why;
        EXPECT_EQ(r.reading, kSheetId);
        EXPECT_EQ(r.form->Student_ID.Text, kSheetId);
        ASSERT_TRUE(r.registration);
        EXPECT_NEAR(r.registration->unit_px, c.scale, 0.02 * c.scale);
        EXPECT_NEAR(r.registration->angle_deg, -c.angle_deg, 0.3);
        // Corner bubble (column 1, digit 0): its centre through the same map.
        const cv::Point2d b = {block::bubble_centre_x(0) - 0.5, block::bubble_centre_y(0) - 0.5};
        const cv::Point2d expect = {rot.at<double>(0, 0) * b.x + rot.at<double>(0, 1) * b.y + rot.at<double>(0, 2),
                                    rot.at<double>(1, 0) * b.x + rot.at<double>(1, 1) * b.y + rot.at<double>(1, 2)};
        EXPECT_NEAR(r.registration->corners[0].x, expect.x, 0.5 * c.scale);
        EXPECT_NEAR(r.registration->corners[0].y, expect.y, 0.5 * c.scale);
    }
}

TEST(ReadPage, PicturesWithoutABlockAreNotFoundQuickly) {
    cv::Mat noise(900, 700, CV_8UC1);
    cv::randu(noise, 0, 256);
    cv::Mat white(1200, 900, CV_8UC3, cv::Scalar::all(255));
    cv::Mat tiny(1, 1, CV_8UC1, cv::Scalar(0));
    cv::Mat black(400, 300, CV_8UC1, cv::Scalar(0));
    for (const cv::Mat* m : {&noise, &white, &tiny, &black}) {
        const PageResult r = read_image(*m);
        EXPECT_EQ(r.status, "not-found") << m->cols << " x " << m->rows;
        EXPECT_FALSE(r.why.empty());
        EXPECT_FALSE(r.form);
    }
}

// Generated pages of every kind: statuses and readings as drawn, corners on
// the truth, and never a confident reading that differs from the truth.
TEST(ReadPage, GeneratedPagesReadToTheirTruth) {
    using pagegen::Kind;
    struct Case {
        Kind kind;
        int count;
    } cases[] = {{Kind::Scan, 8}, {Kind::Photo, 4}, {Kind::BlockOnly, 4}, {Kind::BackPage, 1}, {Kind::RingsOnly, 2}};
    int pages = 0, matched = 0, flagged = 0;
    for (const Case& c : cases) {
        const int count = sanitized() ? 1 : c.count;
        for (int i = 0; i < count; ++i) {
            const std::uint64_t seed = 1000 + 17 * static_cast<std::uint64_t>(i) + static_cast<std::uint64_t>(c.kind);
            const pagegen::GeneratedPage g = pagegen::make_page(pagegen::random_plan(seed, c.kind));
            SCOPED_TRACE(std::string(pagegen::kind_name(c.kind)) + " seed " + std::to_string(seed) + ": " +
                         g.truth.variant);
            const PageResult r = read_image(g.image);
            ++pages;
            if (g.truth.status == "not-found") {
                EXPECT_EQ(r.status, "not-found");
                matched += r.status == "not-found";
                continue;
            }
            ASSERT_TRUE(r.registration) << r.why;
            ASSERT_TRUE(g.truth.corners);
            EXPECT_LT(corner_error(*r.registration, *g.truth.corners), 0.5 * *g.truth.unit_px);
            // The one result a user cannot recover from.
            if (r.status == "ok") {
                EXPECT_EQ(r.reading, g.truth.reading) << "a wrong reading passed as sure";
            }
            // Every page right, or flagged for a person: a page to review
            // is never passed, an ok page at worst goes to review.
            if (g.truth.status == "review") {
                EXPECT_EQ(r.status, "review") << r.reading;
            }
            if (g.truth.status == "ok") {
                EXPECT_TRUE(r.status == "ok" || r.status == "review") << r.status << ": " << r.why;
                flagged += r.status != "ok";
            }
            matched += r.status == g.truth.status && r.reading == g.truth.reading;
        }
    }
    // Unsure and blank may trade places on review pages, and a hard page may
    // be flagged; but not many.
    EXPECT_LE(flagged * 5, pages) << flagged << " of " << pages << " ok pages flagged";
    EXPECT_GE(matched * 10, pages * 9) << matched << " of " << pages;
}

// Ring-like blobs beside the block and in place of some of its rings (a
// ring hidden by a smudge, a stray circle near it) neither shift the
// registration nor pull it off by a pitch.
TEST(ReadPage, StrayRingsNearTheBlockDoNotMoveTheRegistration) {
    const double scale = 2.0;
    cv::Mat sheet = scan::to_mat(Form1().picRedraw.surface);
    cv::Mat page(static_cast<int>(sheet.rows * scale) + 300, static_cast<int>(sheet.cols * scale) + 300, CV_8UC3,
                 cv::Scalar::all(250));
    cv::Mat big;
    cv::resize(sheet, big, cv::Size(), scale, scale, cv::INTER_CUBIC);
    const cv::Point origin(150, 150);
    big.copyTo(page(cv::Rect(origin, big.size())));
    auto at = [&](double bx, double by) {
        return cv::Point(static_cast<int>(std::lround(origin.x + scale * bx)),
                         static_cast<int>(std::lround(origin.y + scale * by)));
    };
    const cv::Scalar ink(29, 22, 55);
    const int radius = static_cast<int>(std::lround(scale * 9.15));
    // A column of rings a pitch left of the block, as if the grid went on.
    for (int r = 0; r < 10; ++r)
        cv::circle(page, at(block::bubble_centre_x(0) - 2 * block::kPitch, block::bubble_centre_y(r)), radius, ink,
                   static_cast<int>(scale * 1.7), cv::LINE_AA);
    // Eight rings rubbed out, each with a ring three to four units off where
    // it was: near enough to be taken for it, not near enough to fit.
    for (int i = 0; i < 8; ++i) {
        const int c = (3 * i + 1) % 10, r = (7 * i + 2) % 10;
        if (c == 0 || c == 9 || r == 0 || r == 9) continue;
        const cv::Point centre = at(block::bubble_centre_x(c), block::bubble_centre_y(r));
        const int half = static_cast<int>(scale * 11);
        cv::rectangle(page, cv::Rect(centre.x - half, centre.y - half, 2 * half, 2 * half), cv::Scalar::all(250),
                      cv::FILLED);
        cv::circle(page, centre + cv::Point(static_cast<int>(scale * 3), static_cast<int>(-scale * 2)), radius, ink,
                   static_cast<int>(scale * 1.7), cv::LINE_AA);
    }
    const PageResult r = read_image(page);
    ASSERT_TRUE(r.registration) << r.why;
    for (int i = 0; i < 4; ++i) {
        const int c = i == 1 || i == 2 ? 9 : 0, row = i >= 2 ? 9 : 0;
        const cv::Point2d want(origin.x + scale * block::bubble_centre_x(c) - 0.5,
                               origin.y + scale * block::bubble_centre_y(row) - 0.5);
        EXPECT_LT(cv::norm(r.registration->corners[i] - want) / scale, 0.15) << "corner " << i;
    }
    EXPECT_EQ(r.registration->turn, 0);
    EXPECT_FALSE(r.registration->mirrored);
}

// Every column marking the same digit leaves no empty ring in that row to
// measure the printing by; a block without marks has no filled ring to
// measure the marks by. Both still read as drawn.
TEST(ReadPage, SameDigitInEveryColumnAndNoMarksAtAll) {
    using pagegen::Mark;
    const struct {
        std::string id;  // '_' for a blank column
        Mark mark;
        int level;
    } cases[] = {
        {"0000000000", Mark::Pencil, 80}, {"7777777777", Mark::Pen, 25}, {"9999999990", Mark::Pencil, 120},
        {"__________", Mark::Blank, 0},   {"5_________", Mark::Pencil, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        pagegen::PagePlan plan = pagegen::random_plan(77, pagegen::Kind::Scan);
        plan.rotation_deg = 1.0;
        for (int col = 0; col < 10; ++col) {
            const char ch = c.id[static_cast<std::size_t>(col)];
            plan.columns[static_cast<std::size_t>(col)] =
                ch == '_' ? pagegen::ColumnMark{Mark::Blank, 0, -1, 0} : pagegen::ColumnMark{c.mark, ch - '0', -1, c.level};
        }
        const pagegen::GeneratedPage g = pagegen::make_page(plan);
        const PageResult r = read_image(g.image);
        EXPECT_EQ(r.reading, c.id) << r.why;
        const bool all_digits = c.id.find('_') == std::string::npos;
        EXPECT_EQ(r.status, all_digits ? "ok" : "review") << r.why;
    }
}

// A 300-dpi JPEG page decoded at half size, as the reader decodes pages this
// large: printing too small for the half-size picture is found on the look
// at full size (which starts there, not at a reduced copy of it); printing
// large enough is found at half size without decoding the page again.
TEST(ReadPage, HalfSizePagesTooSmallToReadThereAreReadAtFullSize) {
    const struct {
        double unit_px;  // at full size
        bool second_look;
    } cases[] = {{0.6, true}, {1.5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("unit " + std::to_string(c.unit_px));
        pagegen::PagePlan plan = pagegen::random_plan(11, pagegen::Kind::Scan);
        plan.dpi = 300;
        plan.unit_px = c.unit_px;
        plan.colour = false;
        plan.rotation_deg = 1.2;
        for (int col = 0; col < 10; ++col)
            plan.columns[static_cast<std::size_t>(col)] = {pagegen::Mark::Pencil, (3 * col + 1) % 10, -1, 70};
        plan.paper_width_in = 2480 / 300.0;
        plan.paper_height_in = 3508 / 300.0;
        const pagegen::GeneratedPage g = pagegen::make_page(plan);
        const std::vector<std::uint8_t> jpeg = scan::encode_jpeg(g.image, 90);
        auto opened = scan::open_scan_bytes(std::string(jpeg.begin(), jpeg.end()), "page");
        scan::PageSource& source = *std::get<std::unique_ptr<scan::PageSource>>(opened);
        auto half = std::get<scan::Page>(source.page(1, scan::PixelKind::Grey, 2));
        ASSERT_EQ(half.reduction, 2);
        PagePicture p;
        p.image = half.image;
        p.full_size = half.full_size;
        p.reduction = half.reduction;
        int full_decodes = 0;
        p.full_resolution = [&]() -> std::optional<cv::Mat> {
            ++full_decodes;
            return std::get<scan::Page>(source.page(1, scan::PixelKind::Grey, 1)).image;
        };
        const PageResult r = scan::read_page(p);
        EXPECT_EQ(full_decodes, c.second_look ? 1 : 0);
        EXPECT_EQ(r.status, "ok") << r.why;
        EXPECT_EQ(r.reading, g.truth.reading);
        ASSERT_TRUE(r.registration) << r.why;
        EXPECT_LT(corner_error(*r.registration, *g.truth.corners), 0.5 * *g.truth.unit_px);
        EXPECT_EQ(r.image_size, cv::Size(2480, 3508));
    }
}

TEST(ReadPage, SamplePagesReadToTheirTruth) {
    const std::filesystem::path dir = std::filesystem::path(IDR_SOURCE_DIR) / ".." / "shared" / "scans" / "sample";
    if (!std::filesystem::exists(dir / "truth.jsonl")) GTEST_SKIP() << "no sample scans at " << dir;
    if (sanitized()) GTEST_SKIP() << "the full-size pages take minutes under the sanitizers";
    std::ifstream truth_file(dir / "truth.jsonl");
    std::string line;
    int pages = 0;
    while (std::getline(truth_file, line)) {
        const auto t = nlohmann::json::parse(line);
        const std::string file = (dir / t["file"].get<std::string>()).string();
        SCOPED_TRACE(file);
        auto opened = scan::open_scan(file);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<scan::PageSource>>(opened));
        auto& source = std::get<std::unique_ptr<scan::PageSource>>(opened);
        auto page = source->page(t["page"].get<int>(), scan::PixelKind::Colour);
        ASSERT_TRUE(std::holds_alternative<scan::Page>(page));
        const PageResult r = read_image(std::get<scan::Page>(page).image);
        EXPECT_EQ(r.status, t["status"].get<std::string>()) << r.why;
        EXPECT_EQ(r.reading, t["reading"].is_null() ? "" : t["reading"].get<std::string>());
        if (r.status == "ok") {
            EXPECT_EQ(r.form->Student_ID.Text, r.reading);
        }
        if (!t["corners"].is_null()) {
            ASSERT_TRUE(r.registration);
            for (int i = 0; i < 4; ++i) {
                EXPECT_NEAR(r.registration->corners[i].x, t["corners"][i][0].get<double>(), 1.0);
                EXPECT_NEAR(r.registration->corners[i].y, t["corners"][i][1].get<double>(), 1.0);
            }
        }
        ++pages;
    }
    EXPECT_EQ(pages, 12);
}

}  // namespace
}  // namespace idr::test
