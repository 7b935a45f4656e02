#include "scan/load.h"
#include "scan/load_checks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>
#include <opencv2/imgproc.hpp>
#include <tiffio.h>

#include "test_images.h"

namespace idr::test {
namespace {

using namespace idr::scan;

namespace fs = std::filesystem;

// A PDF written by hand: one page per MediaBox (width, height in points), its
// left half filled black. Cross-reference offsets are computed, not guessed.
std::string make_pdf(const std::vector<std::pair<int, int>>& pages) {
    std::vector<std::string> objects;
    std::string kids;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    }
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto [w, h] = pages[i];
        const std::string content = "0 g 0 0 " + std::to_string(w / 2) + " " + std::to_string(h) + " re f";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(w) + " " +
                          std::to_string(h) + "] /Contents " + std::to_string(4 + 2 * i) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::unique_ptr<PageSource> open_ok(std::string bytes, const LoadLimits& limits = {}) {
    auto opened = open_scan_bytes(std::move(bytes), "t", limits);
    if (auto* error = std::get_if<LoadError>(&opened)) {
        ADD_FAILURE() << error->message;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<PageSource>>(opened));
}

// The first thing that went wrong opening the bytes or decoding page 1, or
// "" when both worked.
std::string first_error(std::string bytes, const LoadLimits& limits = {}, const std::string& name = "t") {
    auto opened = open_scan_bytes(std::move(bytes), name, limits);
    if (auto* error = std::get_if<LoadError>(&opened)) {
        return error->message;
    }
    auto page = std::get<std::unique_ptr<PageSource>>(opened)->page(1, PixelKind::Grey);
    return std::holds_alternative<LoadError>(page) ? std::get<LoadError>(page).message : "";
}

std::string slurp_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A scratch folder per test program run.
fs::path scratch() {
    const fs::path dir = fs::temp_directory_path() / ("idr-load-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}


// What a loaded page must show of test_picture(): its size, the black corner
// where it belongs, the paper light, and in colour the paper's own colour
// (so that swapped channels show).
struct Kind {
    const char* name;
    std::string bytes;
    bool colour = true;      // the file keeps colour (else grey is repeated)
    int tolerance = 3;       // how far the paper's colour may be off (lossy formats)
    bool white = false;      // two or four levels only: the paper comes out white
};

void expect_picture(const Page& page, cv::Size size, const Kind& k, PixelKind kind) {
    const cv::Mat& image = page.image;
    ASSERT_EQ(image.size(), size);
    ASSERT_EQ(image.type(), kind == PixelKind::Grey ? CV_8UC1 : CV_8UC3);
    cv::Mat grey = image;
    if (kind == PixelKind::Colour) cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    EXPECT_LT(grey.at<std::uint8_t>(size.height / 8, size.width / 8), 60) << "the black corner";
    const int paper = grey.at<std::uint8_t>(3 * size.height / 4, 3 * size.width / 4);
    if (k.white) {
        EXPECT_EQ(paper, 255);
    } else {
        EXPECT_NEAR(paper, 200, 12 + k.tolerance);
    }
    if (kind == PixelKind::Colour && k.colour && !k.white) {
        const cv::Vec3b c = image.at<cv::Vec3b>(3 * size.height / 4, 3 * size.width / 4);
        EXPECT_NEAR(c[0], 230, k.tolerance);
        EXPECT_NEAR(c[1], 200, k.tolerance);
        EXPECT_NEAR(c[2], 170, k.tolerance);
    }
}

// Every kind of file the format libraries write, in grey and in colour: an
// odd size (50 x 38), so that part tiles, part strips and part bytes of
// bilevel rows show.
TEST(Load, EveryKindOfEveryFormatReadsAsDrawn) {
    const cv::Mat picture = test_picture(50, 38);
    const cv::Mat grey = grey_of(picture);
    cv::Mat deep;
    grey.convertTo(deep, CV_16U, 257);
    cv::Mat opaque;
    cv::cvtColor(picture, opaque, cv::COLOR_BGR2BGRA);
    const auto tiff = [&](const cv::Mat& p, TiffOptions o) { return tiff_file({p}, o); };
    const std::vector<Kind> kinds = {
        {"png colour", png_file(picture)},
        {"png grey", png_file(grey), false},
        {"png grey 1-bit", png_file(grey, {.bit_depth = 1}), false, 0, true},
        {"png grey 2-bit", png_file(grey, {.bit_depth = 2}), false, 0, true},
        {"png grey 4-bit", png_file(grey, {.bit_depth = 4}), false, 15},
        {"png grey 16-bit", png_file(deep, {.bit_depth = 16}), false},
        {"png palette", png_file(picture, {.palette = true})},
        {"png palette 1-bit", png_file(picture, {.bit_depth = 1, .palette = true})},
        {"png colour 16-bit", png_file(picture, {.bit_depth = 16})},
        {"png colour with alpha", png_file(opaque)},
        {"png interlaced grey", png_file(grey, {.interlaced = true}), false},
        {"png interlaced colour", png_file(picture, {.interlaced = true})},
        {"jpeg grey", jpeg_file(grey), false, 4},
        {"jpeg colour", jpeg_file(picture), true, 6},
        {"jpeg progressive", jpeg_file(picture, {.progressive = true}), true, 6},
        {"jpeg arithmetic", jpeg_file(picture, {.arithmetic = true}), true, 6},
        {"jpeg cmyk", jpeg_file(picture, {.cmyk = true}), true, 6},
        {"jpeg ycck", jpeg_file(picture, {.ycck = true}), true, 6},
        {"tiff grey", tiff(grey, {}), false},
        {"tiff grey min-is-white", tiff(grey, {.min_is_white = true}), false},
        {"tiff colour lzw", tiff(picture, {.compression = COMPRESSION_LZW})},
        {"tiff grey deflate", tiff(grey, {.compression = COMPRESSION_ADOBE_DEFLATE}), false},
        {"tiff colour packbits", tiff(picture, {.compression = COMPRESSION_PACKBITS})},
        {"tiff grey jpeg", tiff(grey, {.compression = COMPRESSION_JPEG}), false, 4},
        {"tiff colour jpeg", tiff(picture, {.compression = COMPRESSION_JPEG}), true, 6},
        {"tiff bilevel", tiff(grey, {.bilevel = true}), false, 0, true},
        {"tiff bilevel g3", tiff(grey, {.compression = COMPRESSION_CCITTFAX3, .bilevel = true}), false, 0, true},
        {"tiff bilevel g4", tiff(grey, {.compression = COMPRESSION_CCITTFAX4, .bilevel = true}), false, 0, true},
        {"tiff bilevel g4 min-is-white",
         tiff(grey, {.compression = COMPRESSION_CCITTFAX4, .bilevel = true, .min_is_white = true}), false, 0, true},
        {"tiff bilevel tiled lzw", tiff(grey, {.compression = COMPRESSION_LZW, .bilevel = true, .tiled = true}), false, 0, true},
        {"tiff grey tiled", tiff(grey, {.tiled = true}), false},
        {"tiff colour tiled jpeg", tiff(picture, {.compression = COMPRESSION_JPEG, .tiled = true}), true, 6},
        {"tiff grey 16-bit", tiff(deep, {}), false},
        {"tiff palette", tiff(picture, {.palette = true})},
        {"tiff cmyk", tiff(picture, {.cmyk = true}), true, 3},
        {"tiff colour in separate planes", tiff(picture, {.separate_planes = true})},
        {"webp lossy", webp_file(picture, false), true, 8},
        {"webp lossless", webp_file(picture, true)},
        {"bmp 24-bit", bmp_file(picture)},
        {"bmp 24-bit top-down", bmp_file(picture, {.top_down = true})},
        {"bmp 32-bit with alpha mask", bmp_file(opaque, {.bits = 32})},
        {"bmp 16-bit 5-6-5", bmp_file(picture, {.bits = 16}), true, 8},
        {"bmp 8-bit palette", bmp_file(picture, {.bits = 8}), false},
        {"bmp 4-bit palette", bmp_file(picture, {.bits = 4}), false, 15},
        {"bmp 1-bit palette", bmp_file(picture, {.bits = 1}), false, 0, true},
        {"bmp 8-bit run lengths", bmp_file(picture, {.bits = 8, .rle = true}), false},
        {"bmp 4-bit run lengths", bmp_file(picture, {.bits = 4, .rle = true}), false, 15},
        {"heic", heif_file(picture), true, 12},
        {"avif", heif_file(picture, {.avif = true}), true, 12},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        ASSERT_FALSE(k.bytes.empty()) << "the writer made nothing";
        auto source = open_ok(k.bytes);
        ASSERT_TRUE(source);
        EXPECT_EQ(source->page_count(), 1);
        for (const PixelKind kind : {PixelKind::Grey, PixelKind::Colour}) {
            auto page = source->page(1, kind);
            ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
            EXPECT_EQ(std::get<Page>(page).full_size, cv::Size(50, 38));
            EXPECT_EQ(std::get<Page>(page).reduction, 1);
            expect_picture(std::get<Page>(page), {50, 38}, k, kind);
        }
    }
}

// Lossless formats give back exactly what was written.
TEST(Load, LosslessFormatsRoundTripExactly) {
    const cv::Mat picture = test_picture(64, 48);
    const cv::Mat grey = grey_of(picture);
    for (const auto& [name, bytes] : std::vector<std::pair<const char*, std::string>>{
             {"png", png_file(picture)}, {"tiff", tiff_file({picture})}, {"bmp", bmp_file(picture)},
             {"webp", webp_file(picture, true)}}) {
        SCOPED_TRACE(name);
        auto source = open_ok(bytes);
        ASSERT_TRUE(source);
        for (const PixelKind kind : {PixelKind::Grey, PixelKind::Colour}) {
            const cv::Mat& expected = kind == PixelKind::Grey ? grey : picture;
            const Page page = std::get<Page>(source->page(1, kind));
            ASSERT_EQ(page.image.type(), expected.type());
            EXPECT_LE(cv::norm(page.image, expected, cv::NORM_INF), 1);
        }
    }
}

// The headers that say "one grey channel" let the reader skip colour.
TEST(Load, GreyIsDeclaredWhereTheHeaderSaysSo) {
    const cv::Mat picture = test_picture(24, 16);
    const cv::Mat grey = grey_of(picture);
    for (const auto& [name, bytes, declared] : std::vector<std::tuple<const char*, std::string, bool>>{
             {"png grey", png_file(grey), true},
             {"png colour", png_file(picture), false},
             {"jpeg grey", jpeg_file(grey), true},
             {"jpeg colour", jpeg_file(picture), false},
             {"tiff grey", tiff_file({grey}), true},
             {"tiff bilevel", tiff_file({grey}, {.compression = COMPRESSION_CCITTFAX4, .bilevel = true}), true},
             {"tiff colour", tiff_file({picture}), false},
             {"tiff palette", tiff_file({picture}, {.palette = true}), false},
             {"webp", webp_file(grey, true), false},
             {"bmp", bmp_file(grey), false}}) {
        EXPECT_EQ(open_ok(bytes)->declared_grey(1), declared) << name;
    }
}

TEST(Load, GreyFileAskedForColourRepeatsItsGrey) {
    const cv::Mat grey(40, 40, CV_8UC1, cv::Scalar(90));
    auto page = open_ok(png_file(grey))->page(1, PixelKind::Colour);
    const cv::Mat& image = std::get<Page>(page).image;
    ASSERT_EQ(image.type(), CV_8UC3);
    EXPECT_EQ(image.at<cv::Vec3b>(5, 5), cv::Vec3b(90, 90, 90));
}

// A one-pixel picture is a picture: loaded, and the reader finds no block on it.
TEST(Load, OnePixelLoads) {
    auto page = open_ok(png_file(cv::Mat(1, 1, CV_8UC1, cv::Scalar(0))))->page(1, PixelKind::Grey);
    ASSERT_TRUE(std::holds_alternative<Page>(page));
    EXPECT_EQ(std::get<Page>(page).image.size(), cv::Size(1, 1));
}

TEST(Load, SixteenBitScaledAndAlphaLaidOnWhite) {
    cv::Mat deep(40, 40, CV_16UC1, cv::Scalar(65535));
    deep(cv::Rect(0, 0, 10, 10)).setTo(32896);
    cv::Mat clear(40, 40, CV_8UC4, cv::Scalar(0, 0, 0, 0));          // transparent black
    clear(cv::Rect(0, 0, 10, 10)).setTo(cv::Scalar(0, 0, 0, 255));  // opaque black
    clear(cv::Rect(20, 20, 10, 10)).setTo(cv::Scalar(0, 0, 0, 128));  // half-see-through black
    const std::vector<std::pair<cv::Point, int>> deep_points = {{{5, 5}, 128}, {{30, 30}, 255}};
    const std::vector<std::pair<cv::Point, int>> clear_points = {{{5, 5}, 0}, {{35, 5}, 255}, {{25, 25}, 127}};
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::pair<cv::Point, int>> expected;  // grey value at a point
    };
    const std::vector<Case> cases = {
        {"16-bit png", png_file(deep, {.bit_depth = 16}), deep_points},
        {"16-bit tiff", tiff_file({deep}), deep_points},
        {"alpha png", png_file(clear), clear_points},
        {"alpha tiff, unassociated", tiff_file({clear}, {.extra_alpha = EXTRASAMPLE_UNASSALPHA}), clear_points},
        {"alpha tiff, associated", tiff_file({clear}, {.extra_alpha = EXTRASAMPLE_ASSOCALPHA}), clear_points},
        {"alpha tiff, tiled", tiff_file({clear}, {.tiled = true, .extra_alpha = EXTRASAMPLE_UNASSALPHA}), clear_points},
        {"alpha webp", webp_file(clear, true), clear_points},
        {"alpha bmp", bmp_file(clear, {.bits = 32}), clear_points},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto page = open_ok(c.bytes)->page(1, PixelKind::Grey);
        ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
        const cv::Mat& image = std::get<Page>(page).image;
        ASSERT_EQ(image.type(), CV_8UC1);
        for (const auto& [at, value] : c.expected) {
            EXPECT_NEAR(image.at<std::uint8_t>(at), value, 1) << at;
        }
    }
}

// A grey PNG with a transparent grey level: that level is paper.
TEST(Load, PngTransparentGreyIsPaper) {
    cv::Mat grey(20, 20, CV_8UC1, cv::Scalar(100));
    grey(cv::Rect(0, 0, 5, 5)).setTo(0);
    auto page = open_ok(png_file(grey, {.transparent_grey = 100}))->page(1, PixelKind::Grey);
    const cv::Mat& image = std::get<Page>(page).image;
    EXPECT_EQ(image.at<std::uint8_t>(2, 2), 0);
    EXPECT_EQ(image.at<std::uint8_t>(15, 15), 255);
}

TEST(Load, JpegDecodesReducedOthersAtFullSize) {
    const std::string jpeg = jpeg_file(test_picture(200, 120));
    const std::string progressive = jpeg_file(test_picture(200, 120), {.progressive = true});
    const std::string cmyk = jpeg_file(test_picture(200, 120), {.cmyk = true});
    const std::string png = png_file(test_picture(200, 120));
    struct Case {
        const std::string* bytes;
        int asked;
        int reduction;
        cv::Size size;
    };
    for (const Case& c : {Case{&jpeg, 1, 1, {200, 120}}, Case{&jpeg, 2, 2, {100, 60}}, Case{&jpeg, 4, 4, {50, 30}},
                          Case{&jpeg, 8, 8, {25, 15}}, Case{&progressive, 4, 4, {50, 30}}, Case{&cmyk, 2, 2, {100, 60}},
                          Case{&png, 4, 1, {200, 120}}}) {
        SCOPED_TRACE(c.asked);
        for (const PixelKind kind : {PixelKind::Grey, PixelKind::Colour}) {
            auto page = open_ok(*c.bytes)->page(1, kind, c.asked);
            ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
            EXPECT_EQ(std::get<Page>(page).reduction, c.reduction);
            EXPECT_EQ(std::get<Page>(page).full_size, cv::Size(200, 120));
            expect_picture(std::get<Page>(page), c.size, {"reduced", "", true, 10}, kind);
        }
    }
}

// Stored turned a quarter anticlockwise, with the orientation that says so:
// shown turned clockwise, the black corner top right. JPEG says it in EXIF,
// TIFF in its own tag, HEIC and AVIF in their rotation property.
TEST(Load, OrientationIsApplied) {
    const cv::Mat stored = test_picture(80, 40);
    struct Case {
        const char* name;
        std::string bytes;
        int reduction;
    };
    const std::vector<Case> cases = {
        {"jpeg", jpeg_file(stored, {.exif_orientation = 6}), 1},
        {"jpeg at half size", jpeg_file(stored, {.exif_orientation = 6}), 2},
        {"tiff", tiff_file({stored}, {.orientation = 6}), 1},
        {"tiff through the rgba reader", tiff_file({stored}, {.palette = true, .orientation = 6}), 1},
        {"heic", heif_file(stored, {.orientation = 6}), 1},
        {"avif", heif_file(stored, {.avif = true, .orientation = 6}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto source = open_ok(c.bytes);
        ASSERT_TRUE(source);
        EXPECT_EQ(source->declared_size(1), cv::Size(40, 80));
        auto page = source->page(1, PixelKind::Grey, c.reduction);
        ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
        const Page& p = std::get<Page>(page);
        EXPECT_EQ(p.full_size, cv::Size(40, 80));
        const int r = p.reduction;
        ASSERT_EQ(p.image.size(), cv::Size(40 / r, 80 / r));
        EXPECT_LT(p.image.at<std::uint8_t>(4 / r, 36 / r), 60);  // the black corner is now top right
        EXPECT_GT(p.image.at<std::uint8_t>(4 / r, 4 / r), 150);
    }
}

TEST(Load, MultiPageTiffKeepsPageOrderFromBytesAndFromPath) {
    const std::vector<cv::Size> sizes = {{40, 40}, {50, 60}, {70, 35}};
    std::vector<cv::Mat> pages;
    for (const cv::Size& size : sizes) {
        pages.push_back(test_picture(size.width, size.height));
    }
    const std::string bytes = tiff_file(pages, {.compression = COMPRESSION_LZW});
    const fs::path file = scratch() / "three.tif";
    std::ofstream(file, std::ios::binary) << bytes;

    auto from_path = open_scan(file.string());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PageSource>>(from_path));
    std::vector<std::unique_ptr<PageSource>> sources;
    sources.push_back(std::move(std::get<std::unique_ptr<PageSource>>(from_path)));
    sources.push_back(open_ok(bytes));
    for (auto& source : sources) {
        ASSERT_EQ(source->page_count(), 3);
        for (int n : {3, 1, 2, 3}) {  // any order, one at a time, again
            auto page = source->page(n, PixelKind::Colour);
            ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
            EXPECT_EQ(std::get<Page>(page).number, n);
            expect_picture(std::get<Page>(page), sizes[static_cast<std::size_t>(n - 1)], {"page", ""}, PixelKind::Colour);
        }
        EXPECT_NE(std::get<LoadError>(source->page(4, PixelKind::Grey)).message.find("page 4 does not exist"),
                  std::string::npos);
    }
}

TEST(Load, PdfPagesRenderAtTheAskedResolution) {
    LoadLimits limits;
    limits.pdf_dpi = 100;
    auto source = open_ok(make_pdf({{72, 36}, {36, 72}}), limits);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->page_count(), 2);
    const cv::Size sizes[] = {{100, 50}, {50, 100}};
    for (int n : {1, 2}) {
        for (const PixelKind kind : {PixelKind::Grey, PixelKind::Colour}) {
            auto page = source->page(n, kind, 4);
            ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
            const Page& p = std::get<Page>(page);
            EXPECT_EQ(p.image.size(), sizes[n - 1]);
            EXPECT_EQ(p.full_size, sizes[n - 1]);
            EXPECT_EQ(p.dpi, 100);
            EXPECT_EQ(p.reduction, 1);
            EXPECT_EQ(p.image.channels(), kind == PixelKind::Grey ? 1 : 3);
            cv::Mat grey = p.image;
            if (kind == PixelKind::Colour) {
                cv::cvtColor(p.image, grey, cv::COLOR_BGR2GRAY);
            }
            EXPECT_LT(grey.at<std::uint8_t>(p.image.rows / 2, 2), 30);                  // ink on the left
            EXPECT_GT(grey.at<std::uint8_t>(p.image.rows / 2, p.image.cols - 3), 225);  // white paper
        }
    }
}

TEST(Load, LimitsHoldAtTheLimitAndRefuseOnePast) {
    const std::string png = png_file(test_picture(64, 48));
    const std::string heic = heif_file(test_picture(64, 48));
    const std::string tiff = tiff_file(std::vector<cv::Mat>(3, test_picture(40, 40)));
    const fs::path tiff_path = scratch() / "limits.tif";
    std::ofstream(tiff_path, std::ios::binary) << tiff;
    const std::string pdf = make_pdf({{72, 72}, {72, 72}});
    struct Case {
        const char* name;
        const std::string* bytes;
        LoadLimits at;       // exactly at the limit: loads
        LoadLimits past;     // one past it: refused
        const char* reason;  // in the refusal
    };
    LoadLimits pixels_at, pixels_past, file_at, file_past, tiff_at, tiff_past, pdf_at, pdf_past, side_at, side_past;
    pixels_at.max_page_pixels = 64 * 48;
    pixels_past.max_page_pixels = 64 * 48 - 1;
    file_at.max_file_bytes = png.size();
    file_past.max_file_bytes = png.size() - 1;
    tiff_at.max_pages = 3;
    tiff_past.max_pages = 2;
    pdf_at.max_pages = 2;
    pdf_past.max_pages = 1;
    side_at.min_page_side = 48;
    side_past.min_page_side = 49;
    for (const Case& c : {
             Case{"pixels", &png, pixels_at, pixels_past, "t: page 1 is 64 x 48 pixels, more than the limit of 3071"},
             Case{"heic pixels", &heic, pixels_at, pixels_past, "t: page 1 is 64 x 48 pixels, more than the limit of 3071"},
             Case{"file size", &png, file_at, file_past, "more than the limit of"},
             Case{"tiff pages", &tiff, tiff_at, tiff_past, "holds more than 2 pages"},
             Case{"pdf pages", &pdf, pdf_at, pdf_past, "holds 2 pages, more than the limit of 1"},
             Case{"smallest side", &png, side_at, side_past, "too small to be a scanned sheet"},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(first_error(*c.bytes, c.at), "");
        EXPECT_NE(first_error(*c.bytes, c.past).find(c.reason), std::string::npos) << first_error(*c.bytes, c.past);
    }
    // The same size limit on a file on disc is checked before it is read.
    LoadLimits small;
    small.max_file_bytes = 100;
    auto opened = open_scan(tiff_path.string(), small);
    ASSERT_TRUE(std::holds_alternative<LoadError>(opened));
    EXPECT_NE(std::get<LoadError>(opened).message.find("more than the limit of 100 bytes"), std::string::npos);
}

// The smallest HEIF file that declares a primary image of `width` x
// `height`: ftyp, then meta with pitm, and iprp holding one ispe property
// associated with item 1. No picture data at all.
std::string heif_header_only(std::uint32_t width, std::uint32_t height, const std::string& brand = "heic") {
    const auto box = [](const std::string& type, const std::string& body) { return u32be(static_cast<std::uint32_t>(8 + body.size())) + type + body; };
    const std::string full = std::string(4, '\0');  // version 0, no flags
    const std::string ispe = box("ispe", full + u32be(width) + u32be(height));
    const std::string ipma = box("ipma", full + u32be(1) + std::string("\0\1\1\x81", 4));  // item 1: property 1, essential
    const std::string meta = box("meta", full + box("pitm", full + std::string("\0\1", 2)) + box("iprp", box("ipco", ispe) + ipma));
    return box("ftyp", brand + u32be(0) + "mif1" + brand) + meta;
}

TEST(Load, HugeDeclaredSizesAreRefusedBeforeDecoding) {
    // Headers alone, each declaring a picture of billions of pixels in a few
    // bytes: a decoder given them would try to allocate gigabytes.
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + u32be(13) + "IHDR" + u32be(100000) +
                            u32be(100000) + std::string("\x08\x00\x00\x00\x00", 5) + u32be(0) + u32be(10) + "IDAT" +
                            std::string(14, '\0');
    const std::string jpeg = std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08\xFD\xE8\xFD\xE8\x01\x01\x11\x00", 15);
    const std::string tiff = std::string("II*\0", 4) + u32le(8) + u16le(2) + u16le(256) + u16le(4) + u32le(1) +
                             u32le(100000) + u16le(257) + u16le(4) + u32le(1) + u32le(100000) + u32le(0);
    const std::string webp = "RIFF" + u32le(22) + "WEBPVP8X" + u32le(10) + std::string(4, '\0') +
                             std::string(6, '\xFF');
    const std::string bmp = "BM" + u32le(54) + u32le(0) + u32le(54) + u32le(40) + u32le(100000) +
                            u32le(static_cast<std::uint32_t>(-100000)) + u16le(1) + u16le(24) + std::string(24, '\0');
    const std::string pdf = make_pdf({{14400, 14400}});
    for (const auto& [name, bytes] : std::vector<std::pair<const char*, std::string>>{
             {"png", png}, {"jpeg", jpeg}, {"tiff", tiff}, {"webp", webp}, {"bmp", bmp}, {"pdf", pdf},
             {"heic", heif_header_only(100000, 100000)}, {"avif", heif_header_only(100000, 100000, "avif")}}) {
        SCOPED_TRACE(name);
        const std::string error = first_error(bytes, {}, "p.x");
        EXPECT_EQ(error.rfind("p.x: page 1 is ", 0), 0u) << error;
        EXPECT_NE(error.find("pixels, more than the limit of 120 MP"), std::string::npos) << error;
    }
    EXPECT_EQ(first_error(png, {}, "p.png"), "p.png: page 1 is 100000 x 100000 pixels, more than the limit of 120 MP");
}

TEST(Load, DamagedAndForeignBytesGiveReasonsNamingTheFile) {
    const cv::Mat picture = test_picture(64, 48);
    const std::string png = png_file(picture);
    const std::string interlaced = png_file(picture, {.interlaced = true});
    const std::string tiff = tiff_file({picture});
    const std::string g4 = tiff_file({grey_of(picture)}, {.compression = COMPRESSION_CCITTFAX4, .bilevel = true});
    const std::string webp = webp_file(picture, false);
    const std::string bmp = bmp_file(picture);
    const std::string heic = heif_file(picture);
    const std::string avif = heif_file(picture, {.avif = true});
    std::mt19937 random(7);
    std::string noise(4000, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"text", "hello, this is not a picture"},
        {"noise", noise},
        {"png noise after its header", png.substr(0, 41) + noise},
        {"png cut in its header", png.substr(0, 20)},
        {"png cut in its pixels", png.substr(0, png.size() / 2)},
        {"interlaced png cut in its pixels", interlaced.substr(0, interlaced.size() / 2)},
        {"tiff cut in half", tiff.substr(0, tiff.size() / 2)},
        {"g4 tiff cut in half", g4.substr(0, g4.size() / 2)},
        {"tiff directory past the end", std::string("II*\0", 4) + u32le(5000)},
        {"tiff directory loop without size", std::string("II*\0", 4) + u32le(8) + u16le(0) + u32le(8)},
        {"webp cut in half", webp.substr(0, webp.size() / 2)},
        {"bmp cut in half", bmp.substr(0, bmp.size() / 2)},
        {"jpeg header only", "\xFF\xD8\xFF"},
        {"heic cut in half", heic.substr(0, heic.size() / 2)},
        {"avif cut in half", avif.substr(0, avif.size() / 2)},
        {"heic noise after its header", heic.substr(0, 40) + noise},
        {"heif without its meta box", heif_header_only(64, 48).substr(0, 24)},
        {"heif with sizes but no pictures", heif_header_only(64, 48)},
        {"pdf with nothing after its version", "%PDF-1.4\n garbage"},
        {"pdf with no pages", make_pdf({})},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::string error = first_error(bytes, {}, "bad.file");
        EXPECT_EQ(error.rfind("bad.file: ", 0), 0u) << error;
        EXPECT_GT(error.size(), std::string("bad.file: ").size() + 10) << error;
    }
    EXPECT_EQ(first_error(make_pdf({}), {}, "e.pdf"), "e.pdf: is a PDF with no pages");
    EXPECT_EQ(first_error("", {}, "e.png"), "e.png: the file is empty");
    EXPECT_EQ(first_error(heif_header_only(64, 48).substr(0, 24), {}, "m.heic"),
              "m.heic: HEIF file has no meta box, so no image in it is described");
}

TEST(Load, FilesThatCannotBeReadAreNamed) {
    const fs::path dir = scratch();
    const fs::path locked = dir / "locked.png";
    std::ofstream(locked, std::ios::binary) << png_file(test_picture(40, 40));
    fs::permissions(locked, fs::perms::none);
    struct Case {
        std::string path;
        const char* reason;
    };
    std::vector<Case> cases = {{(dir / "missing.png").string(), "does not exist"},
                               {dir.string(), "is a folder, not a file"}};
    if (::geteuid() != 0) {  // root reads whatever the permissions say
        cases.push_back({locked.string(), "cannot be opened: Permission denied"});
    }
    for (const Case& c : cases) {
        auto opened = open_scan(c.path);
        ASSERT_TRUE(std::holds_alternative<LoadError>(opened)) << c.path;
        EXPECT_EQ(std::get<LoadError>(opened).message, c.path + ": " + c.reason);
    }
    auto bad_reduction = open_ok(png_file(test_picture(40, 40)))->page(1, PixelKind::Grey, 3);
    EXPECT_NE(std::get<LoadError>(bad_reduction).message.find("only 1, 2, 4 and 8"), std::string::npos);
}

// Counting a file's pages reads only the headers of the formats decoded from
// memory, but must say what opening it says: the same count, and for a file
// that cannot be opened the same refusal, word for word.
TEST(Load, CountingPagesAgreesWithOpening) {
    const fs::path dir = scratch() / "count";
    fs::create_directories(dir);
    const cv::Mat picture = test_picture(40, 30);
    const std::string jpeg = jpeg_file(picture);
    const std::vector<std::pair<const char*, std::string>> files = {
        {"one.png", png_file(picture)},
        {"one.jpg", jpeg},
        {"one.webp", webp_file(picture, true)},
        {"one.bmp", bmp_file(picture)},
        {"three.tif", tiff_file(std::vector<cv::Mat>(3, picture))},
        {"two.pdf", make_pdf({{72, 72}, {72, 72}})},
        {"one.heic", heif_file(picture)},
        {"cut.jpg", jpeg.substr(0, 200)},
        {"foreign.png", "not a picture at all"},
        {"empty.png", ""},
    };
    std::vector<std::string> paths = {(dir / "missing.jpg").string(), dir.string()};
    for (const auto& [name, bytes] : files) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        paths.push_back((dir / name).string());
    }
    LoadLimits one_page;
    one_page.max_pages = 1;
    LoadLimits small_files;
    small_files.max_file_bytes = 100;
    for (const LoadLimits& limits : {LoadLimits{}, one_page, small_files}) {
        for (const std::string& path : paths) {
            SCOPED_TRACE(path);
            auto opened = open_scan(path, limits);
            auto counted = count_pages(path, limits);
            if (auto* error = std::get_if<LoadError>(&opened)) {
                ASSERT_TRUE(std::holds_alternative<LoadError>(counted));
                EXPECT_EQ(std::get<LoadError>(counted).message, error->message);
            } else {
                ASSERT_TRUE(std::holds_alternative<int>(counted)) << std::get<LoadError>(counted).message;
                EXPECT_EQ(std::get<int>(counted), std::get<std::unique_ptr<PageSource>>(opened)->page_count());
            }
        }
    }
    // The counts themselves, by format.
    EXPECT_EQ(std::get<int>(count_pages((dir / "one.jpg").string())), 1);
    EXPECT_EQ(std::get<int>(count_pages((dir / "three.tif").string())), 3);
    EXPECT_EQ(std::get<int>(count_pages((dir / "two.pdf").string())), 2);
}

TEST(Load, ScanExtensions) {
    for (const auto& [name, expected] : std::vector<std::pair<const char*, bool>>{
             {"a.png", true}, {"b.JPG", true}, {"c.jpeg", true}, {"d.Tif", true}, {"e.tiff", true},
             {"f.webp", true}, {"g.bmp", true}, {"h.PDF", true}, {"k.heic", true}, {"l.HEIF", true},
             {"m.avif", true}, {"i.gif", false}, {"png", false}, {"dir.png/readme", false}, {"j.png.txt", false}}) {
        EXPECT_EQ(has_scan_extension(name), expected) << name;
    }
}

// The BMP suite beside the checkout: every good file, and every
// questionable one that was read before, still reads; the ones holding the
// full picture show what rgb24.bmp shows (palettes and 16-bit colour only
// come close).
TEST(Load, BmpSuiteFilesRead) {
    const fs::path dir = IDR_BMPSUITE_DIR;
    if (!fs::exists(dir / "g" / "rgb24.bmp")) {
        GTEST_SKIP() << "no BMP suite at " << dir;
    }
    auto load = [](const fs::path& path) -> cv::Mat {
        auto opened = open_scan(path.string());
        if (auto* e = std::get_if<LoadError>(&opened)) {
            ADD_FAILURE() << e->message;
            return {};
        }
        auto page = std::get<std::unique_ptr<PageSource>>(opened)->page(1, PixelKind::Colour);
        if (auto* e = std::get_if<LoadError>(&page)) {
            ADD_FAILURE() << e->message;
            return {};
        }
        return std::get<Page>(page).image;
    };
    const cv::Mat reference = load(dir / "g" / "rgb24.bmp");
    ASSERT_EQ(reference.size(), cv::Size(127, 64));
    struct Case {
        const char* file;
        double mean_difference;  // from rgb24.bmp, per channel; < 0: not compared
    };
    const std::vector<Case> cases = {
        {"g/rgb24pal.bmp", 0},       {"g/rgb32.bmp", 0},          {"g/rgb32bf.bmp", 0},
        {"g/rgb32bfdef.bmp", 0},     {"g/rgb16.bmp", 4},          {"g/rgb16-565.bmp", 4},
        {"g/rgb16-565pal.bmp", 4},   {"g/rgb16bfdef.bmp", 4},     {"g/pal8.bmp", 14},
        {"g/pal8-0.bmp", 14},        {"g/pal8os2.bmp", 14},       {"g/pal8topdown.bmp", 14},
        {"g/pal8v4.bmp", 14},        {"g/pal8v5.bmp", 14},        {"g/pal8rle.bmp", 14},
        {"g/pal4.bmp", -1},          {"g/pal4gs.bmp", -1},        {"g/pal4rle.bmp", -1},
        {"g/pal1.bmp", -1},          {"g/pal1bg.bmp", -1},        {"g/pal1wb.bmp", -1},
        {"g/pal8gs.bmp", -1},        {"g/pal8nonsquare.bmp", -1}, {"g/pal8w124.bmp", -1},
        {"g/pal8w125.bmp", -1},      {"g/pal8w126.bmp", -1},      {"q/rgb32-xbgr.bmp", 0},
        {"q/rgb32h52.bmp", 0},       {"q/rgb32-111110.bmp", 1},   {"q/rgb32-7187.bmp", 1},
        {"q/rgb32fakealpha.bmp", 0}, {"q/rgb24largepal.bmp", 0},  {"q/rgb24prof.bmp", 0},
        {"q/rgb24lprof.bmp", 0},     {"q/rgb24prof2.bmp", -1},     {"q/rgba32-1.bmp", -1},
        {"q/rgba32-2.bmp", -1},      {"q/rgba32h56.bmp", -1},     {"q/rgba32-1010102.bmp", -1},
        {"q/rgba32-61754.bmp", -1},  {"q/rgba32-81284.bmp", -1},  {"q/rgb16faketrns.bmp", 4},
        {"q/pal1p1.bmp", -1},        {"q/pal4rletrns.bmp", -1},   {"q/pal8offs.bmp", -1},
        {"q/pal8os2-hs.bmp", -1},    {"q/pal8os2-sz.bmp", -1},    {"q/pal8os2sp.bmp", -1},
        {"q/pal8os2v2.bmp", -1},     {"q/pal8os2v2-sz.bmp", -1},  {"q/pal8os2v2-40sz.bmp", -1},
        {"q/pal8rlecut.bmp", -1},    {"q/pal8rletrns.bmp", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const cv::Mat image = load(dir / c.file);
        ASSERT_FALSE(image.empty());
        if (c.mean_difference < 0) continue;
        ASSERT_EQ(image.size(), reference.size());
        EXPECT_LE(cv::norm(image, reference, cv::NORM_L1) / static_cast<double>(reference.total() * 3), c.mean_difference);
    }
    // Kinds no BMP reader agrees on are refused with the field that says so.
    for (const auto& [file, reason] : std::vector<std::pair<const char*, const char*>>{
             {"q/rgb24jpeg.bmp", "a JPEG inside the BMP"}, {"q/rgb24png.bmp", "a PNG inside the BMP"},
             {"q/pal1huffmsb.bmp", "Huffman"}, {"q/rgb24rle24.bmp", "24-bit run lengths"},
             {"b/badbitcount.bmp", "bits per pixel"}, {"b/shortfile.bmp", "pixel data cut short"}}) {
        SCOPED_TRACE(file);
        EXPECT_NE(first_error(slurp_file(dir / file)).find(reason), std::string::npos) << first_error(slurp_file(dir / file));
    }
}

// The sample scans beside the checkout: page counts and sizes as recorded.
TEST(Load, SampleScansHaveTheirRecordedPagesAndSizes) {
    const fs::path dir = fs::path(IDR_SOURCE_DIR) / ".." / "shared" / "scans" / "sample";
    if (!fs::exists(dir / "truth.jsonl")) {
        GTEST_SKIP() << "no sample scans at " << dir;
    }
    std::map<std::string, std::vector<cv::Size>> expected;  // file -> size of each page
    std::ifstream truth(dir / "truth.jsonl");
    for (std::string line; std::getline(truth, line);) {
        const auto record = nlohmann::json::parse(line);
        auto& sizes = expected[record["file"].get<std::string>()];
        sizes.resize(std::max<std::size_t>(sizes.size(), record["page"].get<std::size_t>()));
        sizes[record["page"].get<std::size_t>() - 1] = {record["size"][0].get<int>(), record["size"][1].get<int>()};
    }
    ASSERT_FALSE(expected.empty());
    for (const auto& [file, sizes] : expected) {
        SCOPED_TRACE(file);
        auto opened = open_scan((dir / file).string());
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PageSource>>(opened)) << std::get<LoadError>(opened).message;
        auto& source = std::get<std::unique_ptr<PageSource>>(opened);
        ASSERT_EQ(source->page_count(), static_cast<int>(sizes.size()));
        for (int n = 1; n <= source->page_count(); ++n) {
            auto page = source->page(n, PixelKind::Grey);
            ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
            EXPECT_EQ(std::get<Page>(page).full_size, sizes[static_cast<std::size_t>(n - 1)]);
            EXPECT_EQ(std::get<Page>(page).image.size(), sizes[static_cast<std::size_t>(n - 1)]);
        }
    }
}

}  // namespace
}  // namespace idr::test

