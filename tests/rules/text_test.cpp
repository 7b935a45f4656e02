#include <gtest/gtest.h>

#include <locale.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "rules/error.h"
#include "rules/text.h"
#include "comma_locale.h"

namespace idr::test {
namespace {

struct NumberCase {
    const char* text;
    const char* separator;
    double expected;
};

TEST(TextToDouble, ReadsDecimalNumbers) {
    const NumberCase cases[] = {
        {"35", ".", 35},
        {"  35  ", ".", 35},
        {"\t35\t", ".", 35},
        {"-1", ".", -1},
        {"+8", ".", 8},
        {"007", ".", 7},
        {"0", ".", 0},
        {"000", ".", 0},
        {"999999999", ".", 999999999},
        {"1234567890", ".", 1234567890},
        {"3.5", ".", 3.5},
        {".5", ".", 0.5},
        {"5.", ".", 5},
        {"-.25", ".", -0.25},
        {"1e3", ".", 1000},
        {"2.5E-2", ".", 0.025},
        {"1E+2", ".", 100},
        {"3,5", ",", 3.5},
        {"1,000", ",", 1},
        {"  -12,75 ", ",", -12.75},
        {"2\xD9\xAB" "5", "\xD9\xAB", 2.5},  // Arabic decimal separator
        {"1e-400", ".", 0},                   // underflows without error
        {"0e999999999999999999999", ".", 0},
        {"0.000", ".", 0},
        {"1.7976931348623157e308", ".", 1.7976931348623157e308},
        {"4.9e-324", ".", 4.9e-324},
        {"0.1e1", ".", 1},
        {"100000000000000000000000e-20", ".", 1000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_to_double(c.text, c.separator), c.expected)
            << "\"" << c.text << "\" with \"" << c.separator << "\"";
    }
}

TEST(TextToDouble, ResultIsCorrectlyRounded) {
    // A long mantissa must round as a whole, not digit by digit.
    EXPECT_EQ(text_to_double("0.1000000000000000055511151231257827", "."), 0.1);
    EXPECT_EQ(text_to_double("9007199254740993", "."), 9007199254740992.0);
    EXPECT_EQ(text_to_double(std::string(400, '0') + "12", "."), 12);
}

// Whole numbers of up to 15 digits take a digit-by-digit fast path, exact
// only below 2^53; longer ones must round as a whole. Many random 15- to
// 19-digit integers, both signs, against strtod in the C locale, which
// rounds correctly.
TEST(TextToDouble, LongIntegersRoundCorrectlyOnBothSidesOfTheFastPath) {
    const locale_t c_locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    ASSERT_NE(c_locale, static_cast<locale_t>(nullptr));
    std::mt19937_64 rng(20240605);
    std::uniform_int_distribution<int> length(15, 19), digit(0, 9), first(1, 9), sign(0, 1);
    int wrong = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text = sign(rng) ? "-" : "";
        const int n = length(rng);
        text += static_cast<char>('0' + first(rng));
        for (int d = 1; d < n; ++d) text += static_cast<char>('0' + digit(rng));
        const double expected = strtod_l(text.c_str(), nullptr, c_locale);
        const double got = text_to_double(text, ".");
        if (got != expected && ++wrong <= 5) ADD_FAILURE() << text << ": " << got << ", expected " << expected;
    }
    freelocale(c_locale);
    EXPECT_EQ(wrong, 0);
}

TEST(TextToDouble, EmptySeparatorMeansPoint) {
    EXPECT_EQ(text_to_double("3.5", ""), 3.5);
}

TEST(TextToDouble, NegativeZeroAndUnderflowKeepTheSign) {
    EXPECT_TRUE(std::signbit(text_to_double("-0", ".")));
    EXPECT_TRUE(std::signbit(text_to_double("-1e-999", ".")));
}

TEST(TextToDouble, NonNumbersAreTypeMismatch) {
    const struct {
        std::string text;
        const char* separator;
    } cases[] = {
        {"", "."},      {" ", "."},      {"\t \t", "."},  {"abc", "."},    {"35abc", "."},
        {"inf", "."},   {"nan", "."},    {"infinity", "."}, {"0x10", "."}, {"1,000", "."},
        {".", "."},     {"1.2.3", "."},  {"+", "."},      {"-", "."},      {"+-1", "."},
        {"1e", "."},    {"1e+", "."},    {"e5", "."},     {"3 5", "."},    {"3.5", ","},
        {"1,2,3", ","}, {"35\n", "."},   {std::string("3\0" "5", 3), "."}, {"\xD9\xAB", "\xD9\xAB"},
        {"\xEF\xBC\x93\xEF\xBC\x95", "."},  // full-width digits
        {"$35", "."},   {"35%", "."},    {"1_000", "."},  {"--1", "."},
    };
    for (const auto& c : cases) {
        try {
            text_to_double(c.text, c.separator);
            ADD_FAILURE() << "\"" << c.text << "\" was accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::TypeMismatch) << c.text;
        }
    }
}

TEST(TextToDouble, BeyondDoubleRangeIsOverflow) {
    const std::string cases[] = {
        "1e309", "-1e309", "1.8e308", std::string(400, '9'), "1" + std::string(400, '0') + ".5",
        "1e99999999999999999999999", "0.0001e313",
    };
    for (const auto& text : cases) {
        try {
            text_to_double(text, ".");
            ADD_FAILURE() << text << " was accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Overflow) << text;
        }
    }
}

TEST(TextToDouble, MessagesQuoteTheText) {
    const struct {
        std::string text;
        const char* separator;
        std::string message;
    } cases[] = {
        {"abc", ".", "the text \"abc\" is not a number"},
        {"", ".", "the text \"\" is not a number"},
        {"1e309", ".", "the number \"1e309\" is beyond the range of a double"},
        // A point or comma that is not the user's separator: name the separator.
        {"8.5", ",", "the text \"8.5\" is not a number (the decimal separator is \",\")"},
        {"8,5", ".", "the text \"8,5\" is not a number (the decimal separator is \".\")"},
        {"1,000.5", ",", "the text \"1,000.5\" is not a number (the decimal separator is \",\")"},
        {"1.2.3", ".", "the text \"1.2.3\" is not a number"},
    };
    for (const auto& c : cases) {
        try {
            text_to_double(c.text, c.separator);
            ADD_FAILURE() << c.text;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.message(), c.message);
        }
    }
}

