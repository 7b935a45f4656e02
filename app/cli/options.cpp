#include "app/cli/options.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <variant>

#include <CLI/CLI.hpp>
#include "app/cli/button_names.h"

namespace idr::cli {

namespace {

constexpr const char* kDescription =
    "Reads the student ID of every page (no FILE: the built-in sheet). Each page gets a fresh\n"
    "window: the ID block is located on the page and warped into the window's picture, each\n"
    "column is decided on its own, and the window's buttons are clicked as an operator would.\n"
    "FILE: PNG, JPEG, TIFF (every page), WebP, BMP, HEIC, AVIF or PDF (every page); a folder\n"
    "means the readable files in it, sorted by name; - reads file names from standard input,\n"
    "one a line.";

constexpr const char* kFooter =
    "Output per page: `caption:`, `student-id:`, `status:` (ok, review, not-found, unreadable or\n"
    "error) and `reading:` (ten characters: the digit, _ blank, * several marks, ? unsure); with\n"
    "several pages a `sheet:` line first and, for files of several pages, `page:`.\n"
    "--save-picture with several pages: FILE-1.bmp, FILE-2.bmp, ... numbered in reading order.\n"
    "Pages are read on several threads; the results keep the input order. On a terminal, stderr\n"
    "shows the progress; a closing summary follows when more than one page was read. Ctrl+C\n"
    "finishes the pages being read, writes them and the summary, and exits with 130.\n"
    "Exit status: 0 every page was read (review and not-found are results, not failures);\n"
    "1 a run-time error stopped a page's clicks; 2 usage error; 3 a file could not be read or\n"
    "written (3 wins over 1; the other pages are read either way); 130 interrupted.";

// Stands for an empty option value: CLI11 takes `--click=` for a missing one.
constexpr const char* kEmptyValue = "\x1f(empty)";

// CLI11 takes "-5" for an option name and `--opt=` for a missing value; a
// value of a text option may be any text, so such values are joined to their
// option as --opt=-5 first, and empty ones stand in as kEmptyValue. A flag
// given a value (--cells=yes) is refused here, as before.
std::variant<std::vector<std::string>, std::string> prepare(const std::vector<std::string>& args) {
    static const std::string_view kTextOptions[] = {"--threshold", "--black-samples", "--student-id", "--click",
                                                    "--save-picture", "--print-form", "--jobs", "--xlsx", "--overlay", "--report"};
    static const std::string_view kFlags[] = {"--cells", "--verbose", "--csv", "--json", "--recursive", "--quiet"};
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            out.insert(out.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        const std::size_t eq = a.find('=');
        const std::string_view name = std::string_view(a).substr(0, eq);
        const bool text_option = std::find(std::begin(kTextOptions), std::end(kTextOptions), name) != std::end(kTextOptions);
        if (eq != std::string::npos && std::find(std::begin(kFlags), std::end(kFlags), name) != std::end(kFlags))
            return std::string(name) + " takes no value";
        if (text_option && eq != std::string::npos) {
            out.push_back(eq + 1 == a.size() ? std::string(name) + "=" + kEmptyValue : a);
        } else if (text_option && i + 1 < args.size() && (args[i + 1].empty() || args[i + 1][0] == '-')) {
            out.push_back(a + "=" + (args[i + 1].empty() ? std::string(kEmptyValue) : args[i + 1]));
            ++i;
        } else {
            out.push_back(a);
        }
    }
    return out;
}

void restore_empty(std::string& value) {
    if (value == kEmptyValue) value.clear();
}

struct Parser {
    CLI::App app{kDescription, "id-reader-cli"};
    Options options;
    std::string click_list = "binary,draw,check,check-id";
    std::string locate = "auto";
    std::string jobs;
    bool version = false;

