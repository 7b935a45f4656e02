// Batches: pages read on several threads come out in input order, whole and
// the same as on one thread; folders, file lists on stdin, the spreadsheet,
// the review outputs and Ctrl+C.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/batch.h"
#include "run_cli.h"
#include "tools/pagegen/output.h"
#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A folder of small generated pages, made once: block pictures and
// low-resolution scans, one of them with an ID that starts with zeros, one
// file that is no picture, and a subfolder with one more page.
struct PageFolder {
    fs::path dir = scratch_dir() / "batch";
    std::vector<std::string> files;  // top level, sorted
    std::string nested;              // the page in the subfolder
    PageFolder() {
        fs::create_directories(dir / "sub");
        for (int k = 0; k < 8; ++k) {
            pagegen::PagePlan plan = pagegen::random_plan(100 + k, k % 2 ? pagegen::Kind::Scan : pagegen::Kind::BlockOnly);
            plan.format = pagegen::FileFormat::Png;
            if (plan.kind == pagegen::Kind::Scan) plan.dpi = 150;  // the lowest a scan comes at: quick to make
            if (k == 0) {
                for (int c = 0; c < 10; ++c) plan.columns[c] = {pagegen::Mark::Pen, c < 3 ? 0 : c, -1, 30};
            }
            const std::string path = (dir / ("page" + std::to_string(k) + ".png")).string();
            const auto problem = pagegen::write_page(pagegen::make_page(plan), plan.format, path);
            EXPECT_FALSE(problem) << *problem;
            files.push_back(path);
        }
        const std::string broken = (dir / "page8.png").string();
        std::ofstream(broken) << "not a picture";
        files.push_back(broken);
        nested = (dir / "sub" / "deeper.png").string();
        fs::copy_file(files[0], nested);
    }
};

const PageFolder& folder() {
    static const PageFolder f;
    return f;
}

// The "sheet:" lines of text output: the pages in the order written.
std::vector<std::string> sheets_in(const std::string& out) {
    std::vector<std::string> sheets;
    for (const std::string& line : lines_of(out))
        if (line.rfind("sheet: ", 0) == 0) sheets.push_back(line.substr(7));
    return sheets;
}

// JSON lines without the one field that is a time.
std::string without_times(const std::string& out) {
    std::string result;
    for (const std::string& line : lines_of(out)) {
        auto j = nlohmann::json::parse(line);
        j.erase("ms");
        result += j.dump() + "\n";
    }
    return result;
}

TEST(Batch, SeveralThreadsWriteWhatOneWrites) {
    const std::string dir = folder().dir.string();
    const std::vector<std::string> formats[] = {{}, {"--csv"}, {"--json"}, {"--verbose", "--cells"}};
    for (const auto& format : formats) {
        SCOPED_TRACE(testing::PrintToString(format));
        std::vector<std::string> args = format;
        args.push_back(dir);
        args.insert(args.begin(), {"--jobs", "1"});
        const CliRun one = run_cli(args);
        args[1] = "2";
        const CliRun two = run_cli(args);
        args[1] = "5";  // more threads than cores, fewer than pages
        const CliRun five = run_cli(args);
        EXPECT_EQ(one.status, 3) << one.err;  // the broken file
        EXPECT_EQ(two.status, one.status);
        EXPECT_EQ(five.status, one.status);
        if (format == std::vector<std::string>{"--json"}) {
            EXPECT_EQ(without_times(two.out), without_times(one.out));
            EXPECT_EQ(without_times(five.out), without_times(one.out));
        } else {
            EXPECT_EQ(two.out, one.out);
            EXPECT_EQ(five.out, one.out);
        }
        EXPECT_TRUE(contains(two.err, "page8.png: cannot load")) << two.err;
        EXPECT_TRUE(contains(two.err, "9 pages in ")) << two.err;
        EXPECT_TRUE(contains(two.err, "1 unreadable")) << two.err;
    }
    EXPECT_EQ(sheets_in(run_cli({"--jobs", "2", dir}).out), folder().files);
}

