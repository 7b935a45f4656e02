// The review outputs of a batch as both front-ends use them: refused before
// anything is read when they would overwrite a scan or cannot be written,
// gone when a batch ends without closing them, and, for the pages of a
// list, the report the window writes is byte for byte the one
// id-reader-cli --report writes for the same files.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "cli/run_cli.h"
#include "form/form1.h"
#include "picture/bmp.h"
#include "review/page_decoder.h"
#include "review/review_outputs.h"
#include "review/review_picture.h"
#include "review/reviewed_page.h"
#include "tools/pagegen/output.h"
#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

namespace fs = std::filesystem;

fs::path fresh_dir(const std::string& name) {
    const fs::path dir = fs::path(IDR_BINARY_DIR) / "test_scratch" / "review_outputs" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
    return n;
}

void write_bytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// Pages of every kind the two front-ends meet: a block picture, a scan, a
// two-page TIFF, the built-in sheet as a BMP (read by our own decoder), and
// a file that is no picture. Made once.
struct Pages {
    fs::path dir = fresh_dir("pages");
    std::vector<std::string> files;
    Pages() {
        auto plan_of = [](std::uint64_t seed, pagegen::Kind kind) {
            pagegen::PagePlan plan = pagegen::random_plan(seed, kind);
            if (kind == pagegen::Kind::Scan) plan.dpi = 150;  // quick to make and read
            return plan;
        };
        const pagegen::PagePlan block = plan_of(7, pagegen::Kind::BlockOnly);
        const pagegen::PagePlan scan = plan_of(8, pagegen::Kind::Scan);
        files.push_back((dir / "a-block.png").string());
        EXPECT_FALSE(pagegen::write_page(pagegen::make_page(block), pagegen::FileFormat::Png, files.back()));
        files.push_back((dir / "b-scan.jpg").string());
        EXPECT_FALSE(pagegen::write_page(pagegen::make_page(scan), pagegen::FileFormat::Jpeg, files.back()));
        const pagegen::GeneratedPage one = pagegen::make_page(plan_of(9, pagegen::Kind::BlockOnly));
        const pagegen::GeneratedPage two = pagegen::make_page(plan_of(10, pagegen::Kind::Scan));
        files.push_back((dir / "c-two.tif").string());
        EXPECT_FALSE(pagegen::write_pages({&one, &two}, pagegen::FileFormat::Tiff, files.back()));
        files.push_back((dir / "d-sheet.bmp").string());
        write_bytes(files.back(), encode_bmp(Form1().picRedraw.surface));
        files.push_back((dir / "e-junk.png").string());
        std::ofstream(files.back()) << "not a picture";
    }
};

const Pages& pages() {
    static const Pages p;
    return p;
}

TEST(ReviewOutputs, TargetsThatWouldDestroyAScanOrCannotBeWrittenAreRefusedFirst) {
    const fs::path dir = fresh_dir("refused");
    const fs::path scan = dir / "scan.png";
    std::ofstream(scan) << "the scan's bytes";
    const fs::path blocker = dir / "taken";
    std::ofstream(blocker) << "x";
    const struct {
        const char* what;
        review::ReviewTargets targets;
        std::string in_message;
    } cases[] = {
        {"spreadsheet over the scan", {scan.string(), {}, {}}, scan.string() + ": is one of the files to read"},
        {"report over the scan", {{}, {}, scan.string()}, scan.string() + ": is one of the files to read"},
        {"report over the scan by another name", {{}, {}, (dir / "." / "scan.png").string()}, "is one of the files"},
        {"spreadsheet in no folder", {(dir / "none" / "r.xlsx").string(), {}, {}}, "r.xlsx: cannot write the spreadsheet"},
        {"overlay folder is a file", {{}, blocker.string(), {}}, blocker.string() + ": cannot make the folder"},
        {"report in no folder", {{}, {}, (dir / "none" / "r.html").string()}, (dir / "none" / "r.html").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        review::ReviewOutputs outputs;
        const auto problem = outputs.open(c.targets, {scan.string()});
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(c.in_message), std::string::npos) << *problem;
    }
    std::ifstream in(scan);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the scan's bytes");
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"scan.png", "taken"}));
}