    Parser() {
        app.footer(kFooter);
        app.set_help_flag("-h,--help", "print this help and exit");
        app.add_flag("-V,--version", version, "print the version and exit");
        app.add_option("--threshold", options.threshold,
                       "text of the brightness threshold box before the clicks; \"auto\" derives it from\n"
                       "the page; '' leaves the box empty (default: auto for located pages, 35 for pictures\n"
                       "used as they are)");
        app.add_option("--black-samples", options.black_samples,
                       "text of the black-samples box; \"auto\" and '' as above (default: auto for located\n"
                       "pages, 8)");
        app.add_option("--student-id", options.student_id, "text of the student ID box before the clicks");
        app.add_option("--click", click_list,
                       "buttons clicked in order, comma-separated, names may repeat: binary, draw, check,\n"
                       "check-id, up, down, left, right (default binary,draw,check,check-id)");
        app.add_option("--locate", locate,
                       "auto: a picture of exactly 262 x 362 is the block as it stands, any other is located;\n"
                       "always; never")
            ->check(CLI::IsMember({"auto", "always", "never"}));
        app.add_flag("--cells", options.cells,
                     "after the clicks, a 10 x 10 table of each cell's black samples (* = marked)");
        app.add_option("--save-picture", options.save_picture,
                       "after the clicks, write the window's picture (the rectified block) as a 24-bit BMP");
        app.add_flag("--verbose", options.verbose, "print every caption the window shows, as `progress: <text>`");
        app.add_flag("--csv", options.csv,
                     "one line per page: sheet,student_id,caption,error,page,status,reading,why");
        app.add_flag("--json", options.json, "JSON Lines: one object per page");
        app.add_flag("--recursive", options.recursive, "folders: read their subfolders too");
        app.add_option("--jobs", jobs,
                       "pages read at once (default: one per core); results keep the input order");
        app.add_flag("--quiet", options.quiet, "no progress line and no closing summary on stderr");
        app.add_option("--xlsx", options.xlsx,
                       "also write the results as a spreadsheet, one row per page, pages to review highlighted");
        app.add_option("--overlay", options.overlay,
                       "write a review picture of every page (the block with each column's decision) to DIR");
        app.add_option("--report", options.report,
                       "write one HTML page for reviewing the batch (pages to review first) to FILE");
        app.add_option("--print-form", options.print_form,
                       "write the blank answer-sheet form to FILE (.pdf, .svg or .png) and exit");
        app.add_option("--paper", options.paper, "paper for --print-form: a4 or letter (default: the locale's)")
            ->check(CLI::IsMember({"a4", "letter"}));
        app.add_option("--dpi", options.dpi, "resolution of a --print-form PNG (default 300)");
        app.add_option("inputs", options.inputs, "FILE | DIR | -");
    }
};

}  // namespace

std::optional<std::vector<ButtonId>> parse_click_list(const std::string& list, std::string& bad_name) {
    std::vector<ButtonId> clicks;
    if (list.empty()) return clicks;
    std::string_view rest = list;
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = rest.substr(0, comma);
        const std::optional<ButtonId> id = button_from_cli_name(name);
        if (!id) {
            bad_name = std::string(name);
            return std::nullopt;
        }
        clicks.push_back(*id);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return clicks;
}

std::optional<int> parse_jobs(const std::string& text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = 10 * n + (c - '0');
    }
    if (n < 1 || n > kMaxJobs) return std::nullopt;
    return n;
}

std::string usage() {
    Parser parser;
    return parser.app.help();
}

ParseResult parse_command_line(const std::vector<std::string>& args) {
    ParseResult result;
    Parser parser;
    auto prepared = prepare(args);
    if (auto* problem = std::get_if<std::string>(&prepared)) {
        result.action = ParseResult::Action::UsageError;
        result.error = *problem;
        return result;
    }
    std::vector<std::string> reversed = std::get<std::vector<std::string>>(std::move(prepared));
    std::reverse(reversed.begin(), reversed.end());  // CLI11 takes them last first
    try {
        parser.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        result.action = ParseResult::Action::Help;
        result.help = parser.app.help();
        return result;
    } catch (const CLI::ParseError& e) {
        result.action = ParseResult::Action::UsageError;
        result.error = e.what();
        return result;
    }
    if (parser.version) {
        result.action = ParseResult::Action::Version;
        return result;
    }
    result.options = std::move(parser.options);
    Options& o = result.options;
    restore_empty(parser.click_list);
    if (o.threshold) restore_empty(*o.threshold);
    if (o.black_samples) restore_empty(*o.black_samples);
    restore_empty(o.student_id);
    if (o.save_picture) restore_empty(*o.save_picture);
    if (o.print_form) restore_empty(*o.print_form);
    for (std::optional<std::string>* path : {&o.xlsx, &o.overlay, &o.report}) {
        if (!*path) continue;
        restore_empty(**path);
        if ((*path)->empty()) {
            result.action = ParseResult::Action::UsageError;
            result.error = std::string(path == &o.xlsx ? "--xlsx" : path == &o.overlay ? "--overlay" : "--report") +
                           ": the file name is empty";
            return result;
        }
    }
    restore_empty(parser.jobs);
    if (!parser.jobs.empty()) {
        const std::optional<int> jobs = parse_jobs(parser.jobs);
        if (!jobs) {
            result.action = ParseResult::Action::UsageError;
            result.error = "--jobs: \"" + parser.jobs + "\" is not a number of threads from 1 to " +
                           std::to_string(kMaxJobs);
            return result;
        }
        o.jobs = *jobs;
    }
    std::string bad;
    auto clicks = parse_click_list(parser.click_list, bad);
    if (!clicks) {
        result.action = ParseResult::Action::UsageError;
        result.error = "--click: \"" + bad + "\" is not a button (binary, draw, check, check-id, up, down, left, right)";
        return result;
    }
    o.clicks = std::move(*clicks);
    o.locate = parser.locate == "always" ? scan::LocateMode::Always
               : parser.locate == "never" ? scan::LocateMode::Never
                                          : scan::LocateMode::Auto;
    if (o.csv && o.json) {
        result.action = ParseResult::Action::UsageError;
        result.error = "--csv and --json cannot be used together";
        return result;
    }
    return result;
}

}  // namespace idr::cli
