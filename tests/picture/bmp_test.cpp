#include "picture/bmp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "picture/bytes_util.h"

namespace idr::test {
namespace {

using test::Bytes;
using test::get_u32;
using test::put_u16;
using test::put_u32;

// Offsets in the 54 bytes of headers.
constexpr std::size_t kFileSize = 2;
constexpr std::size_t kDataOffset = 10;
constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kWidth = 18;
constexpr std::size_t kHeight = 22;
constexpr std::size_t kPlanes = 26;
constexpr std::size_t kBitCount = 28;
constexpr std::size_t kCompression = 30;
constexpr std::size_t kImageSize = 34;
constexpr std::size_t kXPpm = 38;
constexpr std::size_t kYPpm = 42;

// A valid 3 x 2 file (stride 12, two bytes of padding per row) to break.
Bytes small_file() { return encode_bmp(test::patterned_surface(3, 2)); }

struct Rejection {
    const char* name;
    std::function<void(Bytes&)> damage;
    const char* field;
};

TEST(DecodeBmp, RejectsEachMalformedFieldByName) {
    const Rejection cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, "file header"},
        {"13 bytes", [](Bytes& b) { b.resize(13); }, "file header"},
        {"BA signature", [](Bytes& b) { b[1] = 'A'; }, "signature"},
        {"binary signature", [](Bytes& b) { b[0] = 0; b[1] = 0xFF; }, "signature"},
        {"offset past end", [](Bytes& b) { put_u32(b, kDataOffset, static_cast<std::uint32_t>(b.size() + 1)); }, "pixel data offset"},
        {"offset huge", [](Bytes& b) { put_u32(b, kDataOffset, 0xFFFFFFFF); }, "pixel data offset"},
        {"no info header", [](Bytes& b) { b.resize(16); put_u32(b, kDataOffset, 15); }, "information header size"},
        {"core header", [](Bytes& b) { put_u32(b, kHeaderSize, 12); }, "information header size"},
        {"v4 header", [](Bytes& b) { put_u32(b, kHeaderSize, 108); }, "information header size"},
        {"v5 header", [](Bytes& b) { put_u32(b, kHeaderSize, 124); }, "information header size"},
        {"info header cut", [](Bytes& b) { b.resize(40); put_u32(b, kDataOffset, 30); }, "information header"},
        // Files cut short are named by where they end, not blamed on the offset.
        {"cut in header size", [](Bytes& b) { b.resize(16); }, "information header size"},
        {"cut in info header", [](Bytes& b) { b.resize(40); }, "information header"},
        {"cut after headers", [](Bytes& b) { b.resize(54); }, "pixel data"},
        {"planes 0", [](Bytes& b) { put_u16(b, kPlanes, 0); }, "planes"},
        {"planes 2", [](Bytes& b) { put_u16(b, kPlanes, 2); }, "planes"},
        {"8 bits", [](Bytes& b) { put_u16(b, kBitCount, 8); }, "bits per pixel"},
        {"32 bits", [](Bytes& b) { put_u16(b, kBitCount, 32); }, "bits per pixel"},
        {"RLE8", [](Bytes& b) { put_u32(b, kCompression, 1); }, "compression"},
        {"bit fields", [](Bytes& b) { put_u32(b, kCompression, 3); }, "compression"},
        {"width 0", [](Bytes& b) { put_u32(b, kWidth, 0); }, "width"},
        {"width -3", [](Bytes& b) { put_u32(b, kWidth, static_cast<std::uint32_t>(-3)); }, "width"},
        {"height 0", [](Bytes& b) { put_u32(b, kHeight, 0); }, "height"},
        {"height INT32_MIN", [](Bytes& b) { put_u32(b, kHeight, 0x80000000u); }, "height"},
        {"too wide", [](Bytes& b) { put_u32(b, kWidth, 16385); }, "picture size"},
        {"too tall top-down", [](Bytes& b) { put_u32(b, kHeight, static_cast<std::uint32_t>(-16385)); }, "picture size"},
        {"too many pixels", [](Bytes& b) { put_u32(b, kWidth, 16384); put_u32(b, kHeight, 16384); }, "picture size"},
        {"largest int", [](Bytes& b) { put_u32(b, kWidth, 0x7FFFFFFF); put_u32(b, kHeight, 0x7FFFFFFF); }, "picture size"},
        {"offset in headers", [](Bytes& b) { put_u32(b, kDataOffset, 20); }, "pixel data offset"},
        {"offset 53", [](Bytes& b) { put_u32(b, kDataOffset, 53); }, "pixel data offset"},
        {"last pixel cut", [](Bytes& b) { b.resize(54 + 12 + 8); }, "pixel data"},
        {"one row missing", [](Bytes& b) { b.resize(54 + 12); }, "pixel data"},
        {"taller than data", [](Bytes& b) { put_u32(b, kHeight, 3); }, "pixel data"},
        {"wider than data", [](Bytes& b) { put_u32(b, kWidth, 5); }, "pixel data"},
        {"offset skips data", [](Bytes& b) { put_u32(b, kDataOffset, 60); }, "pixel data"},
        // Within the caps, but far more rows than the file holds: must be
        // refused before the surface is allocated.
        {"big but empty", [](Bytes& b) { put_u32(b, kWidth, 4096); put_u32(b, kHeight, 4096); }, "pixel data"},
    };
    for (const auto& c : cases) {
        Bytes file = small_file();
        c.damage(file);
        const PictureResult result = decode_bmp(file);
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(result.error.field, c.field) << c.name << ": " << result.error.message();
        EXPECT_FALSE(result.error.detail.empty()) << c.name;
        EXPECT_EQ(result.error.message(), result.error.field + " " + result.error.detail) << c.name;
    }
}

