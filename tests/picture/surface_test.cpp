#include "picture/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace idr::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

Surface sheet_sized() {
    Surface s(262, 362, 0x123456);
    s.set_pixel(261, 361, 0x00ABCDEF);
    s.set_pixel(0, 0, 0x000000FF);
    return s;
}

struct Coordinate {
    float x;
    float y;
};

TEST(Surface, PointOutsideThePictureIsMinusOne) {
    const Surface s = sheet_sized();
    const Coordinate outside[] = {
        {262, 0},   {0, 362},  {-1, 5},   {5, -1},        {262, 362},     {-0.5f, 0},
        {0, -0.01f}, {kNaN, 0}, {0, kNaN}, {kInf, 0},     {-kInf, 0},     {0, kInf},
        {1e30f, 1}, {1, -1e30f}, {261.9999f, 362}, {3e9f, 3e9f},
    };
    for (const auto& c : outside) {
        EXPECT_EQ(s.Point(c.x, c.y), kNoPixel) << "at (" << c.x << ", " << c.y << ")";
    }
}

TEST(Surface, FractionalCoordinatesAddressThePixelTheyFallIn) {
    Surface s(4, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            s.set_pixel(x, y, 10 * y + x);
        }
    }
    struct Case {
        float x;
        float y;
        Int32 expected;
    };
    const Case cases[] = {
        {0, 0, 0},       {3, 2, 23},         {0.5f, 0.5f, 0},   {3.999f, 2.999f, 23},
        {1.0f, 1.99f, 11}, {-0.0f, 0, 0},    {2.5f, 1.0f, 12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(s.Point(c.x, c.y), c.expected) << "at (" << c.x << ", " << c.y << ")";
    }
}

TEST(Surface, LastPixelIsReachable) {
    const Surface s = sheet_sized();
    EXPECT_EQ(s.Point(261, 361), 0x00ABCDEF);
    EXPECT_EQ(s.Point(0, 0), 0xFF);
    EXPECT_EQ(s.ScaleWidth(), 262.0f);
    EXPECT_EQ(s.ScaleHeight(), 362.0f);
}

TEST(Surface, PSetOutsideChangesNothing) {
    const Surface before = sheet_sized();
    Surface s = before;
    const Coordinate outside[] = {{262, 10}, {-1, -1}, {10, 362}, {kNaN, 3}, {3, kNaN}, {-kInf, kInf}, {1e20f, 0}};
    for (const auto& c : outside) {
        s.PSet(c.x, c.y, 0);
    }
    EXPECT_EQ(s, before);
}

TEST(Surface, PSetThenPointGivesTheColourBackExactly) {
    Surface s = sheet_sized();
    const Int32 colours[] = {0, 0xFFFFFF, 0x010203, 0xFF0000, 0x00FF00, 0x7F7F7F};
    int x = 0;
    for (const Int32 colour : colours) {
        s.PSet(static_cast<float>(x), 100.0f, colour);
        EXPECT_EQ(s.Point(static_cast<float>(x), 100.0f), colour);
        EXPECT_EQ(s.pixel(x, 100), colour);
        ++x;
    }
    // Only the pixels written changed.
    EXPECT_EQ(s.Point(static_cast<float>(x), 100.0f), 0x123456);
    EXPECT_EQ(s.Point(0, 99), 0x123456);
    EXPECT_EQ(s.Point(0, 101), 0x123456);
}

TEST(Surface, FractionalPSetWritesTheFlooredPixel) {
    Surface s(3, 3, 7);
    s.PSet(1.75f, 2.25f, 99);
    EXPECT_EQ(s.pixel(1, 2), 99);
    EXPECT_EQ(s.Point(1, 2), 99);
}

}  // namespace
}  // namespace idr::test
