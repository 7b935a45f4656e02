// The outline tracer must give exactly what OpenCV's tracer gives the
// locator: every outline in the same order, with the same hole flag, box and
// points, and leave the same marks in the picture. OpenCV's own tracer,
// called as the locator called it, is the judge, on pictures made to reach
// its corners (noise dense enough to reuse every mark value, holes inside
// holes, shapes on the frame, lone pixels, diagonal links, one-pixel lines)
// and on real and generated pages thresholded as the locator thresholds them.

#include "scan/outline_tracer.h"

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/imgproc_c.h>

#include "scan/load.h"
#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

struct Traced {
    std::vector<cv::Point> points;
    cv::Rect box;
    bool hole = false;
};

// OpenCV's tracer through the C API, its tree walked as the locator walked
// it: each outline, then the ones inside it, then the next.
std::vector<Traced> opencv_outlines(cv::Mat& framed) {
    cv::MemStorage storage(cvCreateMemStorage(0));
    CvMat header = cvMat(framed);
    CvSeq* outline = nullptr;
    cvFindContours(&header, storage, &outline, sizeof(CvContour), CV_RETR_CCOMP, CV_CHAIN_APPROX_SIMPLE,
                   cvPoint(-1, -1));
    std::vector<Traced> out;
    int level = 0;
    while (outline != nullptr) {
        Traced t;
        t.points.resize(static_cast<std::size_t>(outline->total));
        if (!t.points.empty()) cvCvtSeqToArray(outline, t.points.data());
        const CvRect r = reinterpret_cast<const CvContour*>(outline)->rect;
        t.box = cv::Rect(r.x, r.y, r.width, r.height);
        t.hole = outline->v_prev != nullptr;
        out.push_back(std::move(t));
        if (outline->v_next) {
            ++level;
            outline = outline->v_next;
            continue;
        }
        while (outline != nullptr && outline->h_next == nullptr) {
            outline = outline->v_prev;
            if (--level < 0) outline = nullptr;
        }
        if (outline != nullptr) outline = outline->h_next;
    }
    return out;
}

// `picture` as the locator hands it over: inside a frame of background.
cv::Mat framed_copy(const cv::Mat& picture) {
    cv::Mat framed;
    cv::copyMakeBorder(picture, framed, 1, 1, 1, 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    return framed;
}

// Both tracers on copies of `framed`; the first difference is reported.
void expect_as_opencv(const cv::Mat& framed) {
    cv::Mat theirs = framed.clone(), mine = framed.clone();
    const std::vector<Traced> expected = opencv_outlines(theirs);
    scan::OutlineTracer tracer;
    tracer.trace(mine);
    const auto& got = tracer.outlines();
    ASSERT_EQ(got.size(), expected.size()) << "outlines";
    for (std::size_t i = 0; i < got.size(); ++i) {
        const std::vector<cv::Point> points(tracer.points_of(got[i]), tracer.points_of(got[i]) + got[i].count);
        ASSERT_EQ(got[i].hole, expected[i].hole) << "outline " << i;
        ASSERT_EQ(got[i].box, expected[i].box) << "outline " << i;
        ASSERT_EQ(points, expected[i].points) << "outline " << i;
    }
    // The marks decide where later borders start: the same marks, pixel for
    // pixel, whatever the outlines so far.
    EXPECT_EQ(cv::countNonZero(mine != theirs), 0) << "marks left in the picture";
}

cv::Mat noise(cv::Size size, double density, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution dark(density);
    cv::Mat m(size, CV_8UC1);
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) m.at<std::uint8_t>(y, x) = dark(random) ? 255 : 0;
    return m;
}

// Rings, discs and boxes of random sizes drawn over each other with XOR, so
// that shapes sit in holes that sit in shapes, several levels deep, and some
// cross the picture's edge.
cv::Mat nested_shapes(cv::Size size, int shapes, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> x(-10, size.width + 10), y(-10, size.height + 10), r(0, 60), kind(0, 4);
    cv::Mat m(size, CV_8UC1, cv::Scalar(0));
    for (int i = 0; i < shapes; ++i) {
        cv::Mat layer(size, CV_8UC1, cv::Scalar(0));
        const cv::Point c(x(random), y(random));
        const int radius = r(random);
        switch (kind(random)) {
            case 0: cv::circle(layer, c, radius, cv::Scalar(255), cv::FILLED); break;
            case 1: cv::circle(layer, c, radius, cv::Scalar(255), 1 + radius / 8); break;
            case 2: cv::rectangle(layer, c, c + cv::Point(radius, radius / 2 + 1), cv::Scalar(255), cv::FILLED); break;
            case 3: cv::rectangle(layer, c, c + cv::Point(radius / 2 + 1, radius), cv::Scalar(255), 1); break;
            default: cv::line(layer, c, c + cv::Point(radius, radius / 3), cv::Scalar(255), 1, cv::LINE_8); break;
        }
        cv::bitwise_xor(m, layer, m);
    }
    return m;
}

