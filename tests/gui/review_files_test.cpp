// The review list and the page list, without a window: --review keeps exactly
// the pages not read "ok", and every path that gives no page is named. (The
// review file itself is tested in tests/review.)

#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/gui/review_list.h"
#include "picture/bmp.h"
#include "form/form1.h"

namespace idr::test {
namespace {

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
