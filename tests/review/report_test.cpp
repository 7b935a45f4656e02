// The review outputs: overlay pictures and the HTML report.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "form/block_layout.h"
#include "read_back.h"
#include "review/html_report.h"
#include "review/overlay.h"
#include "review/review_picture.h"

namespace idr::test {
namespace {

namespace fs = std::filesystem;
using review::PageOutcome;
using scan::ColumnState;

fs::path scratch(const std::string& name) {
    fs::path dir = fs::path(IDR_BINARY_DIR) / "test_scratch" / "review" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
    return n;
}

PageOutcome page(const std::string& file, const std::string& status, const std::string& reading,
                 const std::string& why = "") {
    PageOutcome o;
    o.file = file;
    o.status = status;
    o.reading = reading;
    o.why = why;
    return o;
}

TEST(Report, EscapesTextForHtml) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain.png", "plain.png"},
        {"<script>alert(1)</script>.png", "&lt;script&gt;alert(1)&lt;/script&gt;.png"},
        {"a & b.png", "a &amp; b.png"},
        {"\"quoted\" 'single'", "&quot;quoted&quot; &#39;single&#39;"},
        {"&amp;", "&amp;amp;"},
        {"caf\xc3\xa9.png", "caf\xc3\xa9.png"},  // UTF-8 passes as it is
    };
    for (const auto& c : cases) EXPECT_EQ(review::html_escape(c.in), c.out) << c.in;
}

TEST(Report, Base64) {
    const struct {
        std::string in, out;
    } cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                 {std::string("\xff\xfe\x00", 3), "//4A"}};
    for (const auto& c : cases) EXPECT_EQ(review::base64({c.in.begin(), c.in.end()}), c.out) << c.in;
    // Every byte value, then every third one downwards: each character of
    // the alphabet in each of the four places.
    std::vector<std::uint8_t> all;
    for (int v = 0; v < 256; ++v) all.push_back(static_cast<std::uint8_t>(v));
    for (int v = 255; v >= 0; v -= 3) all.push_back(static_cast<std::uint8_t>(v));
    EXPECT_EQ(review::base64(all),
              "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElK"
              "S0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWprbG1ub3BxcnN0dXZ3eHl6e3x9fn+AgYKDhIWGh4iJiouMjY6PkJGSk5SV"
              "lpeYmZqbnJ2en6ChoqOkpaanqKmqq6ytrq+wsbKztLW2t7i5uru8vb6/wMHCw8TFxsfIycrLzM3Oz9DR0tPU1dbX2Nna29zd3t/g"
              "4eLj5OXm5+jp6uvs7e7v8PHy8/T19vf4+fr7/P3+///8+fbz8O3q5+Th3tvY1dLPzMnGw8C9ure0sa6rqKWin5yZlpOQjYqHhIF+"
              "e3h1cm9saWZjYF1aV1RRTktIRUI/PDk2MzAtKickIR4bGBUSDwwJBgMA");
}

