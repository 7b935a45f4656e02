// The stored form of the sheet: the picture frame around the BMP file, the
// file's header fields, and that the embedded bytes are assets/sheet.bmp.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <unistd.h>

#include "assets/embedded_sheet.h"
#include "picture/framed.h"

namespace idr::test {
namespace {

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SheetFile, FrameHoldsExactlyOneBmpFile) {
    const auto blob = embedded_sheet_blob();
    ASSERT_EQ(blob.size(), 285322u);
    EXPECT_EQ(u32(blob, 0), 285318u);  // N: bytes after the field
    EXPECT_EQ(blob[4], 0x6C);
    EXPECT_EQ(blob[5], 0x74);
    EXPECT_EQ(blob[6], 0x00);
    EXPECT_EQ(blob[7], 0x00);
    EXPECT_EQ(u32(blob, 8), 285310u);  // M: the BMP file
    EXPECT_EQ(u32(blob, 0), u32(blob, 8) + 8);
}

TEST(SheetFile, BmpHeaderFields) {
    const auto bmp = embedded_sheet_blob().subspan(12);
    struct Field {
        const char* name;
        std::size_t offset;
        int bytes;
        std::uint32_t value;
    };
    const Field fields[] = {
        {"file size", 2, 4, 285310},        {"reserved 1", 6, 2, 0},
        {"reserved 2", 8, 2, 0},            {"pixel data offset", 10, 4, 54},
        {"information header size", 14, 4, 40}, {"width", 18, 4, 262},
        {"height (bottom-up)", 22, 4, 362}, {"planes", 26, 2, 1},
        {"bits per pixel", 28, 2, 24},      {"compression", 30, 4, 0},
        {"image size", 34, 4, 285256},      {"horizontal resolution", 38, 4, 7874},
        {"vertical resolution", 42, 4, 7874}, {"colours used", 46, 4, 0},
        {"important colours", 50, 4, 0},
    };
    ASSERT_EQ(bmp.size(), 285310u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    for (const Field& f : fields) {
        const std::uint32_t got = f.bytes == 4 ? u32(bmp, f.offset) : u16(bmp, f.offset);
        EXPECT_EQ(got, f.value) << f.name;
    }
    // Each 262-pixel row is padded from 786 to 788 bytes with zeros.
    for (std::size_t row = 0; row < 362; ++row) {
        EXPECT_EQ(bmp[54 + 788 * row + 786], 0) << "row " << row;
        EXPECT_EQ(bmp[54 + 788 * row + 787], 0) << "row " << row;
    }
}

TEST(SheetFile, EmbeddedBytesAreTheCommittedSheet) {
    const std::vector<std::uint8_t> file = read_file(IDR_SOURCE_DIR "/assets/sheet.bmp");
    ASSERT_EQ(file.size(), 285310u) << "assets/sheet.bmp";
    const auto bmp = embedded_sheet_blob().subspan(12);
    EXPECT_TRUE(std::equal(bmp.begin(), bmp.end(), file.begin(), file.end()));
}

// The committed sheet is the generator's output, byte for byte, so the
// generator and the sheet cannot drift apart unnoticed.
TEST(SheetFile, GeneratorReproducesTheCommittedSheet) {
    const std::filesystem::path generator = IDR_BINARY_DIR "/tools/make_sheet";
    if (!std::filesystem::exists(generator)) GTEST_SKIP() << "make_sheet not built";
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("idr_sheet_test_" + std::to_string(::getpid()) + ".bmp");
    const std::string command = "'" + generator.string() + "' '" + out.string() + "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << "make_sheet reported a figure it did not reach";
    const std::vector<std::uint8_t> made = read_file(out);
    std::filesystem::remove(out);
    EXPECT_EQ(made, read_file(IDR_SOURCE_DIR "/assets/sheet.bmp"));
}

TEST(SheetFile, DecodesToTheWindowPicture) {
    const PictureResult decoded = read_framed_picture(embedded_sheet_blob());
    ASSERT_TRUE(decoded) << decoded.error.message();
    EXPECT_EQ(decoded.picture->width(), 262);
    EXPECT_EQ(decoded.picture->height(), 362);
    // Bottom-up rows: the first stored pixel is the bottom-left one.
    const auto bmp = embedded_sheet_blob().subspan(12);
    EXPECT_EQ(decoded.picture->pixel(0, 361), bmp[56] << 0 | bmp[55] << 8 | bmp[54] << 16);
}

}  // namespace
}  // namespace idr::test