TEST(QuotedText, ShowsAnyTextSafely) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"abc", "\"abc\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"\t\n\r", "\"\\t\\n\\r\""},
        {std::string("a\0b", 3), "\"a\\x00b\""},
        {"\x1B[2J\x7F", "\"\\x1B[2J\\x7F\""},
        {"\xFF\xC3", "\"\\xFF\\xC3\""},                  // malformed UTF-8
        {"\xC2\x85", "\"\\xC2\\x85\""},                  // C1 control
        {"\xED\xA0\x80", "\"\\xED\\xA0\\x80\""},        // encoded surrogate
        {"\xE0\xB8\xAB\xE0\xB8\xA1", "\"\xE0\xB8\xAB\xE0\xB8\xA1\""},  // Thai kept
        {std::string(40, 'x'), "\"" + std::string(40, 'x') + "\""},
        {std::string(41, 'x'), "\"" + std::string(40, 'x') + "...\""},
    };
    for (const auto& c : cases) EXPECT_EQ(quoted_text(c.text), c.shown);

    // The cut counts characters, not bytes, and never splits one.
    std::string thai;
    for (int i = 0; i < 50; ++i) thai += "\xE0\xB8\xAB";
    EXPECT_EQ(quoted_text(thai), "\"" + thai.substr(0, 120) + "...\"");
}

TEST(SystemDecimalSeparator, FollowsTheEnvironmentWithoutChangingTheProcessLocale) {
    const char* saved = std::getenv("LC_ALL");
    const std::string saved_value = saved ? saved : "";
    const std::string process_before = std::setlocale(LC_NUMERIC, nullptr);

    const struct {
        const char* lc_all;
        const char* separator;
    } cases[] = {
        {"C", "."},
        {"POSIX", "."},
        {"xx_NOWHERE.bogus", "."},  // not installed: falls back
    };
    for (const auto& c : cases) {
        ::setenv("LC_ALL", c.lc_all, 1);
        EXPECT_EQ(system_decimal_separator(), c.separator) << c.lc_all;
    }
    EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), process_before);

    if (saved) {
        ::setenv("LC_ALL", saved_value.c_str(), 1);
    } else {
        ::unsetenv("LC_ALL");
    }
}

// A hard-coded "." would pass every case above; this locale's separator is
// a comma.
TEST(SystemDecimalSeparator, IsACommaUnderACommaLocale) {
    ASSERT_TRUE(CommaLocaleEnvironment::available())
        << "localedef could not build a test locale (install the locales package)";
    const std::string process_before = std::setlocale(LC_NUMERIC, nullptr);
    {
        const CommaLocaleEnvironment comma;
        EXPECT_EQ(system_decimal_separator(), ",");
    }
    EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), process_before);
}

TEST(NumberToText, PlainDecimalWithoutBlanks) {
    const struct {
        Int32 v;
        const char* text;
    } ints[] = {{0, "0"}, {7, "7"}, {10, "10"}, {-3, "-3"}, {-32768, "-32768"},
                {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
    for (const auto& c : ints) EXPECT_EQ(int_to_text(c.v), c.text);

    const struct {
        double v;
        const char* text;
    } doubles[] = {{0, "0"}, {-0.0, "0"}, {45, "45"}, {100, "100"}, {-7, "-7"}, {99.9, "99"},
                   {1e20, "100000000000000000000"}, {-0.5, "0"}};
    for (const auto& c : doubles) EXPECT_EQ(double_to_text(c.v), c.text) << c.v;
}

TEST(Join, LeftOperandFirst) {
    EXPECT_EQ(join(join("Total unit remain = ", int_to_text(5)), " Unit."),
              "Total unit remain = 5 Unit.");
    EXPECT_EQ(join(join("Image binary process done  ", double_to_text(45)), "%"),
              "Image binary process done  45%");
    EXPECT_EQ(join("", ""), "");
}

}  // namespace
}  // namespace idr::test