// Pages arrive in input order; the report lists those to review first, every
// page once, with its texts escaped and nothing fetched from a network.
TEST(Report, PagesToReviewFirstAllEscapedNothingRemote) {
    const fs::path dir = scratch("order");
    const fs::path path = dir / "report.html";
    const std::vector<PageOutcome> pages = {
        page("scans/first-ok.png", "ok", "1234567890"),
        page("scans/<script>alert(1)</script>.png", "review", "12?4567890", "column 3: faint or partial mark"),
        page("scans/a&b \"q\".png", "ok", "5555555555"),
        page("scans/gone.pdf", "not-found", "", "no ring lattice"),
        page("scans/last-review.png", "review", "1*34567890", "column 2: two marks; column 9: no mark"),
    };
    const std::vector<std::uint8_t> png = review::encode_png(cv::Mat(4, 4, CV_8UC3, cv::Scalar(1, 2, 3)));
    ASSERT_FALSE(png.empty());

    review::HtmlReport report;
    ASSERT_EQ(report.open(path.string()), std::nullopt);
    for (const auto& p : pages) report.add(p, png);
    ASSERT_EQ(report.close(), std::nullopt);

    const std::string html = read_text(path);
    EXPECT_EQ(count(html, "<article"), pages.size());
    EXPECT_EQ(count(html, "data:image/png;base64," + review::base64(png)), pages.size());
    EXPECT_EQ(count(html, "loading=\"lazy\""), pages.size());
    // Cards in order: review pages (in input order), then the others.
    const std::vector<std::string> order = {"12?4567890", "gone.pdf", "1*34567890", "1234567890", "5555555555"};
    std::size_t at = 0;
    for (const auto& marker : order) {
        std::size_t found = html.find(marker, at);
        ASSERT_NE(found, std::string::npos) << marker << " missing or out of order";
        at = found;
    }
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;.png"), std::string::npos);
    EXPECT_NE(html.find("a&amp;b &quot;q&quot;.png"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("a&b"), std::string::npos);
    EXPECT_EQ(html.find("http://"), std::string::npos);
    EXPECT_EQ(html.find("https://"), std::string::npos);
    EXPECT_FALSE(std::regex_search(html, std::regex("\\son[a-z]+\\s*=", std::regex::icase)));  // no event handlers
    // Each reason is its own list item.
    EXPECT_NE(html.find("<li>column 2: two marks</li><li>column 9: no mark</li>"), std::string::npos);
    // Summary: counts by status.
    EXPECT_NE(html.find("all<b>5</b>"), std::string::npos);
    EXPECT_NE(html.find("review<b>2</b>"), std::string::npos);
    EXPECT_NE(html.find("ok<b>2</b>"), std::string::npos);
    EXPECT_NE(html.find("not-found<b>1</b>"), std::string::npos);
    // Only the report is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(Report, WriteErrorsNameTheFile) {
    const fs::path dir = scratch("errors");
    const fs::path in_missing = dir / "no-such-folder" / "report.html";
    review::HtmlReport report;
    auto e = report.open(in_missing.string());
    ASSERT_TRUE(e.has_value());
    EXPECT_NE(e->find(in_missing.string()), std::string::npos) << *e;

    // A file where the overlay folder should be.
    const fs::path blocker = dir / "taken";
    std::ofstream(blocker) << "x";
    auto o = page("a.png", "ok", "1234567890");
    auto w = review::write_overlay(blocker.string(), 1, o, cv::Mat(), cv::Mat(), 0);
    ASSERT_TRUE(w.has_value());
    EXPECT_NE(w->find(blocker.string()), std::string::npos) << *w;

    // An overlay file name that is taken by a folder.
    const fs::path out = dir / "overlays";
    fs::create_directories(review::overlay_path(out.string(), 7, o));
    w = review::write_overlay(out.string(), 7, o, cv::Mat(), cv::Mat(), 0);
    ASSERT_TRUE(w.has_value());
    EXPECT_NE(w->find(review::overlay_path(out.string(), 7, o)), std::string::npos) << *w;
}

TEST(Overlay, FileNames) {
    const struct {
        std::string file;
        int seq, page;
        std::string name;
    } cases[] = {
        {"scans/p0001.png", 1, 1, "0001-p0001-p1.png"},
        {"batch.pdf", 42, 3, "0042-batch-p3.png"},
        {"dir/<a>:b?.tif", 12345, 2, "12345-_a__b_-p2.png"},
        {"", 2, 1, "0002-page-p1.png"},
    };
    for (const auto& c : cases) {
        PageOutcome o = page(c.file, "ok", "");
        o.page = c.page;
        EXPECT_EQ(fs::path(review::overlay_path("out", c.seq, o)), fs::path("out") / c.name) << c.file;
    }
    PageOutcome o = page(std::string(400, 'x') + ".png", "ok", "");
    EXPECT_LE(fs::path(review::overlay_path("out", 1, o)).filename().string().size(), 255u);
}

bool near_colour(const cv::Mat& img, cv::Point p, const cv::Scalar& c) {
    // Within a pixel of `p`: the shapes are drawn anti-aliased.
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            cv::Point q(p.x + dx, p.y + dy);
            if (q.x < 0 || q.y < 0 || q.x >= img.cols || q.y >= img.rows) continue;
            cv::Vec3b v = img.at<cv::Vec3b>(q);
            if (std::abs(v[0] - c[0]) + std::abs(v[1] - c[1]) + std::abs(v[2] - c[2]) < 45) return true;
        }
    return false;
}

// How many of 32 points around bubble (c, r) at `radius` (overlay pixels)
// carry the colour: a solid ring nearly all, a dotted one about half.
int ring_hits(const cv::Mat& img, cv::Point origin, int c, int r, double radius, const cv::Scalar& colour) {
    const double s = review::kOverlayBlockScale;
    cv::Point2d centre(origin.x + block::bubble_centre_x(c) * s, origin.y + block::bubble_centre_y(r) * s);
    int hits = 0;
    for (int k = 0; k < 32; ++k) {
        double a = 2 * M_PI * k / 32;
        cv::Point p(static_cast<int>(std::lround(centre.x + radius * std::cos(a))),
                    static_cast<int>(std::lround(centre.y + radius * std::sin(a))));
        hits += near_colour(img, p, colour) ? 1 : 0;
    }
    return hits;
}