TEST(ReviewOutputs, EveryOutputHasEveryPageInOrderAndABatchNotClosedLeavesNoReport) {
    const fs::path dir = fresh_dir("written");
    review::PageOutcome ok;
    ok.file = "x/first.png";
    ok.status = "ok";
    ok.reading = "1234567890";
    review::PageOutcome gone = review::unreadable_page("x/second.pdf", 2, "cannot load: page 2: broken");
    {
        review::ReviewOutputs outputs;
        ASSERT_FALSE(outputs.open({(dir / "r.xlsx").string(), (dir / "pictures").string(), (dir / "r.html").string()}));
        EXPECT_TRUE(outputs.wants_pictures());
        EXPECT_TRUE(outputs.png_pictures());
        EXPECT_FALSE(outputs.add(1, ok, review::review_picture(ok)));
        // A picture that could not be made is named; the report still has the page.
        const auto problem = outputs.add(2, gone, {});
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find("0002-second-p2.png: cannot write the review picture"), std::string::npos) << *problem;
        EXPECT_TRUE(outputs.close().empty());
    }
    EXPECT_EQ(names_in(dir / "pictures"), std::vector<std::string>{"0001-first-p1.png"});
    const std::string html = slurp(dir / "r.html");
    EXPECT_EQ(count(html, "<article"), 2u);
    EXPECT_LT(html.find("second.pdf"), html.find("first.png"));  // to review first
    EXPECT_EQ(slurp(dir / "r.xlsx").substr(0, 2), "PK");

    const fs::path dropped = fresh_dir("dropped");
    {
        review::ReviewOutputs outputs;
        ASSERT_FALSE(outputs.open({{}, {}, (dropped / "r.html").string()}));
        EXPECT_FALSE(outputs.png_pictures());  // a report alone embeds JPEG
        outputs.add(1, ok, review::review_picture(ok, false));
    }  // the batch ended early: no report that looks whole, no temporaries
    EXPECT_TRUE(names_in(dropped).empty());
}

// What the window does for "Write report...", against the command line.
TEST(ReviewOutputs, TheReportOfAListOfPagesIsTheCommandLinesReport) {
    if (std::getenv("IDR_SANITIZED")) GTEST_SKIP() << "two readings of every page take long under the sanitizers";
    const fs::path dir = fresh_dir("same");
    const std::string cli_report = (dir / "cli.html").string();
    std::vector<std::string> args = {"--quiet", "--report", cli_report};
    args.insert(args.end(), pages().files.begin(), pages().files.end());
    const CliRun run = run_cli(args);
    ASSERT_EQ(run.status, 3) << run.err;  // the junk file

    const std::string ours = (dir / "review.html").string();
    review::ReviewOutputs outputs;
    ASSERT_FALSE(outputs.open({{}, {}, ours}, pages().files));
    review::PageDecoder decoder;
    int seq = 0;
    for (const std::string& file : pages().files) {
        const auto n = review::PageDecoder::page_count(file);
        for (int page = 1; page <= (std::holds_alternative<int>(n) ? std::get<int>(n) : 1); ++page) {
            const review::ReviewedPage read = review::read_for_review(decoder, file, page, outputs.png_pictures());
            EXPECT_FALSE(read.picture.empty()) << file;
            EXPECT_FALSE(outputs.add(++seq, read.outcome, read.picture));
        }
    }
    ASSERT_TRUE(outputs.close().empty());
    EXPECT_EQ(seq, 6);
    const std::string html = slurp(ours);
    EXPECT_EQ(count(html, "<article"), 6u);
    EXPECT_TRUE(html == slurp(cli_report)) << "the review layer's report differs from id-reader-cli --report's";
}

TEST(PageDecoder, PagesAndWhyThereAreNone) {
    const fs::path dir = fresh_dir("decoder");
    const std::string missing = (dir / "missing.png").string();
    const std::string fake_bmp = (dir / "fake.bmp").string();
    std::ofstream(fake_bmp) << "BM but nothing after it";
    const struct {
        const char* what;
        std::string file;
        int page;
        std::variant<int, std::string> count;  // page_count()
        std::string problem;                   // picture(): empty when one comes
        bool exact;                            // the picture is our own decoder's
    } cases[] = {
        {"a block picture", pages().files[0], 1, 1, "", false},
        {"the second page of a TIFF", pages().files[2], 2, 2, "", false},
        {"a 24-bit BMP: our decoder, exactly", pages().files[3], 1, 1, "", true},
        {"no such file", missing, 1, "cannot load: does not exist", "cannot load: does not exist", false},
        {"no picture", pages().files[4], 1, "cannot load: not a PNG", "cannot load: not a PNG", false},
        // Neither decoder reads it; ours says why, without the file's name.
        {"a BMP neither decoder reads", fake_bmp, 1, 1, "cannot load: ", false},
    };
    review::PageDecoder decoder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto n = review::PageDecoder::page_count(c.file);
        if (std::holds_alternative<int>(c.count)) {
            EXPECT_EQ(n, c.count);
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string>(n));
            EXPECT_EQ(std::get<std::string>(n).rfind(std::get<std::string>(c.count), 0), 0u) << std::get<std::string>(n);
        }
        auto picture = decoder.picture(c.file, c.page);
        if (c.problem.empty()) {
            ASSERT_TRUE(std::holds_alternative<scan::PagePicture>(picture)) << std::get<std::string>(picture);
            const auto& p = std::get<scan::PagePicture>(picture);
            EXPECT_EQ(p.exact.has_value(), c.exact);
            EXPECT_TRUE(c.exact || !p.image.empty());
            EXPECT_GT(p.full_size.area(), 0);
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string>(picture));
            const std::string& why = std::get<std::string>(picture);
            EXPECT_EQ(why.rfind(c.problem, 0), 0u) << why;
            EXPECT_EQ(why.find(c.file), std::string::npos) << why;  // the caller's line names the file
        }
    }
}

}  // namespace
}  // namespace idr::test