// Noise crossed by long thick polylines: borders with large boxes holding
// thousands of others, so that a mark value seen on a hole's left has
// several borders it could come from, and the newest is not always it.
cv::Mat noise_and_polylines(cv::Size size, std::uint32_t seed) {
    std::mt19937 random(seed);
    cv::Mat m = noise(size, std::uniform_real_distribution<double>(0.02, 0.4)(random), seed);
    std::uniform_int_distribution<int> x(0, size.width - 1), y(0, size.height - 1);
    for (int k = 0; k < 6; ++k) {
        std::vector<cv::Point> poly;
        for (int j = 0; j < 5; ++j) poly.push_back({x(random), y(random)});
        cv::polylines(m, poly, k % 2 == 1, cv::Scalar(255), 1 + k % 3);
    }
    return m;
}

cv::Mat from_rows(const std::vector<std::string>& rows) {
    cv::Mat m(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()), CV_8UC1);
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) m.at<std::uint8_t>(y, x) = rows[y][x] == '#' ? 255 : 0;
    return m;
}

TEST(OutlineTracer, TracesExactlyAsOpenCv) {
    struct Case {
        std::string name;
        std::function<cv::Mat()> picture;
    };
    const std::vector<Case> cases = {
        {"empty", [] { return cv::Mat(20, 30, CV_8UC1, cv::Scalar(0)); }},
        {"all dark", [] { return cv::Mat(20, 30, CV_8UC1, cv::Scalar(255)); }},
        {"one pixel picture, dark", [] { return cv::Mat(1, 1, CV_8UC1, cv::Scalar(255)); }},
        {"one row", [] { return from_rows({"##.#.###..#"}); }},
        {"one column", [] { return from_rows({"#", "#", ".", "#", "."}); }},
        {"lone pixels and pairs", [] { return from_rows({"#.#..##.", "........", ".#.#....", "#...#..#"}); }},
        {"diagonal links only", [] { return from_rows({"#...#...", ".#.#....", "..#....#", ".#.#..#.", "#...##.."}); }},
        {"checkerboard", [] {
             cv::Mat m(24, 31, CV_8UC1);
             for (int y = 0; y < m.rows; ++y)
                 for (int x = 0; x < m.cols; ++x) m.at<std::uint8_t>(y, x) = (x + y) % 2 ? 255 : 0;
             return m;
         }},
        {"one-pixel lines", [] {
             cv::Mat m(60, 80, CV_8UC1, cv::Scalar(0));
             cv::line(m, {2, 3}, {70, 3}, cv::Scalar(255));
             cv::line(m, {5, 5}, {5, 50}, cv::Scalar(255));
             cv::line(m, {10, 10}, {60, 55}, cv::Scalar(255));
             cv::line(m, {75, 8}, {20, 58}, cv::Scalar(255));
             cv::line(m, {0, 59}, {79, 59}, cv::Scalar(255));  // along the edge
             return m;
         }},
        {"holes in holes", [] {
             cv::Mat m(120, 120, CV_8UC1, cv::Scalar(0));
             for (int r = 58; r > 0; r -= 6) cv::circle(m, {60, 60}, r, cv::Scalar(r % 12 ? 255 : 0), cv::FILLED);
             cv::rectangle(m, {2, 2}, {30, 30}, cv::Scalar(255), 3);
             cv::rectangle(m, {8, 8}, {24, 24}, cv::Scalar(255), 1);
             cv::rectangle(m, {14, 14}, {18, 18}, cv::Scalar(255), cv::FILLED);
             return m;
         }},
        {"shapes on the edge", [] {
             cv::Mat m(50, 70, CV_8UC1, cv::Scalar(255));
             cv::circle(m, {35, 25}, 15, cv::Scalar(0), cv::FILLED);
             cv::circle(m, {35, 25}, 6, cv::Scalar(255), cv::FILLED);
             cv::rectangle(m, {0, 0}, {8, 49}, cv::Scalar(0), cv::FILLED);
             cv::circle(m, {0, 25}, 5, cv::Scalar(255), 1);
             cv::circle(m, {69, 49}, 9, cv::Scalar(0), 2);
             return m;
         }},
        {"any dark value", [] {
             // Dark is any nonzero value, as for OpenCV, not only 255.
             cv::Mat m = noise({90, 70}, 0.4, 3);
             cv::Mat values(m.size(), CV_8UC1);
             cv::randu(values, 1, 256);
             values.copyTo(m, m);
             return m;
         }},
        {"noise inside big rings", [] {
             // Many borders inside a few large boxes: the same mark values
             // reused inside one box, so finding a hole's border by its mark
             // has several to choose from.
             cv::Mat m = noise({300, 260}, 0.45, 9);
             for (int r = 20; r < 140; r += 25) cv::circle(m, {150, 130}, r, cv::Scalar(255), 3);
             cv::rectangle(m, {5, 5}, {294, 254}, cv::Scalar(255), 4);
             return m;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_as_opencv(framed_copy(c.picture()));
    }
}

// Random pictures: noise from sparse to nearly full (thousands of borders,
// so the 126 mark values are reused many times over), and nested shapes.
TEST(OutlineTracer, TracesRandomPicturesExactlyAsOpenCv) {
    for (const double density : {0.02, 0.1, 0.3, 0.5, 0.7, 0.9, 0.97}) {
        for (std::uint32_t seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE("noise " + std::to_string(density) + " seed " + std::to_string(seed));
            expect_as_opencv(framed_copy(noise({160 + 17 * static_cast<int>(seed), 120}, density, seed)));
        }
    }
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("shapes seed " + std::to_string(seed));
        expect_as_opencv(framed_copy(nested_shapes({200, 150}, 10 + static_cast<int>(seed % 7) * 8, seed)));
    }
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("noise and polylines seed " + std::to_string(seed));
        expect_as_opencv(framed_copy(noise_and_polylines({400, 300}, seed)));
    }
}

