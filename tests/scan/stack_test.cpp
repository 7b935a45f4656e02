// Pages as a real stack brings them: turned a quarter or half turn, scanned
// through the back (mirrored), black and white (thresholded or dithered, in
// 1-bit files), and pictures that are no sheet at all, which must end soon.

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <opencv2/imgproc.hpp>

#include "scan/load.h"
#include "scan/read_page.h"
#include "tools/pagegen/output.h"
#include "tools/pagegen/page.h"
#include "tools/pagegen/random.h"
#include "tools/pagegen/stack.h"

namespace idr::test {
namespace {

namespace fs = std::filesystem;
using pagegen::Bilevel;
using pagegen::BilevelFile;
using scan::PageResult;

bool sanitized() { return std::getenv("IDR_SANITIZED") != nullptr; }

PageResult read_image(const cv::Mat& image, std::chrono::milliseconds limit = std::chrono::milliseconds(20000)) {
    scan::PagePicture p;
    p.image = image;
    p.full_size = image.size();
    scan::ReadOptions options;
    options.time_limit = limit;
    return scan::read_page(p, options);
}

// The largest distance of a corner from the truth, in block units.
double corner_error_units(const scan::Registration& reg, const pagegen::Truth& t) {
    double worst = 0;
    for (int i = 0; i < 4; ++i) worst = std::max(worst, cv::norm(reg.corners[i] - (*t.corners)[i]));
    return worst / *t.unit_px;
}

// The page as it comes back from its file (1-bit pages through the loader).
cv::Mat as_loaded(const pagegen::GeneratedPage& g, const std::string& name) {
    if (!g.bilevel_file) return g.image;
    const fs::path dir = fs::path(IDR_BINARY_DIR) / "test_scratch" / "stack";
    fs::create_directories(dir);
    const std::string path = (dir / name).string();
    const auto trouble = pagegen::write_page(g, pagegen::FileFormat::Tiff, path);
    EXPECT_FALSE(trouble) << *trouble;
    auto opened = scan::open_scan(path);
    if (!std::holds_alternative<std::unique_ptr<scan::PageSource>>(opened)) {
        ADD_FAILURE() << std::get<scan::LoadError>(opened).message;
        return {};
    }
    auto page = std::get<std::unique_ptr<scan::PageSource>>(opened)->page(1, scan::PixelKind::Grey);
    if (!std::holds_alternative<scan::Page>(page)) {
        ADD_FAILURE() << std::get<scan::LoadError>(page).message;
        return {};
    }
    return std::get<scan::Page>(page).image;
}

TEST(Stack, TurnedMirroredAndBlackAndWhitePagesReadAsTheUprightOne) {
    using pagegen::Kind;
    struct Case {
        const char* name;
        Kind kind;
        int turn;
        bool mirrored;
        Bilevel bilevel;
        double cut;
        BilevelFile file;
        double dpi;
    } cases[] = {
        {"quarter turn", Kind::Scan, 90, false, Bilevel::None, 0, BilevelFile::TiffG4, 200},
        {"half turn", Kind::Scan, 180, false, Bilevel::None, 0, BilevelFile::TiffG4, 200},
        {"three quarters", Kind::Scan, 270, false, Bilevel::None, 0, BilevelFile::TiffG4, 150},
        {"photo, quarter turn", Kind::Photo, 90, false, Bilevel::None, 0, BilevelFile::TiffG4, 200},
        {"mirrored", Kind::Scan, 0, true, Bilevel::None, 0, BilevelFile::TiffG4, 200},
        {"mirrored top to bottom", Kind::Scan, 180, true, Bilevel::None, 0, BilevelFile::TiffG4, 200},
        {"block alone, mirrored and turned", Kind::BlockOnly, 270, true, Bilevel::None, 0, BilevelFile::TiffG4, 200},
        {"black and white at 42 %, G4", Kind::Scan, 0, false, Bilevel::Threshold, 0.42, BilevelFile::TiffG4, 300},
        {"black and white at 58 %, 1-bit PNG", Kind::Scan, 0, false, Bilevel::Threshold, 0.58, BilevelFile::Png1, 200},
        {"black and white upside down, G3", Kind::Scan, 180, false, Bilevel::Threshold, 0.5, BilevelFile::TiffG3, 200},
        {"dithered, G4", Kind::Scan, 0, false, Bilevel::Dither, 0.5, BilevelFile::TiffG4, 300},
    };
    int index = 0;
    for (const Case& c : cases) {
        if (sanitized() && index++ % 3 != 0) continue;  // a third of them: the sanitizers are slow
        pagegen::PagePlan plan = pagegen::random_plan(300 + static_cast<std::uint64_t>(&c - cases), c.kind);
        plan.dpi = c.dpi;
        plan.unit_px = c.kind == Kind::BlockOnly ? 1.2 : c.dpi / 200.0;
        plan.rotation_deg = std::clamp(plan.rotation_deg, -4.0, 4.0);
        plan.stack = {c.turn, c.mirrored, c.bilevel, c.cut, c.file};
        // Marks that a threshold keeps.
        if (c.bilevel == Bilevel::Threshold)
            for (auto& col : plan.columns) col.level = std::min(col.level, pagegen::darkest_surviving_pencil(c.cut));
        const pagegen::GeneratedPage g = pagegen::make_page(plan);
        const pagegen::Truth& t = g.truth;
        SCOPED_TRACE(std::string(c.name) + ": " + t.variant + ", truth " + t.status + " " + t.reading);
        const cv::Mat image = as_loaded(g, std::string("page-") + std::to_string(&c - cases) + ".tif");
        if (image.empty()) continue;
        const PageResult r = read_image(image);
        if (!r.registration) {
            ADD_FAILURE() << "not located: " << r.status << ": " << r.why;
            continue;
        }
        EXPECT_EQ(r.registration->turn, t.turn);
        EXPECT_EQ(r.registration->mirrored, t.mirrored);
        // In the page's own pixels, whichever way it lies.
        EXPECT_LT(corner_error_units(*r.registration, t), 1.5);
        if (c.mirrored) {
            // Read the right way round, and a person confirms it.
            EXPECT_EQ(r.status, "review");
            EXPECT_EQ(r.reading, t.reading);
            EXPECT_NE(r.why.find("the page is mirrored"), std::string::npos) << r.why;
            continue;
        }
        if (r.status == "ok") {
            EXPECT_EQ(r.reading, t.reading) << "a wrong reading passed as sure";
        }
        if (t.status == "review") {
            EXPECT_EQ(r.status, "review");
        }
        // Grey pages read exactly (on pages to review, unsure and blank may
        // change places); black and white may flag what it blurred.
        if (c.bilevel == Bilevel::None && t.status == "ok") {
            EXPECT_EQ(r.reading, t.reading) << r.why;
        }
        if (c.turn != 0 && r.status == "ok") {
            EXPECT_NE(r.why.find("the page"), std::string::npos) << r.why;
        }
    }
}

// Noise, dense dots and dithered grey: no block, and no stalling. With a
// short limit the page ends soon after it; without, the clutter itself is
// bounded.
TEST(Stack, NoiseDotsAndDitheredGreyEndSoon) {
    const cv::Size size = sanitized() ? cv::Size(900, 1200) : cv::Size(2480, 3508);
    cv::Mat noise(size, CV_8UC1);
    cv::randu(noise, 0, 256);
    cv::Mat dots(size, CV_8UC1, cv::Scalar(255));
    for (int y = 6; y < dots.rows; y += 12)
        for (int x = 6; x < dots.cols; x += 12) cv::circle(dots, {x, y}, 1, cv::Scalar(0), cv::FILLED);
    cv::Mat dither(size, CV_8UC1);
    {
        // Noise of a mid grey, error-diffused to black and white.
        cv::Mat grey(size, CV_8UC1);
        cv::randn(grey, 128, 40);
        cv::GaussianBlur(grey, grey, cv::Size(), 3);
        pagegen::Stack s;
        s.bilevel = Bilevel::Dither;
        dither = pagegen::make_bilevel(grey, s, 255);
    }
    const struct {
        const char* name;
        const cv::Mat* picture;
    } cases[] = {{"noise", &noise}, {"dots", &dots}, {"dithered noise", &dither}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto limit : {std::chrono::milliseconds(20000), std::chrono::milliseconds(300)}) {
            const auto start = std::chrono::steady_clock::now();
            const PageResult r = read_image(*c.picture, limit);
            const auto took = std::chrono::steady_clock::now() - start;
            // Not found, or stopped by the limit with the limit named.
            if (r.status == "error") {
                EXPECT_NE(r.why.find("time limit"), std::string::npos) << r.why;
            } else {
                EXPECT_EQ(r.status, "not-found") << r.why;
            }
            EXPECT_FALSE(r.registration);
            // The deadline holds: well within a second past the limit
            // (looser under the sanitizers, which slow everything tenfold).
            if (!sanitized()) {
                EXPECT_LT(took, limit + std::chrono::seconds(1)) << limit.count() << " ms limit";
            }
        }
    }
}

TEST(Stack, StackSamplePagesGiveTheirTruth) {
    const fs::path dir = fs::path(IDR_SOURCE_DIR) / ".." / "shared" / "scans" / "stack-sample";
    if (!fs::exists(dir / "truth.jsonl")) GTEST_SKIP() << "no stack sample at " << dir;
    if (sanitized()) GTEST_SKIP() << "the full-size pages take minutes under the sanitizers";
    std::vector<nlohmann::json> truths;
    std::string line;
    for (const char* name : {"truth.jsonl", "mirror.jsonl"}) {
        std::ifstream f(dir / name);
        while (std::getline(f, line))
            if (!line.empty()) {
                truths.push_back(nlohmann::json::parse(line));
                truths.back()["mirrored"] = std::string(name) == "mirror.jsonl";
            }
    }
    for (const auto& t : truths) {
        const std::string file = (dir / t["file"].get<std::string>()).string();
        SCOPED_TRACE(file);
        auto opened = scan::open_scan(file);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<scan::PageSource>>(opened));
        auto page = std::get<std::unique_ptr<scan::PageSource>>(opened)->page(1, scan::PixelKind::Colour);
        ASSERT_TRUE(std::holds_alternative<scan::Page>(page));
        const PageResult r = read_image(std::get<scan::Page>(page).image);
        const bool mirrored = t["mirrored"].get<bool>();
        EXPECT_EQ(r.status, mirrored ? "review" : t["status"].get<std::string>()) << r.why;
        if (r.status != "not-found") {
            EXPECT_EQ(r.reading, t["reading"].get<std::string>());
        }
        if (t["corners"].is_null()) continue;
        ASSERT_TRUE(r.registration);
        EXPECT_EQ(r.registration->mirrored, mirrored);
        const double unit = t["unit_px"].get<double>();
        for (int i = 0; i < 4; ++i) {
            const cv::Point2d want(t["corners"][i][0].get<double>(), t["corners"][i][1].get<double>());
            EXPECT_LT(cv::norm(r.registration->corners[i] - want) / unit, 1.5) << "corner " << i;
        }
    }
    EXPECT_EQ(truths.size(), 12u);
}