TEST(Batch, FoldersAndFileLists) {
    const std::string dir = folder().dir.string();
    std::vector<std::string> with_nested = folder().files;
    with_nested.push_back(folder().nested);  // "sub/..." sorts after "page8.png"
    std::string listed;
    for (const std::string& f : folder().files) listed += f + "\r\n\n";  // CRLF and blank lines are tolerated
    const struct {
        std::vector<std::string> args;
        std::optional<std::string> stdin_text;
        std::vector<std::string> sheets;
    } cases[] = {
        {{dir}, std::nullopt, folder().files},
        {{"--recursive", dir}, std::nullopt, with_nested},
        {{"-"}, listed, folder().files},
        {{folder().nested, "-", folder().nested}, folder().files[2] + "\n", {folder().nested, folder().files[2], folder().nested}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliRun run = run_cli(c.args, Stdout::File, c.stdin_text);
        EXPECT_EQ(sheets_in(run.out), c.sheets) << run.err;
    }
    const fs::path empty = scratch_dir() / "only-sub";
    fs::create_directories(empty / "inner");
    CliRun run = run_cli({empty.string()});
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(contains(run.err, "the folder holds no scan files")) << run.err;
    run = run_cli({"--recursive", empty.string()});
    EXPECT_TRUE(contains(run.err, "the folder and its subfolders hold no scan files")) << run.err;
}

// Runs from `dir`, so that file names can be given as they are.
struct InFolder {
    fs::path before = fs::current_path();
    explicit InFolder(const fs::path& dir) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(before); }
};

TEST(Batch, SpreadsheetHoldsTextsNeverFormulas) {
    const fs::path dir = scratch_dir() / "xlsx";
    fs::create_directories(dir);
    fs::copy_file(folder().files[0], dir / "=1+1.png", fs::copy_options::overwrite_existing);
    fs::copy_file(folder().files[8], dir / "@bad.png", fs::copy_options::overwrite_existing);
    const std::string book = (dir / "results.xlsx").string();
    CliRun run;
    {
        InFolder here(dir);
        run = run_cli({"--csv", "--xlsx", book, "--student-id", "-5", "=1+1.png", "@bad.png"});
    }
    EXPECT_EQ(run.status, 3) << run.err;  // @bad.png is no picture
    EXPECT_TRUE(contains(run.out, "\n'=1+1.png,")) << run.out;
    EXPECT_TRUE(contains(run.out, "\n'@bad.png,")) << run.out;

    ASSERT_EQ(run_cli({"--version"}).status, 0);
    const std::string list = (dir / "unzip.txt").string();
    ASSERT_EQ(std::system(("unzip -t -q '" + book + "' > '" + list + "' 2>&1").c_str()), 0) << slurp(list);
    ASSERT_EQ(std::system(("unzip -p '" + book + "' xl/worksheets/sheet1.xml > '" + list + "'").c_str()), 0);
    const std::string sheet = slurp(list);
    // The reading keeps its leading zeros: a string, not a number.
    EXPECT_TRUE(contains(sheet, "t=\"inlineStr\"><is><t>0003456789</t></is>")) << sheet;
    EXPECT_TRUE(contains(sheet, "<t>'=1+1.png</t>")) << sheet;
    EXPECT_TRUE(contains(sheet, "<t>'@bad.png</t>")) << sheet;
    EXPECT_TRUE(contains(sheet, "<t>unreadable</t>")) << sheet;
    EXPECT_FALSE(contains(sheet, "<f>")) << sheet;  // no formula anywhere
    EXPECT_TRUE(contains(sheet, "state=\"frozen\"")) << sheet;
    // Three rows: the header and two pages; the unreadable one is filled.
    EXPECT_TRUE(contains(sheet, "<row r=\"3\">")) << sheet;
    EXPECT_FALSE(contains(sheet, "<row r=\"4\">")) << sheet;
    const std::string third_row = sheet.substr(sheet.find("<row r=\"3\">"));
    EXPECT_TRUE(contains(third_row.substr(0, third_row.find("</row>")), "<c r=\"C3\" s=\"")) << third_row;
}

TEST(Batch, OutputsThatCannotBeWrittenStopBeforeReading) {
    const std::string scan = (scratch_dir() / "kept.png").string();
    fs::copy_file(folder().files[0], scan, fs::copy_options::overwrite_existing);
    const std::string scan_bytes = slurp(scan);
    const struct {
        std::vector<std::string> args;
        int status;
        const char* in_stderr;
    } cases[] = {
        {{"--xlsx", "/no/such/folder/out.xlsx", folder().files[0]}, 3, "/no/such/folder/out.xlsx: cannot write the spreadsheet"},
        {{"--overlay", folder().files[0], folder().files[0]}, 3, "cannot make the folder for the review pictures"},
        {{"--xlsx=", folder().files[0]}, 2, "--xlsx: the file name is empty"},
        {{"--xlsx", scan, scan}, 3, "kept.png: is one of the files to read; it is kept, not overwritten"},
        {{"--report", scan, folder().files[1], scan}, 3, "kept.png: is one of the files to read"},
        {{"--jobs", "0"}, 2, "--jobs: \"0\" is not a number of threads"},
        {{"--jobs", "-2"}, 2, "--jobs: \"-2\""},
        {{"--jobs", "two"}, 2, "--jobs: \"two\""},
        {{"--jobs", "257"}, 2, "from 1 to 256"},
        {{"--quiet=yes"}, 2, "--quiet takes no value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliRun run = run_cli(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(contains(run.err, c.in_stderr)) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(slurp(scan), scan_bytes);
}

TEST(Batch, ReviewPicturesOnePerPageInOrder) {
    const fs::path dir = scratch_dir() / "overlays";
    const std::string report = (scratch_dir() / "report.html").string();
    const CliRun run = run_cli({"--quiet", "--jobs", "2", "--overlay", dir.string(), "--report", report,
                                folder().files[0], folder().files[1], folder().files[8]});
    EXPECT_EQ(run.status, 3);
    EXPECT_FALSE(contains(run.err, "pages in")) << run.err;  // --quiet: no summary
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"0001-page0-p1.png", "0002-page1-p1.png", "0003-page8-p1.png"}));
    EXPECT_EQ(slurp(dir / "0001-page0-p1.png").substr(1, 3), "PNG");
    const std::string html = slurp(report);
    EXPECT_TRUE(contains(html, "page8.png")) << html.substr(0, 400);
}

