#include "picture/framed.h"

#include <gtest/gtest.h>

#include <functional>

#include "picture/bytes_util.h"

namespace idr::test {
namespace {

using test::Bytes;
using test::get_u32;
using test::put_u32;

Bytes framed_sheet() { return frame_picture(encode_bmp(test::patterned_surface(262, 362))); }

TEST(FramedPicture, SheetSizedFrameHasTheStoredLengths) {
    const Bytes blob = framed_sheet();
    ASSERT_EQ(blob.size(), 12u + 285310u);
    EXPECT_EQ(get_u32(blob, 0), 285318u);
    EXPECT_EQ(blob[4], 0x6C);
    EXPECT_EQ(blob[5], 0x74);
    EXPECT_EQ(blob[6], 0x00);
    EXPECT_EQ(blob[7], 0x00);
    EXPECT_EQ(get_u32(blob, 8), 285310u);
    EXPECT_EQ(blob[12], 'B');
    EXPECT_EQ(get_u32(blob, 12 + 2), 285310u);  // the BMP's own file size
}

TEST(FramedPicture, RoundTrips) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{262, 362}}) {
        const Surface s = test::patterned_surface(w, h);
        const PictureResult result = read_framed_picture(frame_picture(encode_bmp(s)));
        ASSERT_TRUE(result) << result.error.message();
        EXPECT_EQ(*result.picture, s);
    }
}

TEST(FramedPicture, RejectsEachBrokenFrameFieldByName) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        const char* field;
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, "frame header"},
        {"11 bytes", [](Bytes& b) { b.resize(11); }, "frame header"},
        {"N one short", [](Bytes& b) { put_u32(b, 0, get_u32(b, 0) - 1); }, "frame length"},
        {"N equals M", [](Bytes& b) { put_u32(b, 0, get_u32(b, 8)); }, "frame length"},
        // M + 8 wraps in 32 bits; N = 7 must not pass for it.
        {"M near 2^32", [](Bytes& b) { put_u32(b, 8, 0xFFFFFFFFu); put_u32(b, 0, 7); }, "frame length"},
        {"tag", [](Bytes& b) { b[4] = 'L'; }, "frame tag"},
        {"tag last byte", [](Bytes& b) { b[7] = 1; }, "frame tag"},
        {"picture cut short", [](Bytes& b) { b.pop_back(); }, "picture length"},
        {"M larger than blob",
         [](Bytes& b) {
             put_u32(b, 8, get_u32(b, 8) + 100);
             put_u32(b, 0, get_u32(b, 8) + 8);
         },
         "picture length"},
        {"trailing byte", [](Bytes& b) { b.push_back(0); }, "trailing bytes"},
        {"M too small",
         [](Bytes& b) {
             put_u32(b, 8, get_u32(b, 8) - 4);
             put_u32(b, 0, get_u32(b, 8) + 8);
         },
         "trailing bytes"},
        {"BMP file size field", [](Bytes& b) { put_u32(b, 12 + 2, get_u32(b, 12 + 2) + 1); }, "file size"},
        {"BMP itself broken", [](Bytes& b) { b[12 + 28] = 8; }, "bits per pixel"},
        {"BMP too short for its header",
         [](Bytes& b) {
             b.resize(12 + 5);
             put_u32(b, 8, 5);
             put_u32(b, 0, 13);
         },
         "file header"},
    };
    for (const auto& c : cases) {
        Bytes blob = frame_picture(encode_bmp(test::patterned_surface(3, 2)));
        c.damage(blob);
        const PictureResult result = read_framed_picture(blob);
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(result.error.field, c.field) << c.name << ": " << result.error.message();
        EXPECT_FALSE(result.error.detail.empty()) << c.name;
    }
}

TEST(FramedPicture, EmptyPictureFramesToTwelveBytes) {
    const Bytes blob = frame_picture({});
    ASSERT_EQ(blob.size(), 12u);
    EXPECT_EQ(get_u32(blob, 0), 8u);
    EXPECT_EQ(get_u32(blob, 8), 0u);
    EXPECT_EQ(read_framed_picture(blob).error.field, "file header");
}

}  // namespace
}  // namespace idr::test
