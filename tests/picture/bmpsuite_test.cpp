// The public BMP suite: good, questionable, bad and other files. Every file
// must either decode to the picture it holds or be refused with an error
// that names a field; none may crash (this also runs under the sanitizers).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "picture/bmp.h"
#include "picture/bytes_util.h"

namespace idr::test {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const fs::path kSuite = IDR_BMPSUITE_DIR;

// Every field name the decoder may report.
const std::set<std::string> kFields = {
    "file header",        "signature",   "pixel data offset", "information header size",
    "information header", "planes",      "bits per pixel",    "compression",
    "width",              "height",      "picture size",      "pixel data",
};

// The files in the suite that are 24-bit uncompressed with a 40-byte header;
// each holds the same picture as g/rgb24.bmp.
const std::set<std::string> kDecodable = {"g/rgb24.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp"};

Bytes load(const std::string& relative) {
    Bytes bytes;
    EXPECT_TRUE(test::read_file((kSuite / relative).string(), bytes)) << relative;
    return bytes;
}

bool suite_present() { return fs::is_directory(kSuite / "g"); }

TEST(BmpSuite, Rgb24DecodesToItsKnownColours) {
    if (!suite_present()) {
        GTEST_SKIP() << "BMP suite not found at " << kSuite;
    }
    const PictureResult result = decode_bmp(load("g/rgb24.bmp"));
    ASSERT_TRUE(result) << result.error.message();
    const Surface& s = *result.picture;
    EXPECT_EQ(s.width(), 127);
    EXPECT_EQ(s.height(), 64);
    struct Known {
        int x;
        int y;
        int r;
        int g;
        int b;
    };
    const Known known[] = {
        {0, 0, 255, 0, 0},        {0, 63, 0, 0, 0},         {63, 32, 255, 255, 255},
        {10, 10, 215, 82, 82},    {126, 0, 159, 159, 189},  {20, 40, 93, 165, 165},
    };
    for (const auto& k : known) {
        EXPECT_EQ(s.pixel(k.x, k.y), k.r + 256 * k.g + 65536 * k.b) << "(" << k.x << ", " << k.y << ")";
    }
}

TEST(BmpSuite, PaletteCarryingAndTopDownVariantsMatchRgb24) {
    if (!suite_present()) {
        GTEST_SKIP() << "BMP suite not found at " << kSuite;
    }
    const Bytes plain = load("g/rgb24.bmp");
    const PictureResult reference = decode_bmp(plain);
    ASSERT_TRUE(reference) << reference.error.message();

    const PictureResult with_palette = decode_bmp(load("g/rgb24pal.bmp"));
    ASSERT_TRUE(with_palette) << with_palette.error.message();
    EXPECT_EQ(*with_palette.picture, *reference.picture);

    // Rewrite the file with its rows in the other order and a negative height.
    const std::size_t stride = 384;  // 127 * 3 = 381, padded to 4
    const std::size_t rows = 64;
    Bytes flipped = plain;
    for (std::size_t row = 0; row < rows; ++row) {
        std::copy_n(plain.begin() + 54 + row * stride, stride, flipped.begin() + 54 + (rows - 1 - row) * stride);
    }
    test::put_u32(flipped, 22, static_cast<std::uint32_t>(-64));
    const PictureResult top_down = decode_bmp(flipped);
    ASSERT_TRUE(top_down) << top_down.error.message();
    EXPECT_EQ(*top_down.picture, *reference.picture);
}

TEST(BmpSuite, EveryFileDecodesCorrectlyOrIsRefusedByName) {
    if (!suite_present()) {
        GTEST_SKIP() << "BMP suite not found at " << kSuite;
    }
    const PictureResult reference = decode_bmp(load("g/rgb24.bmp"));
    ASSERT_TRUE(reference);

    std::set<std::string> decoded;
    int files = 0;
    for (const char* folder : {"g", "q", "b", "x"}) {
        if (!fs::is_directory(kSuite / folder)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(kSuite / folder)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            const std::string name = std::string(folder) + "/" + entry.path().filename().string();
            ++files;
            const PictureResult result = decode_bmp(load(name));
            if (result) {
                decoded.insert(name);
                EXPECT_TRUE(kDecodable.count(name)) << name << " decoded but is not a plain 24-bit file";
                EXPECT_EQ(*result.picture, *reference.picture) << name;
            } else {
                EXPECT_TRUE(kFields.count(result.error.field))
                    << name << ": unexpected field \"" << result.error.field << "\"";
                EXPECT_FALSE(result.error.detail.empty()) << name;
            }
        }
    }
    EXPECT_GT(files, 50);
    EXPECT_EQ(decoded, kDecodable);
}

TEST(BmpSuite, BadFilesNameTheirFault) {
    if (!fs::is_directory(kSuite / "b")) {
        GTEST_SKIP() << "BMP suite not found at " << kSuite;
    }
    struct Case {
        const char* file;
        const char* field;
    };
    const Case cases[] = {
        {"b/badbitcount.bmp", "bits per pixel"},
        {"b/badheadersize.bmp", "information header size"},
        {"b/badplanes.bmp", "planes"},
        {"b/reallybig.bmp", "picture size"},
        {"b/rgb16-880.bmp", "bits per pixel"},
        {"x/ba-bm.bmp", "signature"},
        {"g/pal8os2.bmp", "information header size"},
        {"g/pal8rle.bmp", "bits per pixel"},
        {"q/rgb24rle24.bmp", "information header size"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decode_bmp(load(c.file)).error.field, c.field) << c.file;
    }
}

}  // namespace
}  // namespace idr::test
