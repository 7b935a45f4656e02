#include "app/cli/options.h"

#include <string_view>

#include "app/cli/button_names.h"

namespace idr::cli {

const char* const kUsage =
    "usage: id-reader-cli [OPTIONS] [SHEET.bmp ...]\n"
    "Reads the student ID of each sheet (no SHEET: the built-in sheet) by clicking\n"
    "the window's buttons on a fresh window for every sheet.\n"
    "\n"
    "  --threshold TEXT      text of the brightness threshold box before the clicks (default \"35\")\n"
    "  --black-samples TEXT  text of the black-samples box (default \"8\")\n"
    "  --student-id TEXT     text of the student ID box before the clicks (default empty)\n"
    "  --click LIST          buttons clicked in order, comma-separated, names may repeat:\n"
    "                        binary, draw, check, check-id, up, down, left, right\n"
    "                        (default binary,draw,check,check-id)\n"
    "  --cells               after the clicks, a 10 x 10 table of each cell's black samples\n"
    "                        (rows = digits, columns = ID positions; * = marked)\n"
    "  --save-picture FILE   after the clicks, write the picture as a 24-bit BMP (one sheet only)\n"
    "  --verbose             print every caption the window shows, as `status: <text>`\n"
    "  --csv                 one line per sheet: sheet,student_id,caption,error\n"
    "  --help, --version\n"
    "\n"
    "Output per sheet: `caption: <text>` and `student-id: <text>` (with several sheets a\n"
    "`sheet: <path>` line first).\n"
    "Exit status: 0 all clicks ran; 1 a run-time error stopped a sheet's clicks;\n"
    "2 usage error; 3 a file could not be read or written (3 wins over 1).\n";

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

namespace {

enum class Takes { Nothing, Value };

struct KnownOption {
    std::string_view name;
    Takes takes;
};

constexpr KnownOption kOptions[] = {
    {"--threshold", Takes::Value}, {"--black-samples", Takes::Value}, {"--student-id", Takes::Value},
    {"--click", Takes::Value},     {"--save-picture", Takes::Value},  {"--cells", Takes::Nothing},
    {"--verbose", Takes::Nothing}, {"--csv", Takes::Nothing},         {"--help", Takes::Nothing},
    {"--version", Takes::Nothing},
};

const KnownOption* find_option(std::string_view name) {
    for (const KnownOption& known : kOptions) {
        if (known.name == name) return &known;
    }
    return nullptr;
}

ParseResult usage_error(std::string message) {
    ParseResult result;
    result.action = ParseResult::Action::UsageError;
    result.error = std::move(message);
    return result;
}

}  // namespace

ParseResult parse_command_line(const std::vector<std::string>& args) {
    ParseResult result;
    Options& o = result.options;
    bool options_ended = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            o.sheets.push_back(arg);  // "-" alone is a file name too
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }

        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const KnownOption* known = find_option(name);
        if (known == nullptr) return usage_error("unknown option " + name);

        std::string value;
        if (known->takes == Takes::Nothing) {
            if (equals != std::string::npos) return usage_error(name + " takes no value");
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return usage_error(name + " needs a value");
        }

        if (name == "--help") {
            result.action = ParseResult::Action::Help;
            return result;
        }
        if (name == "--version") {
            result.action = ParseResult::Action::Version;
            return result;
        }
        if (name == "--threshold") {
            o.threshold = value;
        } else if (name == "--black-samples") {
            o.black_samples = value;
        } else if (name == "--student-id") {
            o.student_id = value;
        } else if (name == "--click") {
            std::string bad_name;
            std::optional<std::vector<ButtonId>> clicks = parse_click_list(value, bad_name);
            if (!clicks) {
                return usage_error("unknown button \"" + bad_name +
                                   "\" in --click (buttons: binary, draw, check, check-id, up, down, left, right)");
            }
            o.clicks = std::move(*clicks);
        } else if (name == "--save-picture") {
            if (value.empty()) return usage_error("--save-picture needs a file name");
            o.save_picture = value;
        } else if (name == "--cells") {
            o.cells = true;
        } else if (name == "--verbose") {
            o.verbose = true;
        } else if (name == "--csv") {
            o.csv = true;
        }
    }

    if (o.csv && (o.verbose || o.cells)) return usage_error("--csv cannot be combined with --verbose or --cells");
    if (o.save_picture && o.sheets.size() > 1) return usage_error("--save-picture takes exactly one sheet");
    return result;
}

}  // namespace idr::cli
