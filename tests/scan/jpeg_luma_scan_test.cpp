// Our own decoder for a baseline JPEG's luma at half size, held to the
// library: every file it takes must come out exactly as libjpeg decodes it,
// and every file it refuses must still reach the library's picture or words.

#include "scan/jpeg_luma_scan.h"

#include <csetjmp>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "scan/jpeg_decoder.h"
#include "tests/scan/test_images.h"

namespace idr::scan {
namespace {

using test::grey_of;
using test::jpeg_file;
using test::jpeg_file_from_coefficients;
using test::JpegOptions;
using test::test_picture;

struct Trap {
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
};

void trap_exit(j_common_ptr info) { std::longjmp(static_cast<Trap*>(info->client_data)->jump, 1); }
void quiet(j_common_ptr, int) {}

// Sets the library up as the loader does (grey, half size) and hands the
// scan to our decoder: true when it took the file.
bool own_decoder_takes(const std::string& bytes, cv::Mat& out) {
    jpeg_decompress_struct info{};
    Trap trap;
    info.err = jpeg_std_error(&trap.errors);
    trap.errors.error_exit = trap_exit;
    trap.errors.emit_message = quiet;
    info.client_data = &trap;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    jpeg_mem_src(&info, data, static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_GRAYSCALE;
    info.scale_num = 1;
    info.scale_denom = 2;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    const bool taken = decode_luma_half(info, data + bytes.size(), out);
    jpeg_destroy_decompress(&info);
    return taken;
}

// The loader's answer, with and without our decoder, must be the same.
void expect_as_library(const std::string& bytes, const std::string& what) {
    const auto ours = decode_jpeg(bytes, PixelKind::Grey, 2);
    const auto library = decode_jpeg_by_library(bytes, PixelKind::Grey, 2);
    ASSERT_EQ(ours.index(), library.index()) << what;
    if (library.index() == 1) {
        EXPECT_EQ(std::get<1>(ours), std::get<1>(library)) << what;
        return;
    }
    const cv::Mat& a = std::get<0>(ours);
    const cv::Mat& b = std::get<0>(library);
    ASSERT_EQ(a.size(), b.size()) << what;
    ASSERT_EQ(a.type(), b.type()) << what;
    EXPECT_EQ(cv::norm(a, b, cv::NORM_INF), 0) << what << ": " << cv::countNonZero(a != b) << " samples differ";
}

// Pictures that make every kind of block: smooth, sharp edges, noise.
cv::Mat content(int width, int height, int kind, unsigned seed) {
    cv::Mat bgr = test_picture(width, height);
    if (kind == 1) {  // noise, for large coefficients at every frequency
        cv::Mat noise(height, width, CV_8UC3);
        cv::RNG rng(seed);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 256);
        bgr = noise;
    } else if (kind == 2) {  // one-pixel black and white checks: the largest coefficients there are
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bgr.at<cv::Vec3b>(y, x) = ((x + y) & 1) ? cv::Vec3b(255, 255, 255) : cv::Vec3b(0, 0, 0);
    }
    return bgr;
}

struct Case {
    const char* name;
    int width, height;
    int kind;  // 0 shapes, 1 noise, 2 checks
    bool grey;
    JpegOptions options;
};

JpegOptions with(int quality, int restart = 0, int h = 0, int v = 0, bool optimize = false) {
    JpegOptions o;
    o.quality = quality;
    o.restart_interval = restart;
    o.luma_h = h;
    o.luma_v = v;
    o.optimize_coding = optimize;
    return o;
}

TEST(JpegLumaScan, TakesPlainFilesAndDecodesThemAsTheLibraryDoes) {
    const std::vector<Case> cases = {
        {"grey 1 x 1", 1, 1, 0, true, with(92)},
        {"grey 3 x 5", 3, 5, 0, true, with(92)},
        {"grey 8 x 8", 8, 8, 0, true, with(75)},
        {"grey 17 x 9, odd edges", 17, 9, 0, true, with(92)},
        {"grey shapes", 250, 333, 0, true, with(92)},
        {"grey shapes, quality 50", 250, 333, 0, true, with(50)},
        {"grey noise, quality 100", 161, 97, 1, true, with(100)},
        {"grey checks, quality 100", 64, 48, 2, true, with(100)},
        {"grey, a restart every block", 67, 41, 0, true, with(92, 1)},
        {"grey, a restart every 7 blocks", 250, 333, 1, true, with(90, 7)},
        {"grey, tables made for the picture", 250, 333, 1, true, with(95, 0, 0, 0, true)},
        {"colour 4:2:0", 250, 333, 0, false, with(92)},
        {"colour 4:2:0, odd size", 251, 335, 0, false, with(92)},
        {"colour 4:4:4", 99, 101, 1, false, with(92, 0, 1, 1)},
        {"colour 4:2:2", 130, 77, 0, false, with(80, 0, 2, 1)},
        {"colour 4:4:0", 77, 130, 1, false, with(80, 0, 1, 2)},
        {"colour, restarts every 3 MCUs", 250, 333, 1, false, with(92, 3)},
        {"colour noise, optimised tables", 161, 97, 1, false, with(100, 0, 0, 0, true)},
        {"colour checks", 48, 64, 2, false, with(100, 0, 1, 1)},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        cv::Mat picture = content(c.width, c.height, c.kind, seed++);
        if (c.grey) picture = grey_of(picture);
        const std::string bytes = jpeg_file(picture, c.options);
        cv::Mat ours;
        EXPECT_TRUE(own_decoder_takes(bytes, ours)) << c.name;
        expect_as_library(bytes, c.name);
    }
}

// Where the file is anything but plain, the decoder hands it back, or (for
// bits that still decode) gives what the library gives from the same bits.
TEST(JpegLumaScan, DamagedAndOtherFilesEndAsTheLibraryEndsThem) {
    const cv::Mat shapes = content(250, 333, 0, 7);
    const cv::Mat grey = grey_of(shapes);
    const std::string plain = jpeg_file(grey, with(92));
    const std::string restarts = jpeg_file(grey, with(92, 5));
    const std::string colour = jpeg_file(shapes, with(92));

    // Where the scan's data begins: after the SOS segment.
    const auto scan_start = [](const std::string& b) {
        const std::size_t sos = b.find("\xFF\xDA");
        return sos + 2 + ((static_cast<unsigned char>(b[sos + 2]) << 8) | static_cast<unsigned char>(b[sos + 3]));
    };
    const auto without_eoi = [](std::string b) { return b.substr(0, b.size() - 2); };

    struct Damage {
        const char* name;
        std::string bytes;
        int taken;  // 1 taken, 0 handed back, -1 either
    };
    std::vector<Damage> damaged;
    JpegOptions progressive;
    progressive.progressive = true;
    JpegOptions arithmetic;
    arithmetic.arithmetic = true;
    JpegOptions cmyk;
    cmyk.cmyk = true;
    damaged.push_back({"progressive", jpeg_file(grey, progressive), 0});
    damaged.push_back({"arithmetic-coded", jpeg_file(grey, arithmetic), 0});
    damaged.push_back({"CMYK", jpeg_file(shapes, cmyk), 0});
    for (const double at : {0.05, 0.5, 0.9, 0.999}) {
        const std::size_t start = scan_start(plain);
        const std::size_t cut = start + static_cast<std::size_t>(at * static_cast<double>(plain.size() - 2 - start));
        damaged.push_back({"cut short in the scan", plain.substr(0, cut), 0});
        damaged.push_back({"cut short, colour", colour.substr(0, scan_start(colour) + (cut - start) / 2), 0});
    }
    damaged.push_back({"no end marker", without_eoi(plain), 1});
    damaged.push_back({"a comment after the scan", without_eoi(plain) + std::string("\xFF\xFE\x00\x05" "abc\xFF\xD9", 9), 1});
    damaged.push_back({"garbage, then the end", without_eoi(plain) + std::string("\x12\x34\xFF\xD9", 4), 1});
    damaged.push_back({"a second scan", without_eoi(plain) + plain.substr(plain.find("\xFF\xDA")), 0});
    damaged.push_back({"a table after the scan", without_eoi(plain) + plain.substr(plain.find("\xFF\xC4")), 0});
    damaged.push_back({"a cut comment after the scan", without_eoi(plain) + std::string("\xFF\xFE\x01\x00" "ab", 6), 0});
    {
        std::string b = restarts;
        const std::size_t rst = b.find("\xFF\xD1", scan_start(b));
        b[rst + 1] = '\xD3';
        damaged.push_back({"restart markers out of order", b, 0});
        std::string missing = restarts;
        missing.erase(missing.find("\xFF\xD2", scan_start(missing)), 2);
        damaged.push_back({"a restart marker missing", missing, 0});
        damaged.push_back({"a restart marker too many", without_eoi(restarts) + std::string("\xFF\xD0\xFF\xD9", 4), 0});
    }
    {
        std::string wrong_restarts = plain;  // markers where the header announced none
        const std::size_t start = scan_start(wrong_restarts);
        wrong_restarts.insert(start + 300, "\xFF\xD0", 2);
        damaged.push_back({"a restart marker in a file without them", wrong_restarts, 0});
    }
    // Flipped bytes in the scan: the decoders read the same wrong bits, or
    // the bits are no code and ours hands the file back.
    for (const std::size_t offset : {10, 333, 2000, 5000}) {
        std::string b = plain;
        const std::size_t at = scan_start(b) + offset;
        if (at + 1 >= b.size()) continue;
        b[at] = static_cast<char>(b[at] ^ 0x5A);
        if (static_cast<unsigned char>(b[at]) == 0xFF) b[at] = 0x7F;
        damaged.push_back({"a flipped byte", b, -1});
    }
    for (const Damage& d : damaged) {
        cv::Mat ours;
        const bool taken = own_decoder_takes(d.bytes, ours);
        if (d.taken >= 0) {
            EXPECT_EQ(taken, d.taken == 1) << d.name;
        }
        expect_as_library(d.bytes, d.name);
    }
}

// Coefficients no encoder makes from a picture: sums far out of the sample
// range (the library's range table wraps them), and dequantized values too
// large for the 32-bit lanes, which send the file to the library.
TEST(JpegLumaScan, ExtremeCoefficientsAreTheLibrarys) {
    cv::RNG rng(11);
    struct Extreme {
        const char* name;
        std::string bytes;
        bool taken;
    };
    const std::vector<Extreme> cases = {
        {"every coefficient anywhere in +-1023, step 1: samples far out of range",
         jpeg_file_from_coefficients(40, 24, 1, [&](std::int16_t* b, int) { for (int k = 0; k < 64; ++k) b[k] = static_cast<std::int16_t>(rng.uniform(-1023, 1024)); }),
         false},
        {"large coefficients at the corners of the block, step 1",
         jpeg_file_from_coefficients(33, 17, 1, [&](std::int16_t* b, int i) {
             b[0] = static_cast<std::int16_t>(i % 2 ? 1023 : -1023);
             b[7] = b[56] = b[63] = static_cast<std::int16_t>(i % 3 ? 1023 : -1000);
         }),
         true},
        {"small coefficients, step 255",
         jpeg_file_from_coefficients(40, 24, 255, [&](std::int16_t* b, int) { for (int k = 0; k < 64; ++k) b[k] = static_cast<std::int16_t>(rng.uniform(-6, 7)); }),
         false},
    };
    for (const Extreme& c : cases) {
        cv::Mat ours;
        EXPECT_EQ(own_decoder_takes(c.bytes, ours), c.taken) << c.name;
        expect_as_library(c.bytes, c.name);
    }
}

// Not the half size or not grey: the library decodes, as before.
TEST(JpegLumaScan, OtherScalesAndColourAreTheLibrarys) {
    const cv::Mat shapes = content(250, 333, 0, 3);
    const std::string colour = jpeg_file(shapes, with(92));
    for (const int reduction : {1, 2, 4, 8}) {
        for (const PixelKind kind : {PixelKind::Grey, PixelKind::Colour}) {
            const auto ours = decode_jpeg(colour, kind, reduction);
            const auto library = decode_jpeg_by_library(colour, kind, reduction);
            ASSERT_EQ(ours.index(), 0u);
            ASSERT_EQ(library.index(), 0u);
            EXPECT_EQ(cv::norm(std::get<0>(ours), std::get<0>(library), cv::NORM_INF), 0) << reduction;
        }
    }
}

}  // namespace
}  // namespace idr::scan
