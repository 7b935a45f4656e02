#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "rules/error.h"
#include "rules/floats.h"

namespace idr::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const struct {
        double in, out;
    } cases[] = {
        {2.5, 2},      {3.5, 4},     {-2.5, -2},    {-3.5, -4},   {0.5, 0},
        {1.5, 2},      {35.4, 35},   {35.5, 36},    {36.5, 36},   {106.0 / 3, 35},
        {107.0 / 3, 36}, {2.4999999999999996, 2}, {2.5000000000000004, 3},
        {-0.4, 0},     {-0.6, -1},   {0, 0},        {7, 7},       {-7, -7},
        {4503599627370495.5, 4503599627370496},
        {32767.5, 32768}, {-32768.5, -32768},
    };
    for (const auto& c : cases) EXPECT_EQ(round_half_even(c.in), c.out) << c.in;
}

TEST(RoundHalfEven, DiffersFromStdRoundOnlyAtHalves) {
    EXPECT_EQ(std::round(2.5), 3);
    EXPECT_EQ(round_half_even(2.5), 2);
    EXPECT_EQ(std::round(2.6), round_half_even(2.6));
}

TEST(RoundHalfEven, KeepsTheSignOfZeroAndPassesNonFinite) {
    EXPECT_TRUE(std::signbit(round_half_even(-0.5)));
    EXPECT_FALSE(std::signbit(round_half_even(0.5)));
    EXPECT_TRUE(std::isnan(round_half_even(kNaN)));
    EXPECT_EQ(round_half_even(kInf), kInf);
}

TEST(RoundToInt, InRange) {
    EXPECT_EQ(round_to_int16(35.4), 35);
    EXPECT_EQ(round_to_int16(35.5), 36);
    EXPECT_EQ(round_to_int16(36.5), 36);
    EXPECT_EQ(round_to_int16(-0.5), 0);
    EXPECT_EQ(round_to_int16(32767.4), 32767);
    EXPECT_EQ(round_to_int16(-32768.5), -32768);  // halfway to even: -32768
    EXPECT_EQ(round_to_int32(262.0f), 262);
    EXPECT_EQ(round_to_int32(2147483647.4), 2147483647);
    EXPECT_EQ(round_to_int32(-2147483648.5), -2147483648);
}

TEST(RoundToInt, OutOfRangeAndNonFiniteOverflow) {
    const struct {
        const char* name;
        double v;
        bool sixteen;
    } cases[] = {
        {"32767.5", 32767.5, true},   {"-32769", -32769, true},
        {"-32768.6", -32768.6, true}, {"NaN16", kNaN, true},
        {"inf16", kInf, true},        {"-inf16", -kInf, true},
        {"2^31", 2147483648.0, false}, {"2147483647.5", 2147483647.5, false},
        {"-2147483649", -2147483649.0, false}, {"NaN32", kNaN, false},
        {"inf32", kInf, false},       {"1e300", 1e300, false},
    };
    for (const auto& c : cases) {
        try {
            if (c.sixteen) {
                round_to_int16(c.v);
            } else {
                round_to_int32(c.v);
            }
            ADD_FAILURE() << c.name << ": no error";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Overflow) << c.name;
        }
    }
}

TEST(RoundToInt, MessageNamesValueAndKind) {
    try {
        round_to_int16(32767.5);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.message(), "converting 32767.5 to a 16-bit integer overflows");
    }
}

TEST(FloatChecked, PassesFiniteValuesAndRejectsTheRest) {
    EXPECT_EQ(float_checked(1.5, "x"), 1.5);
    EXPECT_EQ(float_checked(-0.0, "x"), 0.0);
    EXPECT_EQ(float_checked(std::numeric_limits<double>::denorm_min(), "x"),
              std::numeric_limits<double>::denorm_min());  // underflow is no error
    const struct {
        double v;
        const char* message;
    } bad[] = {
        {kNaN, "invalid operation in the row percentage"},
        {kInf, "division by zero or overflow in the row percentage"},
        {-kInf, "division by zero or overflow in the row percentage"},
    };
    for (const auto& c : bad) {
        try {
            float_checked(c.v, "the row percentage");
            ADD_FAILURE() << c.v;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::FloatingPoint);
            EXPECT_EQ(e.message(), c.message);
        }
    }
}

TEST(FloorValue, LargestIntegralNotGreater) {
    const struct {
        double in, out;
    } cases[] = {{0.5, 0}, {99.9, 99}, {100, 100}, {-0.5, -1}, {0, 0}, {44.99999, 44}};
    for (const auto& c : cases) EXPECT_EQ(floor_value(c.in), c.out) << c.in;
}

TEST(StoreSingle, RoundsToNearestSingle) {
    EXPECT_EQ(store_single(8.0 + 20.0 + 5.0), 33.0f);
    EXPECT_EQ(store_single(0.1), 0.1f);
    EXPECT_EQ(store_single(16777217.0), 16777216.0f);  // tie goes to even
    EXPECT_EQ(store_single(std::numeric_limits<float>::max()), std::numeric_limits<float>::max());
    // Just below the halfway point to 2^128 still rounds to the largest single.
    EXPECT_EQ(store_single(0x1.fffffefffffffp127), std::numeric_limits<float>::max());
    EXPECT_EQ(store_single(1e-50), 0.0f);  // underflow is no error
}

TEST(StoreSingle, BeyondSingleRangeOrNonFiniteThrows) {
    const double bad[] = {0x1.ffffffp127, 1e39, -1e39, 1e300, kInf, -kInf, kNaN};
    for (double v : bad) {
        try {
            store_single(v);
            ADD_FAILURE() << v;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::FloatingPoint) << v;
        }
    }
}

}  // namespace
}  // namespace idr::test