// Ctrl+C in the middle of a long batch: the pages started are finished and
// written whole, the summary says how far it got, the status is 130.
TEST(Batch, InterruptFinishesThePagesInFlight) {
    std::string names;
    for (int k = 0; k < 40; ++k) names += folder().files[static_cast<std::size_t>(k % 8)] + "\n";
    for (const char* format : {"--csv", "--json"}) {
        SCOPED_TRACE(format);
        CliProcess cli({format, "--jobs", "2", "-"}, Stdout::File, names);
        // Wait for a few pages, then interrupt (no time is asserted: the
        // wait ends on what the program has written).
        while (lines_of(cli.out_so_far()).size() < 4) usleep(10'000);
        kill(cli.pid(), SIGINT);
        const CliRun run = cli.finish();
        EXPECT_EQ(run.status, 130) << run.err;
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.back(), '\n');
        const std::vector<std::string> lines = lines_of(run.out);
        EXPECT_LT(lines.size(), 40u);
        for (std::size_t i = format == std::string("--csv") ? 1 : 0; i < lines.size(); ++i) {
            if (format == std::string("--json")) {
                EXPECT_TRUE(nlohmann::json::accept(lines[i])) << lines[i];
            } else {
                EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ','), 7) << lines[i];
            }
        }
        const std::size_t pages = lines.size() - (format == std::string("--csv") ? 1 : 0);
        EXPECT_TRUE(contains(run.err, "interrupted: " + std::to_string(pages) + " of 40 pages read")) << run.err;
        EXPECT_TRUE(contains(run.err, std::to_string(pages) + " pages in ")) << run.err;
    }
}

// The ordering machinery on its own: results delivered in order whatever
// order the work finishes in, never more than `window` held, and a stop
// request ends it after the work in flight.
TEST(Batch, RunInOrder) {
    const struct {
        std::size_t count;
        int jobs;
        std::size_t window;
        std::size_t stop_after;  // request a stop when this many were delivered; 0: never
    } cases[] = {
        {0, 2, 4, 0}, {1, 4, 8, 0}, {50, 1, 2, 0}, {200, 4, 8, 0}, {200, 3, 3, 0}, {200, 4, 8, 10}, {200, 1, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " items, " << c.jobs << " jobs, window " << c.window);
        cli::clear_stop_request();
        std::mutex mutex;
        std::size_t started = 0, delivered_count = 0, most_held = 0;
        std::vector<std::size_t> delivered;
        std::function<std::size_t(std::size_t)> work = [&](std::size_t i) {
            {
                std::lock_guard lock(mutex);
                ++started;
                most_held = std::max(most_held, started - delivered_count);
            }
            // Later items often finish first.
            for (std::size_t k = 0; k < (i * 7919) % 13; ++k) std::this_thread::yield();
            return i * i;
        };
        std::function<void(std::size_t, std::size_t&&)> deliver = [&](std::size_t i, std::size_t&& r) {
            EXPECT_EQ(r, i * i);
            delivered.push_back(i);
            std::lock_guard lock(mutex);
            ++delivered_count;
            if (c.stop_after && delivered_count == c.stop_after) cli::request_stop();
        };
        const std::size_t n = cli::run_in_order<std::size_t>(c.count, c.jobs, c.window, work, deliver);
        EXPECT_EQ(n, delivered.size());
        for (std::size_t i = 0; i < delivered.size(); ++i) EXPECT_EQ(delivered[i], i);
        EXPECT_LE(most_held, c.window);
        EXPECT_EQ(started, delivered.size());  // whatever started was delivered
        if (c.stop_after) {
            EXPECT_GE(n, c.stop_after);
            EXPECT_LE(n, c.stop_after + c.window);
        } else {
            EXPECT_EQ(n, c.count);
        }
    }
    cli::clear_stop_request();
}

}  // namespace
}  // namespace idr::test
