#include <gtest/gtest.h>

#include <string>

#include "rules/error.h"
#include "rules/flag_array.h"

namespace idr::test {
namespace {

TEST(RuntimeError, ReportNamesKindThenMessage) {
    const struct {
        ErrorKind kind;
        const char* report;
    } cases[] = {
        {ErrorKind::Overflow, "Overflow: m"},
        {ErrorKind::FloatingPoint, "Floating-point error: m"},
        {ErrorKind::Subscript, "Subscript out of range: m"},
        {ErrorKind::TypeMismatch, "Type mismatch: m"},
        {ErrorKind::MissingElement, "Missing control-array element: m"},
        {ErrorKind::Control, "Control error: m"},
    };
    for (const auto& c : cases) {
        const RuntimeError e(c.kind, "m");
        EXPECT_EQ(e.report(), c.report);
        EXPECT_EQ(std::string(e.what()), c.report);
        EXPECT_EQ(e.message(), "m");
        EXPECT_EQ(e.kind(), c.kind);
    }
}

TEST(CheckedArray16, AccessInsideBoundsAndStartsAtZero) {
    CheckedArray16<0, 100> flags;
    for (Int32 i = 0; i <= 100; ++i) EXPECT_EQ(flags(i), 0);
    flags(0) = 1;
    flags(100) = kTrue;
    EXPECT_EQ(flags(0), 1);
    EXPECT_EQ(flags(100), -1);
    EXPECT_EQ(flags(50), 0);

    CheckedArray16<-2, 2> shifted;
    shifted(-2) = 5;
    shifted(2) = 6;
    EXPECT_EQ(shifted(-2), 5);
    EXPECT_EQ(shifted(2), 6);
}

TEST(CheckedArray16, OutsideBoundsIsSubscriptError) {
    CheckedArray16<0, 100> flags;
    const CheckedArray16<0, 100>& read_only = flags;
    const struct {
        Int32 index;
        const char* message;
    } cases[] = {
        {101, "index 101 is outside the bounds 0 to 100"},
        {-1, "index -1 is outside the bounds 0 to 100"},
        {-2147483647 - 1, "index -2147483648 is outside the bounds 0 to 100"},
    };
    for (const auto& c : cases) {
        for (bool constant : {false, true}) {
            try {
                if (constant) {
                    (void)read_only(c.index);
                } else {
                    flags(c.index) = 1;
                }
                ADD_FAILURE() << c.index;
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Subscript);
                EXPECT_EQ(e.message(), c.message);
            }
        }
    }
}

}  // namespace
}  // namespace idr::test
