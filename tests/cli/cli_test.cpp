// id-reader-cli as a whole process: output, exit statuses and robustness.

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "picture/bmp.h"
#include "tools/pagegen/output.h"
#include "tools/pagegen/page.h"
#include "run_cli.h"
#include "rules/colour.h"
#include "sheet_id.h"

namespace idr::test {
namespace {

// A small BMP of one colour, written once per test run.
std::string small_bmp(const std::string& name, int width, int height, Int32 colour) {
    const fs::path path = scratch_dir() / name;
    const std::vector<std::uint8_t> bytes = encode_bmp(Surface(width, height, colour));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path.string();
}

// The built-in sheet's figures, the way an operator without a display sees
// them; with no options the output is exactly the two result lines.
TEST(Cli, FiguresOnTheBuiltInSheet) {
    const std::string id = std::string(kSheetId);
    const struct {
        std::vector<std::string> args;
        std::string caption;
        std::string student_id;  // empty: not checked
        bool whole_output;       // stdout is exactly the two lines
    } cases[] = {
        {{}, "Total unit remain = 10 Unit.", id, true},
        {{"--threshold", "158"}, "Total unit remain = 15 Unit.", "", false},
        {{"--threshold", "248"}, "Total unit remain = 100 Unit.", "", false},
        {{"--black-samples", "0"}, "Total unit remain = 57 Unit.", "", false},
        {{"--click", "draw,check,check-id"}, "Total unit remain = 10 Unit.", id, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliRun run = run_cli(c.args);
        EXPECT_EQ(run.status, 0) << run.err;
        if (c.whole_output) {
            EXPECT_EQ(run.out, "caption: " + c.caption + "\nstudent-id: " + c.student_id + "\nstatus: ok\nreading: " +
                                   c.student_id + "\n");
        }
        EXPECT_TRUE(contains(run.out, "caption: " + c.caption + "\n")) << run.out;
        if (!c.student_id.empty()) {
            EXPECT_TRUE(contains(run.out, "student-id: " + c.student_id + "\n")) << run.out;
        }
    }
}

TEST(Cli, CellsTableFlagsOneCellPerColumn) {
    const CliRun run = run_cli({"--cells", "--threshold=35"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    int marks = 0, rows = 0;
    while (std::getline(lines, line)) {
        if (line.size() > 2 && line[0] == ' ' && line[2] >= '0' && line[2] <= '9') {
            ++rows;
            for (char c : line) marks += c == '*';
        }
    }
    EXPECT_EQ(rows, 10) << run.out;
    EXPECT_EQ(marks, 10) << run.out;
}

std::string empty_dir() {
    const fs::path dir = scratch_dir() / "empty";
    fs::create_directories(dir);
    return dir.string();
}

TEST(Cli, ExitStatuses) {
    const std::string good = small_bmp("good.bmp", 6, 5, kWhite);
    const std::string garbage = (scratch_dir() / "garbage.bmp").string();
    std::ofstream(garbage) << "GIF89a, not a bitmap";
    const struct {
        std::vector<std::string> args;
        int status;
        const char* in_stderr;
    } cases[] = {
        {{"--version"}, 0, ""},
        {{"--help"}, 0, ""},
        {{good, "--click", "up,down,left,right,check-id"}, 0, ""},
        {{"--threshold", "-1", "--click=", good}, 0, ""},  // a value may start with '-'; no clicks
        {{"--frobnicate"}, 2, "--frobnicate"},
        {{"--click", "binary,jump"}, 2, "jump"},
        {{"--click"}, 2, "--click"},
        {{"--cells=yes"}, 2, "--cells"},
        {{"--threshold", "abc", "--click", "binary"}, 1, "txtTreshold: the text \"abc\" is not a number"},
        {{"--click", "check"}, 1, "cmdCheck"},
        {{"--black-samples=1e999", "--locate=never", good, "--click=draw,check"}, 1, "Overflow"},
        {{"/no/such/sheet.bmp"}, 3, "/no/such/sheet.bmp: cannot load: does not exist"},
        {{empty_dir()}, 3, "the folder holds no scan files"},
        {{garbage}, 3, "garbage.bmp: cannot load: not a PNG, JPEG, TIFF, WebP, BMP, HEIC, AVIF or PDF file"},
        {{"--", "--verbose"}, 3, "--verbose: cannot load"},
        {{std::string(300, 'a')}, 3, "cannot load: cannot be opened: File name too long"},
        {{"/proc/self/mem"}, 3, "/proc/self/mem: cannot load: "},
        {{"--save-picture", scratch_dir().string(), "--click="}, 3, "cannot write the picture: cannot be opened for writing: Is a directory"},
        {{garbage, good, "--locate", "never", "--threshold", "x", "--click", "binary"}, 3, "Type mismatch"},
        {{"--locate", "sometimes"}, 2, "--locate"},
        {{"--csv", "--json"}, 2, "--json"},
    };
    for (const auto& c : cases) {
        const CliRun run = run_cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << "\n" << run.err;
        EXPECT_TRUE(contains(run.err, c.in_stderr)) << run.err;
    }
    EXPECT_EQ(run_cli({"--version"}).out.rfind("id-reader-cli 1.", 0), 0u);
    EXPECT_TRUE(contains(run_cli({"--help"}).out, "--black-samples TEXT"));
}

// A box given empty is an empty box, as in the window with the box
// emptied: the step that reads it stops with a type mismatch. A box not
// given keeps its default ("35" and "8" on the built-in sheet, "auto" on a
// located page).
TEST(Cli, EmptyBoxesAreEmptyNotTheDefault) {
    pagegen::PagePlan plan = pagegen::random_plan(31, pagegen::Kind::Scan);
    plan.format = pagegen::FileFormat::Png;
    plan.dpi = 150;
    for (int c = 0; c < 10; ++c) plan.columns[static_cast<std::size_t>(c)] = {pagegen::Mark::Pen, c, -1, 30};
    const std::string scan = (scratch_dir() / "located.png").string();
    ASSERT_FALSE(pagegen::write_page(pagegen::make_page(plan), plan.format, scan));
    const std::string binary_stops = "clicking binary (cmdBinary): Type mismatch: txtTreshold: the text \"\" is not a number";
    const std::string check_stops =
        "clicking check (cmdCheck): Type mismatch: txtBlack_Pixels: the text \"\" is not a number";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string caption;  // empty: not checked
        std::string in_stderr;
    } cases[] = {
        {{"--threshold", ""}, 1, "Form1", binary_stops},
        {{"--threshold="}, 1, "Form1", binary_stops},
        {{"--black-samples", ""}, 1, "Image binary process done  100%", check_stops},
        {{"--black-samples="}, 1, "Image binary process done  100%", check_stops},
        {{"--threshold", "", scan}, 1, "Form1", binary_stops},
        {{"--black-samples=", scan}, 1, "", check_stops},
        {{scan}, 0, "", ""},
        {{}, 0, "Total unit remain = 10 Unit.", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliRun run = run_cli(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (!c.caption.empty()) {
            EXPECT_TRUE(contains(run.out, "caption: " + c.caption + "\n")) << run.out;
        }
        EXPECT_TRUE(contains(run.err, c.in_stderr)) << run.err;
        EXPECT_TRUE(contains(run.out, c.status == 0 ? "status: ok\n" : "status: error\n")) << run.out;
    }
}

// PDF, HEIC, AVIF and TIFF are read by plugins loaded with the first such file;
// without them those files are unreadable with the reason, and every other
// file still reads.
TEST(Cli, MissingPluginsNameWhatIsMissing) {
    const std::string pdf = (scratch_dir() / "form.pdf").string();
    ASSERT_EQ(run_cli({"--print-form", pdf}).status, 0);
    // The boxes that declare a 64 x 48 primary image, and no picture: what
    // the program reads itself before it needs the plugin.
    const auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    const auto box = [&](const std::string& type, const std::string& body) {
        return be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
    };
    const std::string full(4, '\0');
    const auto ftyp = [&](const std::string& brand) {
        const std::string ipco = box("ipco", box("ispe", full + be32(64) + be32(48)));
        const std::string ipma = box("ipma", full + be32(1) + std::string("\0\1\1\x81", 4));
        return box("ftyp", brand + be32(0) + "mif1") +
               box("meta", full + box("pitm", full + std::string("\0\1", 2)) + box("iprp", ipco + ipma));
    };
    const std::string heic = (scratch_dir() / "photo.heic").string(), avif = (scratch_dir() / "scan.avif").string();
    std::ofstream(heic, std::ios::binary) << ftyp("heic");
    std::ofstream(avif, std::ios::binary) << ftyp("avif");
    const std::string bmp = small_bmp("beside.bmp", 6, 5, kWhite);
    // A TIFF header with one 6 x 5 page, no pixels: enough to need the plugin.
    const std::string tiff = (scratch_dir() / "scan.tif").string();
    std::ofstream(tiff, std::ios::binary) << std::string("II*\0\x08\0\0\0\x02\0" "\0\x01\x03\0\x01\0\0\0\x06\0\0\0"
                                                         "\x01\x01\x03\0\x01\0\0\0\x05\0\0\0" "\0\0\0\0", 38);
    const std::string nowhere = (scratch_dir() / "no-plugins").string();
    ::setenv("IDR_PLUGIN_DIR", nowhere.c_str(), 1);
    const CliRun run = run_cli({"--csv", "--locate=never", pdf, heic, avif, tiff, bmp});
    ::unsetenv("IDR_PLUGIN_DIR");
    EXPECT_EQ(run.status, 3);
    for (const std::string& line : {pdf + ": cannot load: cannot be read: PDF files are read by the program's plugin " +
                                        nowhere + "/id-reader-pdf.so, which is missing",
                                    heic + ": cannot load: cannot be read: HEIC and AVIF files are read by the program's plugin " +
                                        nowhere + "/id-reader-heif.so, which is missing",
                                    avif + ": cannot load: cannot be read: HEIC and AVIF files",
                                    tiff + ": cannot load: cannot be read: TIFF files are read by the program's plugin " +
                                        nowhere + "/id-reader-tiff.so, which is missing"}) {
        EXPECT_TRUE(contains(run.err, line)) << run.err;
    }
    EXPECT_TRUE(contains(run.out, bmp + ",")) << run.out;
    // With its plugin the printed form reads: a blank block, for review.
    const CliRun found = run_cli({"--csv", pdf});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_TRUE(contains(found.out, ",review,")) << found.out;
}

#ifdef IDR_SCAN_LIBRARY_STUBS
// The built-in sheet is read without OpenCV or the format libraries in the
// process (loading them costs as much as reading the sheet); the first page
// that needs them loads them.
TEST(Cli, ScanLibrariesAreLoadedWithTheFirstScanOnly) {
    const std::string bmp = small_bmp("to-locate.bmp", 40, 30, kWhite);
    struct Case {
        std::vector<std::string> args;
        bool loads;
    };
    const Case cases[] = {
        {{}, false},
        {{"--cells", "--verbose"}, false},
        {{"--locate=always"}, true},
        {{bmp}, true},
    };
    for (const Case& c : cases) {
        ::setenv("LD_DEBUG", "files", 1);
        const CliRun run = run_cli(c.args);
        ::unsetenv("LD_DEBUG");
        SCOPED_TRACE(testing::PrintToString(c.args));
        for (const char* library : {"file=libopencv_imgproc", "file=libjpeg", "file=libspng", "file=libwebp"})
            EXPECT_EQ(contains(run.err, library), c.loads) << library << '\n' << run.err.substr(0, 2000);
        EXPECT_EQ(run.signal, 0);
        if (c.args.empty()) {
            EXPECT_TRUE(contains(run.out, "status: ok")) << run.out;
        }
    }
}
#endif

TEST(Cli, OutputThatCannotBeWrittenIsAFailure) {
    for (const Stdout to : {Stdout::Full, Stdout::Closed}) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--help"}, {"--csv", "--click="}}) {
            const CliRun run = run_cli(args, to);
            EXPECT_EQ(run.status, 3) << (to == Stdout::Full ? "full: " : "closed: ") << (args.empty() ? "" : args[0]);
            EXPECT_TRUE(contains(run.err, "cannot write the results to standard output")) << run.err;
        }
    }
}

TEST(Cli, SavingOverTheSheetKeepsTheScan) {
    const std::string sheet = small_bmp("kept.bmp", 6, 5, rgb(200, 10, 10));
    const std::string before = slurp(sheet);
    const CliRun run = run_cli({"--save-picture", sheet, "--locate=never", "--click=binary", sheet});
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(contains(run.err, "is the sheet that was read")) << run.err;
    EXPECT_EQ(slurp(sheet), before);
}

TEST(Cli, ResultLinesAreExactAlsoAfterAnError) {
    const CliRun stopped = run_cli({"--student-id", "  \xe0\xb9\x91 2  ", "--click", "check-id,check"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.out, "caption: Form1\nstudent-id:   \xe0\xb9\x91 2  \nstatus: error\nreading: 5093719246\n");
}

// A picture that is not the block's frame, read as it stands: its columns
// are not decided.
const std::string kNotInFrame =
    "status: review\nreading: \nwhy: the picture is not the ID block's frame (262 x 362), so its columns were not "
    "decided\n";

TEST(Cli, VerboseSaveAndSeveralSheets) {
    const std::string grey = small_bmp("grey.bmp", 7, 4, rgb(30, 30, 30));
    const std::string light = small_bmp("light.bmp", 3, 2, rgb(200, 30, 30));
    const std::string saved = (scratch_dir() / "saved.bmp").string();
    CliRun run = run_cli({"--verbose", "--locate=never", "--click", "binary", "--save-picture", saved, grey});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "progress: Image binary process done  0%\nprogress: Image binary process done  25%\n"
              "progress: Image binary process done  50%\nprogress: Image binary process done  75%\n"
              "progress: Image binary process done  100%\ncaption: Image binary process done  100%\nstudent-id: \n" +
                  kNotInFrame);
    const std::string bytes = slurp(saved);
    const PictureResult picture = decode_bmp(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(picture);
    EXPECT_EQ(*picture.picture, Surface(7, 4, kBlack));

    run = run_cli({"--click=binary", "--locate=never", grey, "/no/such.bmp", light});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "sheet: " + grey + "\ncaption: Image binary process done  100%\nstudent-id: \n" + kNotInFrame +
                           "sheet: /no/such.bmp\nstatus: unreadable\nsheet: " + light +
                           "\ncaption: Image binary process done  100%\nstudent-id: \n" + kNotInFrame);
    // Several pictures: numbered files, one per page in reading order.
    run = run_cli({"--locate=never", "--click=binary", "--save-picture", saved, grey, light});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(scratch_dir() / "saved-1.bmp"));
    EXPECT_TRUE(fs::exists(scratch_dir() / "saved-2.bmp"));
}

TEST(Cli, CsvQuotesFields) {
    const CliRun run = run_cli({"--csv", "--student-id", "a,\"b\"", "--click", "check-id,check"});
    EXPECT_EQ(run.status, 1);
    // The error's own wording belongs to the handler; only its start is fixed here.
    EXPECT_EQ(run.out.rfind("sheet,student_id,caption,error,page,status,reading,why\n(built-in sheet),\"a,\"\"b\"\"\",Form1,", 0),
              0u)
        << run.out;
    EXPECT_TRUE(contains(run.out, ",Form1,check (cmdCheck): ") || contains(run.out, ",Form1,\"check (cmdCheck): "))
        << run.out;
}

TEST(Cli, EveryBmpSuiteFileIsReadOrRefusedWithoutACrash) {
    if (!fs::is_directory(IDR_BMPSUITE_DIR)) GTEST_SKIP() << "no BMP suite at " << IDR_BMPSUITE_DIR;
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(IDR_BMPSUITE_DIR)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".bmp") continue;
        ++files;
        const CliRun run = run_cli({"--click=binary,draw,check,check-id", entry.path().string()});
        EXPECT_EQ(run.signal, 0) << entry.path();
        EXPECT_TRUE(run.status == 0 || run.status == 3) << entry.path() << " gave " << run.status << "\n" << run.err;
    }
    EXPECT_GT(files, 50);
}

}  // namespace
}  // namespace idr::test

