#pragma once
// Command line of id-reader-cli.

#include <optional>
#include <string>
#include <vector>

#include "reading/dispatch.h"
#include "scan/read_page.h"

namespace idr::cli {

struct Options {
    // Texts of the boxes before the clicks; not given means the page's
    // default ("auto" for located pages, "35" and "8" for pictures used as
    // they are), given empty an empty box.
    std::optional<std::string> threshold;
    std::optional<std::string> black_samples;
    std::string student_id;  // Student_ID
    std::vector<ButtonId> clicks = {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId};
    scan::LocateMode locate = scan::LocateMode::Auto;
    bool cells = false;
    bool verbose = false;
    bool csv = false;
    bool json = false;
    std::optional<std::string> save_picture;
    std::vector<std::string> inputs;  // files, folders, "-"; empty: the built-in sheet
    bool recursive = false;           // folders: their subfolders too

    // Batches. Pages are read on `jobs` threads (0: one per core) and written
    // in input order.
    int jobs = 0;
    bool quiet = false;  // no progress line and no closing summary
    std::optional<std::string> xlsx;     // the results as a spreadsheet
    std::optional<std::string> overlay;  // a folder: one review picture per page
    std::optional<std::string> report;   // one HTML page for reviewing the batch

    // --print-form: write the blank answer-sheet form and do nothing else.
    std::optional<std::string> print_form;
    std::optional<std::string> paper;  // "a4" or "letter"; none: the locale's
    double dpi = 300;
};

// What the command line asks for: run, print help or version, or give up
// with a usage message.
struct ParseResult {
    enum class Action { Run, Help, Version, UsageError } action = Action::Run;
    Options options;
    std::string error;  // for UsageError: what was wrong, e.g. "unknown option --foo"
    std::string help;   // for Help: the usage text
};

// Options take their value as `--opt VALUE` or `--opt=VALUE`; `--` ends the
// options.
ParseResult parse_command_line(const std::vector<std::string>& args);

// "binary,draw" -> the buttons in order; an empty list is no clicks. A name
// that is not a button gives nullopt and `bad_name` says which.
std::optional<std::vector<ButtonId>> parse_click_list(const std::string& list, std::string& bad_name);

// More threads than this only cost memory: each holds a decoded page.
inline constexpr int kMaxJobs = 256;

// "4" -> 4; anything but a whole number from 1 to kMaxJobs gives nullopt.
std::optional<int> parse_jobs(const std::string& text);

// The usage text (what --help prints).
std::string usage();

}  // namespace idr::cli
