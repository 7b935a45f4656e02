#pragma once
// Command line of id-reader-cli.

#include <optional>
#include <string>
#include <vector>

#include "reading/dispatch.h"

namespace idr::cli {

struct Options {
    std::string threshold = "35";    // txtTreshold before the clicks
    std::string black_samples = "8"; // txtBlack_Pixels
    std::string student_id;          // Student_ID
    std::vector<ButtonId> clicks = {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId};
    bool cells = false;
    bool verbose = false;
    bool csv = false;
    std::optional<std::string> save_picture;
    std::vector<std::string> sheets;  // empty: the embedded sheet
};

// What the command line asks for: run, print help or version, or give up
// with a usage message.
struct ParseResult {
    enum class Action { Run, Help, Version, UsageError } action = Action::Run;
    Options options;
    std::string error;  // for UsageError: what was wrong, e.g. "unknown option --foo"
};

// Options take their value as `--opt VALUE` or `--opt=VALUE`; `--` ends the
// options. Parsing stops at --help, --version or the first mistake.
ParseResult parse_command_line(const std::vector<std::string>& args);

// "binary,draw" -> the buttons in order; an empty list is no clicks. A name
// that is not a button gives nullopt and `bad_name` says which.
std::optional<std::vector<ButtonId>> parse_click_list(const std::string& list, std::string& bad_name);

extern const char* const kUsage;

}  // namespace idr::cli