// A dithered scan of shaded paper (light falling off across the page, a
// shadow along one edge, turned 10 degrees): the paper itself comes out as
// dots, which only a copy smoothed to the grey they stand for, thresholded
// against its local mean, tells from the printing. The page is the 39th of
// `make_pages --seed 3030 --kinds scan --stack bw dither`, made here as the
// page maker makes it.
TEST(Stack, DitheredScanOfShadedPaperIsRead) {
    if (sanitized()) GTEST_SKIP() << "a full page; the other stack tests cover the sanitizers";
    pagegen::Random master(3030);
    std::uint64_t page_seed = 0;
    for (int i = 1; i <= 39; ++i) page_seed = master.next();
    pagegen::PagePlan plan = pagegen::random_plan(page_seed, pagegen::Kind::Scan);
    pagegen::Random stack_pick(page_seed ^ 0x5A5A17ull);
    const pagegen::StackKind kinds[] = {pagegen::StackKind::Bw, pagegen::StackKind::Dither};
    const pagegen::StackKind kind = kinds[stack_pick.between(0, 1)];
    plan.stack = pagegen::random_stack(stack_pick.next(), kind);
    ASSERT_EQ(plan.stack.bilevel, Bilevel::Dither);
    ASSERT_GT(plan.shadow, 0.2);
    const pagegen::GeneratedPage g = pagegen::make_page(plan);
    SCOPED_TRACE(g.truth.variant + ", truth " + g.truth.status + " " + g.truth.reading);
    const cv::Mat image = as_loaded(g, "shaded.tif");
    ASSERT_FALSE(image.empty());
    const PageResult r = read_image(image);
    ASSERT_TRUE(r.registration) << r.status << ": " << r.why;
    EXPECT_LT(corner_error_units(*r.registration, g.truth), 1.5);
    EXPECT_EQ(r.status, g.truth.status);
    EXPECT_EQ(r.reading, g.truth.reading);
}
}  // namespace
}  // namespace idr::test