// Each state is drawn at its own column, in its own colour and shape.
TEST(Overlay, EachStateWhereItsColumnIs) {
    scan::BlockDecision d;
    d.reading = "3_*?______";
    for (auto& col : d.columns) col.state = ColumnState::Blank;
    d.columns[0].state = ColumnState::Digit;
    d.columns[0].digit = 3;
    d.columns[0].darkness[3] = 1.0;
    d.columns[0].coverage[3] = 1.0;
    d.columns[2].state = ColumnState::Multiple;
    for (int r : {2, 6}) {
        d.columns[2].darkness[r] = 1.0;
        d.columns[2].coverage[r] = 1.0;
    }
    d.columns[3].state = ColumnState::Unsure;
    d.columns[3].darkness[4] = 0.4;
    d.columns[3].coverage[4] = 0.3;
    PageOutcome o = page("x.png", "review", d.reading, "column 2: no mark");
    o.decision = d;
    const cv::Mat block(block::kHeight, block::kWidth, CV_8UC3, cv::Scalar(255, 255, 255));
    const cv::Mat thumb(200, 140, CV_8UC3, cv::Scalar(200, 200, 200));

    const cv::Mat img = review::render_overlay(o, block, thumb, 0.1);
    const review::OverlayLayout l = review::overlay_layout(o, thumb);
    ASSERT_EQ(img.size(), l.size);
    ASSERT_EQ(img.type(), CV_8UC3);
    EXPECT_EQ(l.block.size(), cv::Size(block::kWidth * review::kOverlayBlockScale, block::kHeight * review::kOverlayBlockScale));
    EXPECT_TRUE((l.block & l.thumbnail).empty());

    const double ring = (block::kRingOuterRadius + 2) * review::kOverlayBlockScale;
    const cv::Point at = l.block.tl();
    // Markings reach almost to the next ring; "nothing here" is looked for
    // between the printed ring and where the next cell's marking could be.
    const double inside = (block::kRingOuterRadius - 2) * review::kOverlayBlockScale;
    const struct {
        const char* what;
        int c, r;
        double radius;
        ColumnState state;
        int min_hits, max_hits;
    } cases[] = {
        {"digit: solid ring on its row", 0, 3, ring, ColumnState::Digit, 30, 32},
        {"digit: nothing on other rows", 0, 4, inside, ColumnState::Digit, 0, 0},
        {"multiple: outer ring", 2, 2, ring - 1, ColumnState::Multiple, 28, 32},
        {"multiple: inner ring", 2, 2, ring - 6, ColumnState::Multiple, 28, 32},
        {"multiple: the second mark", 2, 6, ring - 1, ColumnState::Multiple, 28, 32},
        {"multiple: not an empty ring", 2, 4, inside, ColumnState::Multiple, 0, 0},
        {"unsure: dotted, with gaps", 3, 4, ring, ColumnState::Unsure, 8, 26},
        {"unsure: not an empty ring", 3, 5, inside, ColumnState::Unsure, 0, 0},
        {"blank column has no rings", 1, 4, inside, ColumnState::Blank, 0, 0},
    };
    for (const auto& c : cases) {
        int hits = ring_hits(img, at, c.c, c.r, c.radius, review::state_colour(c.state));
        EXPECT_GE(hits, c.min_hits) << c.what;
        EXPECT_LE(hits, c.max_hits) << c.what;
    }
    // Blank: a dashed outline around column 2's rings, in its colour.
    const double s = review::kOverlayBlockScale;
    const int left = at.x + static_cast<int>((block::kBubbleLeft + block::kPitch * 1 - 2) * s);
    int on = 0, total = 0;
    for (int y = at.y + static_cast<int>(block::kBubbleTop * s); y < at.y + static_cast<int>(block::kGridBottom * s);
         y += 2, ++total)
        on += cv::norm(cv::Vec3d(img.at<cv::Vec3b>(y, left)) -
                       cv::Vec3d(review::state_colour(ColumnState::Blank)[0], review::state_colour(ColumnState::Blank)[1],
                                 review::state_colour(ColumnState::Blank)[2])) < 40
                  ? 1
                  : 0;
    EXPECT_GT(on, total / 3);
    EXPECT_LT(on, total * 9 / 10);  // dashed, not solid
}

TEST(Overlay, PagesWithoutABlockOrPictureStillRender) {
    const struct {
        const char* what;
        cv::Mat block, thumb;
    } cases[] = {
        {"nothing", cv::Mat(), cv::Mat()},
        {"grey page only", cv::Mat(), cv::Mat(300, 200, CV_8UC1, cv::Scalar(128))},
        {"block without decision", cv::Mat(block::kHeight, block::kWidth, CV_8UC3, cv::Scalar(250, 250, 250)),
         cv::Mat()},
    };
    PageOutcome o = page("weird\xff name.png", "not-found", "", std::string(600, 'w') + " no block");
    for (const auto& c : cases) {
        cv::Mat img = review::render_overlay(o, c.block, c.thumb, 0.5);
        EXPECT_EQ(img.size(), review::overlay_layout(o, c.thumb).size) << c.what;
        EXPECT_FALSE(review::encode_png(img).empty()) << c.what;
    }
}

TEST(Overlay, WrittenFileDecodesToTheOverlay) {
    const fs::path dir = scratch("write") / "new" / "folder";
    PageOutcome o = page("scans/sheet one.png", "ok", "1234567890");
    o.page = 2;
    ASSERT_EQ(review::write_overlay(dir.string(), 3, o, cv::Mat(), cv::Mat(), 0), std::nullopt);
    cv::Mat back = read_back((dir / "0003-sheet one-p2.png").string(), true);
    EXPECT_EQ(back.size(), review::overlay_layout(o, cv::Mat()).size);
}

}  // namespace
}  // namespace idr::test
