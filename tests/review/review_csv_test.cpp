// The review file of corrections: rows of other pages survive an update,
// cells never start a formula, a foreign file is left alone.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "review/cell_text.h"
#include "review/review_csv.h"

namespace idr::test {
namespace {

namespace fs = std::filesystem;
using namespace review;

fs::path scratch(const std::string& name) {
    fs::path dir = fs::path(IDR_BINARY_DIR) / "test_scratch" / "review_csv" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ReviewCsv, CellsThatWouldBeFormulasGetAnApostrophe) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"}, {"+41", "'+41"}, {"-1", "'-1"}, {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"}, {"5093719246", "5093719246"}, {"scans/p1.png", "scans/p1.png"}, {"", ""},
        {"a=b", "a=b"},
    };
    for (const auto& c : cases) EXPECT_EQ(spreadsheet_safe(c.in), c.out) << c.in;
}

TEST(ReviewCsv, FieldsSurviveQuotingAndParsing) {
    const std::vector<std::string> fields = {"plain", "a,b", "say \"hi\"", "two\nlines", "", "ไทย.png"};
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + csv_field(fields[i]);
    const auto records = parse_csv("\xEF\xBB\xBF" + line + "\r\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], fields);
}

TEST(ReviewCsv, UpdateReplacesOurRowsInPlaceAndKeepsTheOthers) {
    const std::string existing =
        "file,page,reading,status,id\r\n"
        "a.png,1,1234567890,ok,1234567890\r\n"
        "b.pdf,2,12?4567890,review,\r\n"
        "c.png,1,1111111111,ok,1111111111\r\n";
    const std::vector<ReviewRow> rows = {
        {"b.pdf", 2, "12?4567890", "corrected", "1234567890"},
        {"d.png", 1, "__________", "review", ""},
    };
    const auto text = updated_review_csv(existing, rows);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "file,page,reading,status,id\r\n"
              "a.png,1,1234567890,ok,1234567890\r\n"
              "b.pdf,2,12?4567890,corrected,1234567890\r\n"
              "c.png,1,1111111111,ok,1111111111\r\n"
              "d.png,1,__________,review,\r\n");
    // Updating again with the same rows changes nothing.
    EXPECT_EQ(updated_review_csv(*text, rows), text);
}

TEST(ReviewCsv, ARowWhoseFileNeededAnApostropheIsStillFoundOnUpdate) {
    const std::vector<ReviewRow> first = {{"=x.png", 1, "1111111111", "ok", "1111111111"}};
    const std::vector<ReviewRow> second = {{"=x.png", 1, "1111111111", "corrected", "-2"}};
    const auto once = updated_review_csv("", first);
    ASSERT_TRUE(once);
    EXPECT_EQ(*updated_review_csv(*once, second),
              "file,page,reading,status,id\r\n'=x.png,1,1111111111,corrected,'-2\r\n");
}

TEST(ReviewCsv, AFileWithAnotherHeaderIsNotOverwritten) {
    const fs::path dir = scratch("foreign");
    const std::string path = (dir / "id-reader-review.csv").string();
    std::ofstream(path) << "name,mark\nsomebody,10\n";
    const auto trouble = write_review_csv(path, {{"a.png", 1, "1", "ok", "1"}});
    ASSERT_TRUE(trouble);
    EXPECT_NE(trouble->find(path), std::string::npos);
    EXPECT_EQ(read_all(path), "name,mark\nsomebody,10\n");
}

TEST(ReviewCsv, FilesAreNamedRelativeToTheCsvFolderWhenInsideIt) {
    const std::string root = scratch("relative").string();
    EXPECT_EQ(file_for_csv(root + "/p1.png", root), "p1.png");
    EXPECT_EQ(file_for_csv(root + "/sub/p1.png", root), "sub/p1.png");
    EXPECT_EQ(file_for_csv("/elsewhere/p1.png", root), "/elsewhere/p1.png");
}

}  // namespace
}  // namespace idr::test