// A frame left dark by the caller is cleared, as OpenCV clears it, rather
// than followed out of the picture.
TEST(OutlineTracer, ClearsADarkFrame) {
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        expect_as_opencv(noise({50, 40}, 0.6, seed));
        expect_as_opencv(cv::Mat(6, 9, CV_8UC1, cv::Scalar(255)));
    }
}

// Pages thresholded as the locator thresholds them: against the local mean
// and with one level, at the size read and halved, and closed.
void expect_page_as_opencv(const cv::Mat& grey) {
    const int long_side = std::max(grey.cols, grey.rows);
    for (const double scale : {1.0, 0.5}) {
        cv::Mat picture;
        if (scale == 1.0) picture = grey;
        else cv::resize(grey, picture, {}, scale, scale, cv::INTER_AREA);
        cv::Mat local, one, closed;
        const int block = std::clamp(static_cast<int>(long_side * scale) / 45, 9, 101) | 1;
        cv::adaptiveThreshold(picture, local, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, block, 12);
        cv::threshold(picture, one, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
        cv::morphologyEx(local, closed, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, {3, 3}));
        for (const cv::Mat* binary : {&local, &one, &closed}) expect_as_opencv(framed_copy(*binary));
    }
}

TEST(OutlineTracer, TracesSamplePagesExactlyAsOpenCv) {
    const std::filesystem::path dir = std::filesystem::path(IDR_SOURCE_DIR) / ".." / "shared" / "scans" / "sample";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no sample scans at " << dir;
    int pages = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".png" && ext != ".jpg") continue;
        SCOPED_TRACE(entry.path().filename().string());
        auto opened = scan::open_scan(entry.path().string());
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<scan::PageSource>>(opened));
        auto page = std::get<std::unique_ptr<scan::PageSource>>(opened)->page(1, scan::PixelKind::Grey);
        ASSERT_TRUE(std::holds_alternative<scan::Page>(page));
        expect_page_as_opencv(std::get<scan::Page>(page).image);
        ++pages;
    }
    EXPECT_GT(pages, 0);
}

TEST(OutlineTracer, TracesGeneratedPagesExactlyAsOpenCv) {
    for (const auto kind : {pagegen::Kind::Scan, pagegen::Kind::Photo}) {
        for (std::uint64_t seed = 1; seed <= 2; ++seed) {
            SCOPED_TRACE(std::string(pagegen::kind_name(kind)) + " seed " + std::to_string(seed));
            cv::Mat image = pagegen::make_page(pagegen::random_plan(seed, kind)).image;
            if (image.channels() == 3) cv::cvtColor(image, image, cv::COLOR_BGR2GRAY);
            expect_page_as_opencv(image);
        }
    }
}

}  // namespace
}  // namespace idr::test
