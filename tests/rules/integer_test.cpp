#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "rules/colour.h"
#include "rules/error.h"
#include "rules/integer.h"

namespace idr::test {
namespace {

constexpr Int16 kMax16 = std::numeric_limits<Int16>::max();
constexpr Int16 kMin16 = std::numeric_limits<Int16>::min();
constexpr Int32 kMax32 = std::numeric_limits<Int32>::max();
constexpr Int32 kMin32 = std::numeric_limits<Int32>::min();

struct Int16Case {
    const char* name;
    std::function<Int16()> op;
    Int16 expected;
};

TEST(CheckedInt16, ResultsInsideTheRange) {
    const Int16Case cases[] = {
        {"add", [] { return checked_add16(2, 3); }, 5},
        {"add to max", [] { return checked_add16(32766, 1); }, kMax16},
        {"add negatives to min", [] { return checked_add16(-32767, -1); }, kMin16},
        {"add max and min", [] { return checked_add16(kMax16, kMin16); }, -1},
        {"sub", [] { return checked_sub16(5, 7); }, -2},
        {"sub to min", [] { return checked_sub16(-32767, 1); }, kMin16},
        {"sub negative to max", [] { return checked_sub16(-1, kMin16); }, kMax16},
        {"increment", [] { return checked_increment16(9); }, 10},
        {"increment to max", [] { return checked_increment16(32766); }, kMax16},
        {"increment min", [] { return checked_increment16(kMin16); }, -32767},
        {"narrow max", [] { return checked_narrow16(32767); }, kMax16},
        {"narrow min", [] { return checked_narrow16(-32768); }, kMin16},
        {"narrow -1", [] { return checked_narrow16(-1); }, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.op(), c.expected) << c.name;
}

struct OverflowCase {
    const char* name;
    std::function<void()> op;
    const char* message;
};

TEST(CheckedIntegers, OverflowThrowsAndSaysWhat) {
    const OverflowCase cases[] = {
        {"add16 up", [] { checked_add16(kMax16, 1); }, "16-bit addition 32767 + 1 overflows"},
        {"add16 down", [] { checked_add16(kMin16, -1); }, "16-bit addition -32768 + -1 overflows"},
        {"sub16 down", [] { checked_sub16(kMin16, 1); }, "16-bit subtraction -32768 - 1 overflows"},
        {"sub16 up", [] { checked_sub16(0, kMin16); }, "16-bit subtraction 0 - -32768 overflows"},
        {"inc16", [] { checked_increment16(kMax16); }, "16-bit increment 32767 + 1 overflows"},
        {"inc32", [] { checked_increment32(kMax32); }, "32-bit increment 2147483647 + 1 overflows"},
        {"narrow 40000", [] { checked_narrow16(40000); },
         "the value 40000 does not fit a 16-bit integer"},
        {"narrow 32768", [] { checked_narrow16(32768); },
         "the value 32768 does not fit a 16-bit integer"},
        {"narrow -32769", [] { checked_narrow16(-32769); },
         "the value -32769 does not fit a 16-bit integer"},
        {"div min by -1", [] { div_trunc(kMin32, -1); }, "32-bit division -2147483648 / -1 overflows"},
    };
    for (const auto& c : cases) {
        try {
            c.op();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Overflow) << c.name;
            EXPECT_EQ(e.message(), c.message) << c.name;
        }
    }
}

TEST(CheckedInt32, ResultsInsideTheRange) {
    EXPECT_EQ(checked_increment32(361), 362);
    EXPECT_EQ(checked_increment32(kMax32 - 1), kMax32);
    EXPECT_EQ(checked_increment32(kMin32), kMin32 + 1);
    // 16-bit range is no limit for the 32-bit kind.
    EXPECT_EQ(checked_increment32(32767), 32768);
}

TEST(DivTrunc, TruncatesTowardZero) {
    const struct {
        Int32 dividend, divisor, expected;
    } cases[] = {
        {-1, 256, 0},        {-1, 65536, 0},       {-7, 4, -1},     {7, 4, 1},
        {16711680, 65536, 255}, {65280, 256, 255}, {-255, 256, 0},  {-256, 256, -1},
        {20, 4, 5},          {5, 2, 2},            {-5, 2, -2},     {kMin32, 1, kMin32},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(div_trunc(c.dividend, c.divisor), c.expected) << c.dividend << " / " << c.divisor;
    }
}

TEST(BitAnd, WorksOnTwosComplementPattern) {
    const struct {
        Int32 a, mask, expected;
    } cases[] = {
        {-1, 255, 255}, {-256, 255, 0}, {0x123456, 255, 0x56}, {kMin32, -1, kMin32}, {-2, 3, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(bit_and(c.a, c.mask), c.expected) << c.a;
}

TEST(Rgb, LimitsEachComponentThenCombines) {
    const struct {
        Int32 r, g, b, expected;
    } cases[] = {
        {0, 0, 0, kBlack},
        {255, 255, 255, kWhite},
        {300, -4, 128, 8388863},
        {0, 0, 255, kBlue},
        {0, 255, 0, kGreen},
        {1000000, 1000000, 1000000, kWhite},
        {kMin32, kMin32, kMin32, kBlack},
        {kMax32, 0, 0, 255},
        {1, 2, 3, 1 + 2 * 256 + 3 * 65536},
    };
    for (const auto& c : cases) EXPECT_EQ(rgb(c.r, c.g, c.b), c.expected) << c.r << "," << c.g << "," << c.b;
}

}  // namespace
}  // namespace idr::test
