#include "scan/load.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace idr::test {
namespace {

using namespace idr::scan;

namespace fs = std::filesystem;

// A colour picture with a black square in its top-left corner, so that
// turning and flipping show.
cv::Mat test_picture(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3, cv::Scalar(230, 200, 170));
    cv::rectangle(picture, cv::Rect(0, 0, width / 4, height / 4), cv::Scalar(0, 0, 0), cv::FILLED);
    return picture;
}

std::string encode(const std::string& extension, const cv::Mat& picture, const std::vector<int>& params = {}) {
    std::vector<std::uint8_t> buffer;
    EXPECT_TRUE(cv::imencode(extension, picture, buffer, params)) << extension;
    return {buffer.begin(), buffer.end()};
}

std::string u16le(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string u32le(std::uint32_t v) { return u16le(v & 0xFFFF) + u16le(v >> 16); }
std::string u32be(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

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

// A scratch folder per test program run.
fs::path scratch() {
    const fs::path dir = fs::temp_directory_path() / ("idr-load-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

struct RoundTrip {
    const char* extension;
    double tolerance;  // mean difference: lossy formats come back close, not equal
};

TEST(Load, EveryFormatRoundTripsInGreyAndColour) {
    const cv::Mat picture = test_picture(64, 48);
    cv::Mat grey;
    cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    for (const RoundTrip& c : {RoundTrip{".png", 0}, RoundTrip{".bmp", 0}, RoundTrip{".tiff", 0},
                               RoundTrip{".jpg", 3}, RoundTrip{".webp", 3}}) {
        SCOPED_TRACE(c.extension);
        std::vector<int> params;
        if (std::string(c.extension) == ".webp") {
            params = {cv::IMWRITE_WEBP_QUALITY, 95};
        }
        auto source = open_ok(encode(c.extension, picture, params));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->page_count(), 1);
        for (const PixelKind kind : {PixelKind::Grey, PixelKind::Colour}) {
            auto page = source->page(1, kind);
            ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
            const Page& p = std::get<Page>(page);
            EXPECT_EQ(p.full_size, cv::Size(64, 48));
            EXPECT_EQ(p.reduction, 1);
            const cv::Mat& expected = kind == PixelKind::Grey ? grey : picture;
            ASSERT_EQ(p.image.type(), expected.type());
            EXPECT_LE(cv::norm(p.image, expected, cv::NORM_L1) / static_cast<double>(expected.total() * expected.channels()),
                      c.tolerance);
        }
    }
}

TEST(Load, GreyFileAskedForColourRepeatsItsGrey) {
    const cv::Mat grey(40, 40, CV_8UC1, cv::Scalar(90));
    auto page = open_ok(encode(".png", grey))->page(1, PixelKind::Colour);
    const cv::Mat& image = std::get<Page>(page).image;
    ASSERT_EQ(image.type(), CV_8UC3);
    EXPECT_EQ(image.at<cv::Vec3b>(5, 5), cv::Vec3b(90, 90, 90));
}

// A one-pixel picture is a picture: loaded, and the reader finds no block on it.
TEST(Load, OnePixelLoads) {
    auto page = open_ok(encode(".png", cv::Mat(1, 1, CV_8UC1, cv::Scalar(0))))->page(1, PixelKind::Grey);
    ASSERT_TRUE(std::holds_alternative<Page>(page));
    EXPECT_EQ(std::get<Page>(page).image.size(), cv::Size(1, 1));
}

TEST(Load, SixteenBitScaledAndAlphaLaidOnWhite) {
    cv::Mat deep(40, 40, CV_16UC1, cv::Scalar(65535));
    deep(cv::Rect(0, 0, 10, 10)).setTo(32896);
    cv::Mat clear(40, 40, CV_8UC4, cv::Scalar(0, 0, 0, 0));          // transparent black
    clear(cv::Rect(0, 0, 10, 10)).setTo(cv::Scalar(0, 0, 0, 255));  // opaque black
    clear(cv::Rect(20, 20, 10, 10)).setTo(cv::Scalar(0, 0, 0, 128));  // half-see-through black
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::pair<cv::Point, int>> expected;  // grey value at a point
    };
    const std::vector<Case> cases = {
        {"16-bit png", encode(".png", deep), {{{5, 5}, 128}, {{30, 30}, 255}}},
        {"16-bit tiff", encode(".tiff", deep), {{{5, 5}, 128}, {{30, 30}, 255}}},
        {"alpha png", encode(".png", clear), {{{5, 5}, 0}, {{35, 5}, 255}, {{25, 25}, 127}}},
        {"alpha tiff", encode(".tiff", clear), {{{5, 5}, 0}, {{35, 5}, 255}, {{25, 25}, 127}}},
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

TEST(Load, JpegDecodesReducedOthersAtFullSize) {
    const std::string jpeg = encode(".jpg", test_picture(200, 120));
    const std::string png = encode(".png", test_picture(200, 120));
    struct Case {
        const std::string* bytes;
        int asked;
        int reduction;
        cv::Size size;
    };
    for (const Case& c : {Case{&jpeg, 1, 1, {200, 120}}, Case{&jpeg, 2, 2, {100, 60}}, Case{&jpeg, 4, 4, {50, 30}},
                          Case{&jpeg, 8, 8, {25, 15}}, Case{&png, 4, 1, {200, 120}}}) {
        SCOPED_TRACE(c.asked);
        auto page = open_ok(*c.bytes)->page(1, PixelKind::Colour, c.asked);
        ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
        EXPECT_EQ(std::get<Page>(page).reduction, c.reduction);
        EXPECT_EQ(std::get<Page>(page).image.size(), c.size);
        EXPECT_EQ(std::get<Page>(page).full_size, cv::Size(200, 120));
    }
}

TEST(Load, JpegExifOrientationIsApplied) {
    // APP1 "Exif" with orientation 6: the stored picture is turned a quarter
    // anticlockwise, so it is shown turned clockwise.
    const std::string tiff = std::string("II*\0", 4) + u32le(8) + u16le(1) + u16le(0x0112) + u16le(3) + u32le(1) +
                             u16le(6) + u16le(0) + u32le(0);
    const std::string app1 = std::string("\xFF\xE1", 2) + static_cast<char>(0) +
                             static_cast<char>(2 + 6 + tiff.size()) + std::string("Exif\0\0", 6) + tiff;
    std::string jpeg = encode(".jpg", test_picture(80, 40));
    jpeg.insert(2, app1);
    auto page = open_ok(jpeg)->page(1, PixelKind::Grey, 2);
    ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
    const Page& p = std::get<Page>(page);
    EXPECT_EQ(p.full_size, cv::Size(40, 80));
    EXPECT_EQ(p.image.size(), cv::Size(20, 40));
    EXPECT_LT(p.image.at<std::uint8_t>(2, 17), 60);   // the black corner is now top right
    EXPECT_GT(p.image.at<std::uint8_t>(2, 2), 150);
}

TEST(Load, MultiPageTiffKeepsPageOrderFromBytesAndFromPath) {
    const std::vector<cv::Size> sizes = {{40, 40}, {50, 60}, {70, 35}};
    std::vector<cv::Mat> pages;
    for (const cv::Size& size : sizes) {
        pages.push_back(test_picture(size.width, size.height));
    }
    const fs::path file = scratch() / "three.tif";
    ASSERT_TRUE(cv::imwritemulti(file.string(), pages));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    auto from_path = open_scan(file.string());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PageSource>>(from_path));
    std::vector<std::unique_ptr<PageSource>> sources;
    sources.push_back(std::move(std::get<std::unique_ptr<PageSource>>(from_path)));
    sources.push_back(open_ok(bytes));
    for (auto& source : sources) {
        ASSERT_EQ(source->page_count(), 3);
        for (int n : {3, 1, 2}) {  // any order, one at a time
            auto page = source->page(n, PixelKind::Colour);
            ASSERT_TRUE(std::holds_alternative<Page>(page)) << std::get<LoadError>(page).message;
            EXPECT_EQ(std::get<Page>(page).number, n);
            EXPECT_EQ(std::get<Page>(page).image.size(), sizes[static_cast<std::size_t>(n - 1)]);
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
    const std::string png = encode(".png", test_picture(64, 48));
    const fs::path tiff_file = scratch() / "limits.tif";
    ASSERT_TRUE(cv::imwritemulti(tiff_file.string(), std::vector<cv::Mat>(3, test_picture(40, 40))));
    std::ifstream in(tiff_file, std::ios::binary);
    const std::string tiff((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
    auto opened = open_scan(tiff_file.string(), small);
    ASSERT_TRUE(std::holds_alternative<LoadError>(opened));
    EXPECT_NE(std::get<LoadError>(opened).message.find("more than the limit of 100 bytes"), std::string::npos);
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
             {"png", png}, {"jpeg", jpeg}, {"tiff", tiff}, {"webp", webp}, {"bmp", bmp}, {"pdf", pdf}}) {
        SCOPED_TRACE(name);
        const std::string error = first_error(bytes, {}, "p.x");
        EXPECT_EQ(error.rfind("p.x: page 1 is ", 0), 0u) << error;
        EXPECT_NE(error.find("pixels, more than the limit of 120 MP"), std::string::npos) << error;
    }
    EXPECT_EQ(first_error(png, {}, "p.png"), "p.png: page 1 is 100000 x 100000 pixels, more than the limit of 120 MP");
}

TEST(Load, DamagedAndForeignBytesGiveReasonsNamingTheFile) {
    const std::string png = encode(".png", test_picture(64, 48));
    const std::string tiff = encode(".tiff", test_picture(64, 48));
    const std::string webp = encode(".webp", test_picture(64, 48));
    const std::string bmp = encode(".bmp", test_picture(64, 48));
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
        {"tiff cut in half", tiff.substr(0, tiff.size() / 2)},
        {"tiff directory past the end", std::string("II*\0", 4) + u32le(5000)},
        {"tiff directory loop without size", std::string("II*\0", 4) + u32le(8) + u16le(0) + u32le(8)},
        {"webp cut in half", webp.substr(0, webp.size() / 2)},
        {"bmp cut in half", bmp.substr(0, bmp.size() / 2)},
        {"jpeg header only", "\xFF\xD8\xFF"},
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
}

TEST(Load, FilesThatCannotBeReadAreNamed) {
    const fs::path dir = scratch();
    const fs::path locked = dir / "locked.png";
    std::ofstream(locked, std::ios::binary) << encode(".png", test_picture(40, 40));
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
    auto bad_reduction = open_ok(encode(".png", test_picture(40, 40)))->page(1, PixelKind::Grey, 3);
    EXPECT_NE(std::get<LoadError>(bad_reduction).message.find("only 1, 2, 4 and 8"), std::string::npos);
}

TEST(Load, ScanExtensions) {
    for (const auto& [name, expected] : std::vector<std::pair<const char*, bool>>{
             {"a.png", true}, {"b.JPG", true}, {"c.jpeg", true}, {"d.Tif", true}, {"e.tiff", true},
             {"f.webp", true}, {"g.bmp", true}, {"h.PDF", true}, {"i.gif", false}, {"png", false},
             {"dir.png/readme", false}, {"j.png.txt", false}}) {
        EXPECT_EQ(has_scan_extension(name), expected) << name;
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
