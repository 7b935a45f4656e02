// Texts for spreadsheet cells: whatever a file name or a typed ID holds, the
// cell is valid UTF-8, within a cell's limit, and never a formula.

#include <gtest/gtest.h>

#include <string>

#include "review/cell_text.h"

namespace idr::test {
namespace {

TEST(CellText, SpreadsheetTextIsValidShortAndNeverAFormula) {
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        const char* what;
        std::string in, out;
    } cases[] = {
        {"plain", "scans/p1.png", "scans/p1.png"},
        {"Thai kept whole", "\xe0\xb9\x91\xe0\xb9\x92.png", "\xe0\xb9\x91\xe0\xb9\x92.png"},
        {"formula", "=HYPERLINK(\"x\")", "'=HYPERLINK(\"x\")"},
        {"a stray continuation byte", "a\x80" "b", "a" + replacement + "b"},
        {"a cut sequence at the end", "ab\xe0\xb9", "ab" + replacement + replacement},
        {"an overlong '/'", "\xc0\xaf", replacement + replacement},
        {"a surrogate", "\xed\xa0\x80", replacement + replacement + replacement},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", replacement + replacement + replacement + replacement},
        {"invalid first, then a formula sign", "\xff=1", replacement + "=1"},
    };
    for (const auto& c : cases) EXPECT_EQ(review::spreadsheet_text(c.in), c.out) << c.what;

    // The cap falls between characters: 32,766 ASCII then a 3-byte one.
    const std::string at_the_edge = std::string(32766, 'x') + "\xe0\xb9\x91" + "tail";
    const std::string cut = review::spreadsheet_text(at_the_edge);
    EXPECT_EQ(cut, std::string(32766, 'x'));
    EXPECT_EQ(review::spreadsheet_text(std::string(40000, 'y')).size(), 32767u);
}

TEST(CellText, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain", "plain"}, {"", ""}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""}, {"cr\r", "\"cr\r\""}, {"'=1", "'=1"},
    };
    for (const auto& c : cases) EXPECT_EQ(review::csv_field(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace idr::test