// A decoding failure inside OpenCV becomes the page's reason in OpenCV's own
// words, as when the loader caught OpenCV's exception type by name.
TEST(Load, OpenCvErrorsGiveTheirOwnWords) {
    struct Case {
        const char* what;
        std::function<void()> fails;
    };
    const Case cases[] = {
        {"an assertion", [] { cv::Mat m(2, 2, CV_8UC1); cv::Mat n(3, 3, CV_8UC1); cv::Mat sum = m + n; }},
        {"an error with a function", [] { cv::error(cv::Error::StsBadArg, "the words", "some_function", "file.cpp", 7); }},
        {"an error without one", [] { cv::error(cv::Error::StsBadArg, "words (with brackets)", "", "file.cpp", 7); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string expected;
        try {
            c.fails();
        } catch (const cv::Exception& e) {
            expected = e.err;
        }
        ASSERT_FALSE(expected.empty());
        try {
            c.fails();
        } catch (const std::exception& e) {
            EXPECT_EQ(idr::scan::error_text(e), expected);
        }
    }
    EXPECT_EQ(idr::scan::error_text(std::runtime_error("plain words")), "plain words");
    const auto reason = idr::scan::guarded("page.jpg", 1, []() -> std::variant<idr::scan::Page, idr::scan::LoadError> {
        cv::error(cv::Error::StsNoMem, "Failed to allocate 8 bytes", "OutOfMemoryError", "alloc.cpp", 1);
        return idr::scan::Page{};
    });
    ASSERT_TRUE(std::holds_alternative<idr::scan::LoadError>(reason));
    EXPECT_NE(std::get<idr::scan::LoadError>(reason).message.find("could not be decoded: Failed to allocate 8 bytes"),
              std::string::npos)
        << std::get<idr::scan::LoadError>(reason).message;
}