// Each cap at exactly its value and one past. A picture at the cap that is
// small enough to build here is decoded; the larger ones are given headers
// only, so passing the caps shows as "pixel data is cut short".
TEST(DecodeBmp, SizeCapsAtTheCapAndOnePast) {
    constexpr auto kSide = static_cast<std::int32_t>(kMaxBmpDimension);
    constexpr auto kRowsAtPixelCap = static_cast<std::int32_t>(kMaxBmpPixels / kMaxBmpDimension);
    static_assert(kRowsAtPixelCap * kMaxBmpDimension == kMaxBmpPixels);
    const struct {
        std::int32_t width, height;  // negative height: top-down
        bool build;                  // a whole file, else headers only
        const char* field;           // nullptr: decoded
    } cases[] = {
        {kSide, 1, true, nullptr},
        {kSide + 1, 1, true, "picture size"},
        {1, kSide, true, nullptr},
        {1, kSide + 1, true, "picture size"},
        {1, -kSide, true, nullptr},
        {1, -(kSide + 1), true, "picture size"},
        {kSide, kRowsAtPixelCap, false, "pixel data"},        // exactly kMaxBmpPixels
        {kSide, kRowsAtPixelCap + 1, false, "picture size"},  // one row more
        {kRowsAtPixelCap, -kSide, false, "pixel data"},
        {kRowsAtPixelCap + 1, -kSide, false, "picture size"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const int rows = c.height < 0 ? -c.height : c.height;
        Bytes file = c.build ? encode_bmp(Surface(c.width, rows, 0x123456)) : small_file();
        put_u32(file, kWidth, static_cast<std::uint32_t>(c.width));
        put_u32(file, kHeight, static_cast<std::uint32_t>(c.height));
        const PictureResult result = decode_bmp(file);
        if (c.field == nullptr) {
            ASSERT_TRUE(result) << result.error.message();
            EXPECT_EQ(result.picture->width(), c.width);
            EXPECT_EQ(result.picture->height(), rows);
            EXPECT_EQ(result.picture->pixel(c.width - 1, rows - 1), 0x123456);
        } else {
            ASSERT_FALSE(result);
            EXPECT_EQ(result.error.field, c.field) << result.error.message();
        }
    }
}

// Fields that writers often get wrong and that do not affect the pixels.
TEST(DecodeBmp, ToleratesHarmlessFields) {
    const Surface expected = test::patterned_surface(3, 2);
    const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
        {"file size 0", [](Bytes& b) { put_u32(b, kFileSize, 0); }},
        {"file size huge", [](Bytes& b) { put_u32(b, kFileSize, 0xFFFFFFF0u); }},
        {"image size 0", [](Bytes& b) { put_u32(b, kImageSize, 0); }},
        {"resolution odd", [](Bytes& b) { put_u32(b, kXPpm, 0); put_u32(b, kYPpm, static_cast<std::uint32_t>(-5)); }},
        {"reserved set", [](Bytes& b) { b[6] = 1; b[9] = 2; }},
        {"last row padding missing", [](Bytes& b) { b.resize(b.size() - 3); }},
        {"trailing bytes", [](Bytes& b) { b.insert(b.end(), 10, 0xEE); }},
        {"padding not zero", [](Bytes& b) { b[54 + 9] = 0xAA; b[54 + 11] = 0xBB; }},
    };
    for (const auto& [name, change] : cases) {
        Bytes file = small_file();
        change(file);
        const PictureResult result = decode_bmp(file);
        ASSERT_TRUE(result) << name << ": " << result.error.message();
        EXPECT_EQ(*result.picture, expected) << name;
    }
}

