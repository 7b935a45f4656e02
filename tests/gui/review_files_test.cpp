// The review file and the review list, without a window: rows of other pages
// survive an update, cells never start a formula, a foreign file is left
// alone, and --review keeps exactly the pages not read "ok".

#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/gui/review_csv.h"
#include "app/gui/review_list.h"
#include "picture/bmp.h"
#include "form/form1.h"

namespace idr::test {
namespace {

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
    QTemporaryDir dir;
    const std::string path = dir.filePath("id-reader-review.csv").toStdString();
    std::ofstream(path) << "name,mark\nsomebody,10\n";
    const auto trouble = write_review_csv(path, {{"a.png", 1, "1", "ok", "1"}});
    ASSERT_TRUE(trouble);
    EXPECT_NE(trouble->find(path), std::string::npos);
    EXPECT_EQ(read_all(path), "name,mark\nsomebody,10\n");
}

TEST(ReviewCsv, FilesAreNamedRelativeToTheCsvFolderWhenInsideIt) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    EXPECT_EQ(file_for_csv(root + "/p1.png", root), "p1.png");
    EXPECT_EQ(file_for_csv(root + "/sub/p1.png", root), "sub/p1.png");
    EXPECT_EQ(file_for_csv("/elsewhere/p1.png", root), "/elsewhere/p1.png");
}

// Three small scans: the built-in sheet saved as a file, read as it stands.
class ReviewList : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::uint8_t> bmp = encode_bmp(Form1().picRedraw.surface);
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
            std::ofstream(dir.filePath(name).toStdString(), std::ios::binary)
                .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
        }
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    QTemporaryDir dir;
};

TEST_F(ReviewList, KeepsThePagesNotReadOkInOrderAndNamesEveryBadLine) {
    std::ostringstream results;
    results << R"({"file":")" << path("a.bmp") << R"(","page":1,"status":"ok","reading":"5093719246"})" << '\n'
            << R"({"file":")" << path("b.bmp") << R"(","page":1,"status":"review","reading":"5?93719246"})" << '\n'
            << "not json at all\n"
            << "\n"
            << R"({"file":")" << path("gone.png") << R"(","page":1,"status":"review"})" << '\n'
            << R"({"file":")" << path("c.bmp") << R"(","page":3,"status":"review"})" << '\n'
            << R"({"page":1,"status":"review"})" << '\n'
            << R"({"file":"c.bmp","page":1,"status":"not-found"})" << '\n'  // relative: beside the results
            << R"({"file":")" << path("a.bmp") << R"(","page":1,"status":"unreadable"})" << '\r' << '\n';
    std::istringstream in(results.str());
    const PageListing listing = review_pages(in, "results.jsonl", dir.path().toStdString());

    std::vector<std::string> files;
    for (const PageRef& p : listing.pages) files.push_back(p.file);
    EXPECT_EQ(files, (std::vector<std::string>{path("b.bmp"), path("c.bmp"), path("a.bmp")}));

    const std::vector<std::string> expected = {
        "results.jsonl line 3: not a JSON object",
        "results.jsonl line 5: " + path("gone.png") + ": no such file",
        "results.jsonl line 6: " + path("c.bmp") + " has no page 3",
        "results.jsonl line 7: no \"file\" name",
    };
    EXPECT_EQ(listing.problems, expected);
}

TEST_F(ReviewList, AMissingResultsFileIsOneMessageNamingIt) {
    const PageListing listing = review_pages_from_file(path("none.jsonl"));
    EXPECT_TRUE(listing.pages.empty());
    ASSERT_EQ(listing.problems.size(), 1u);
    EXPECT_NE(listing.problems[0].find(path("none.jsonl")), std::string::npos);
}

TEST_F(ReviewList, FoldersListTheirScansByNameAndMissingPathsAreNamed) {
    std::ofstream(path("notes.txt")) << "not a scan";
    const PageListing listing = list_pages({dir.path().toStdString(), path("missing.png")});
    std::vector<std::string> files;
    for (const PageRef& p : listing.pages) files.push_back(p.file);
    EXPECT_EQ(files, (std::vector<std::string>{path("a.bmp"), path("b.bmp"), path("c.bmp")}));
    EXPECT_EQ(listing.problems, std::vector<std::string>{path("missing.png") + ": no such file"});
}

}  // namespace
}  // namespace idr::test