namespace idr::test {
namespace {

// The sample scans beside the checkout, read as a folder to JSON Lines: one
// object per page, each to its truth, in name order.
TEST(CliScans, JsonOnTheSampleScans) {
    const fs::path dir = fs::path(IDR_SOURCE_DIR) / ".." / "shared" / "scans" / "sample";
    if (!fs::exists(dir / "truth.jsonl")) GTEST_SKIP() << "no sample scans at " << dir;
    if (std::getenv("IDR_SANITIZED")) GTEST_SKIP() << "the full-size pages take minutes under the sanitizers";
    std::map<std::pair<std::string, int>, nlohmann::json> truth;
    std::ifstream truth_file(dir / "truth.jsonl");
    for (std::string line; std::getline(truth_file, line);) {
        const auto t = nlohmann::json::parse(line);
        truth[{t["file"].get<std::string>(), t["page"].get<int>()}] = t;
    }
    const CliRun run = run_cli({"--json", dir.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::size_t pages = 0;
    std::string previous;
    for (std::string line; std::getline(lines, line); ++pages) {
        const auto j = nlohmann::json::parse(line);
        const std::string name = fs::path(j["file"].get<std::string>()).filename().string();
        SCOPED_TRACE(name);
        EXPECT_LE(previous, name);
        previous = name;
        const auto& t = truth.at({name, j["page"].get<int>()});
        EXPECT_EQ(j["status"], t["status"]);
        EXPECT_EQ(j["reading"], t["reading"].is_null() ? nlohmann::json("") : t["reading"]);
        for (const char* key : {"student_id", "caption", "threshold", "columns", "registration", "image_size", "error", "ms"})
            EXPECT_TRUE(j.contains(key)) << key;
        if (j["status"] == "ok") {
            EXPECT_EQ(j["student_id"], j["reading"]);
        }
        if (!t["corners"].is_null()) {
            EXPECT_EQ(j["image_size"], t["size"]);
            EXPECT_EQ(j["columns"].size(), 10u);
            for (int i = 0; i < 4; ++i)
                for (int k = 0; k < 2; ++k)
                    EXPECT_NEAR(j["registration"]["corners"][i][k].get<double>(), t["corners"][i][k].get<double>(), 1.0);
        }
    }
    EXPECT_EQ(pages, truth.size());
}

TEST(CliScans, SpreadsheetCellsNeverStartAFormula) {
    for (const std::string id : {"=1+1", "+1", "-1", "@SUM(A1)"}) {
        const CliRun run = run_cli({"--csv", "--student-id", id, "--click="});
        EXPECT_TRUE(contains(run.out, "\n(built-in sheet),'" + id + ",")) << run.out;
    }
}

TEST(CliScans, PrintFormByExtension) {
    const std::string pdf = (scratch_dir() / "form.pdf").string();
    CliRun run = run_cli({"--print-form", pdf, "--paper", "letter"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(pdf).rfind("%PDF", 0), 0u);
    run = run_cli({"--print-form", (scratch_dir() / "form.doc").string()});
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(contains(run.err, "form.doc")) << run.err;
    EXPECT_EQ(run_cli({"--print-form", pdf, "--paper", "a5"}).status, 2);
}

}  // namespace
}  // namespace idr::test