TEST(DecodeBmp, FirstStoredRowIsTheBottomRow) {
    Bytes file = encode_bmp(Surface(262, 362, 0xFFFFFF));
    for (std::size_t x = 0; x < 262; ++x) {  // stored row 0: pure red
        file[54 + 3 * x] = 0;
        file[54 + 3 * x + 1] = 0;
        file[54 + 3 * x + 2] = 255;
    }
    const PictureResult result = decode_bmp(file);
    ASSERT_TRUE(result) << result.error.message();
    const Surface& s = *result.picture;
    EXPECT_EQ(s.Point(0, 361), 255);
    EXPECT_EQ(s.Point(261, 361), 255);
    EXPECT_EQ(s.Point(0, 360), 0xFFFFFF);
    EXPECT_EQ(s.Point(0, 0), 0xFFFFFF);
}

TEST(DecodeBmp, RowsOf262PixelsTake788Bytes) {
    Bytes file = encode_bmp(Surface(262, 362, 0));
    ASSERT_EQ(file.size(), 54u + 362u * 788u);
    // First pixel of stored row 1 (y = 360) and last pixel of stored row 0.
    file[54 + 788] = 0x01;      // blue
    file[54 + 788 + 1] = 0x02;  // green
    file[54 + 788 + 2] = 0x03;  // red
    file[54 + 785] = 0x40;      // red of pixel 261, stored row 0
    const PictureResult result = decode_bmp(file);
    ASSERT_TRUE(result) << result.error.message();
    EXPECT_EQ(result.picture->Point(0, 360), 0x010203);
    EXPECT_EQ(result.picture->Point(261, 361), 0x40);
    EXPECT_EQ(result.picture->Point(1, 360), 0);
}

TEST(DecodeBmp, NegativeHeightStoresRowsTopDown) {
    const Surface s = test::patterned_surface(5, 4);
    const Bytes bottom_up = encode_bmp(s);
    Bytes top_down = bottom_up;
    const std::size_t stride = 16;
    for (std::size_t row = 0; row < 4; ++row) {
        std::copy_n(bottom_up.begin() + 54 + row * stride, stride, top_down.begin() + 54 + (3 - row) * stride);
    }
    put_u32(top_down, kHeight, static_cast<std::uint32_t>(-4));
    const PictureResult result = decode_bmp(top_down);
    ASSERT_TRUE(result) << result.error.message();
    EXPECT_EQ(*result.picture, s);
}

TEST(DecodeBmp, HonoursThePixelDataOffset) {
    const Surface s = test::patterned_surface(3, 2);
    Bytes file = encode_bmp(s);
    // A 1024-byte colour table of junk between the headers and the pixels.
    file.insert(file.begin() + 54, 1024, 0x5A);
    put_u32(file, kDataOffset, 54 + 1024);
    const PictureResult result = decode_bmp(file);
    ASSERT_TRUE(result) << result.error.message();
    EXPECT_EQ(*result.picture, s);
}

TEST(EncodeBmp, SheetSizedPictureHasTheStoredLayout) {
    const Bytes file = encode_bmp(Surface(262, 362, 0x00FFFFFF));
    ASSERT_EQ(file.size(), 285310u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    struct Field {
        std::size_t offset;
        std::uint32_t value;
    };
    const Field fields[] = {
        {kFileSize, 285310}, {6, 0},         {kDataOffset, 54},   {kHeaderSize, 40},
        {kWidth, 262},       {kHeight, 362}, {kImageSize, 285256}, {kXPpm, 7874},
        {kYPpm, 7874},       {46, 0},        {50, 0},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(get_u32(file, f.offset), f.value) << "at offset " << f.offset;
    }
    EXPECT_EQ(get_u32(file, kPlanes), 1u + (24u << 16));  // planes, then bit count
    EXPECT_EQ(get_u32(file, kCompression), 0u);
    for (std::size_t row = 0; row < 362; ++row) {
        EXPECT_EQ(file[54 + row * 788 + 786], 0) << "row " << row;
        EXPECT_EQ(file[54 + row * 788 + 787], 0) << "row " << row;
    }
}

TEST(EncodeBmp, RoundTripsThroughTheDecoder) {
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 1}, {262, 362}};
    for (const auto& [w, h] : sizes) {
        const Surface s = test::patterned_surface(w, h);
        const PictureResult result = decode_bmp(encode_bmp(s));
        ASSERT_TRUE(result) << w << "x" << h << ": " << result.error.message();
        EXPECT_EQ(*result.picture, s) << w << "x" << h;
    }
}

TEST(EncodeBmp, IgnoresTheTopByteOfEachColour) {
    Surface s(2, 1);
    s.set_pixel(0, 0, -1);
    s.set_pixel(1, 0, static_cast<Int32>(0x7F010203));
    const PictureResult result = decode_bmp(encode_bmp(s));
    ASSERT_TRUE(result) << result.error.message();
    EXPECT_EQ(result.picture->pixel(0, 0), 0xFFFFFF);
    EXPECT_EQ(result.picture->pixel(1, 0), 0x010203);
}

}  // namespace
}  // namespace idr::test
