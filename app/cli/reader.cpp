#include "app/cli/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <ostream>
#include <system_error>
#include <vector>

#include "app/cli/button_names.h"
#include "form/form1.h"
#include "picture/bmp.h"
#include "reading/dispatch.h"
#include "reading/cell_check.h"
#include "rules/error.h"

namespace idr::cli {

namespace {

// The largest file that can hold a picture the decoder accepts: 3 bytes a
// pixel, up to 3 bytes of row padding, and room for headers and a colour
// table. Anything bigger is refused before it is read into memory.
constexpr std::uintmax_t kMaxSheetFileBytes =
    3 * static_cast<std::uintmax_t>(kMaxBmpPixels) + 3 * static_cast<std::uintmax_t>(kMaxBmpDimension) + (1u << 20);

const char* const kBuiltInSheet = "(built-in sheet)";

struct SheetResult {
    std::string caption;
    std::string student_id;
    std::string error;  // empty when every click ran
};

void write_cells_table(const Form1& form, std::ostream& out) {
    out << "cells: black samples per cell (rows: digits, columns: ID positions, * marked)\n";
    out << "    ";
    for (int column = 0; column < 10; ++column) {
        char field[8];
        std::snprintf(field, sizeof field, "%5d", column + 1);
        out << field;
    }
    out << '\n';

    std::optional<SampleSteps> steps;
    try {
        steps = sample_steps(form);
    } catch (const RuntimeError&) {
    }
    for (int row = 0; row < 10; ++row) {
        std::string line = "  " + std::to_string(row) + "  ";
        for (int column = 0; column < 10; ++column) {
            const auto cell = static_cast<Int16>(10 * column + row);
            std::string count = "-";  // no such cell (grid not drawn)
            if (steps && form.Shape1.exists(cell)) {
                try {
                    count = std::to_string(count_black_samples(form, cell, *steps));
                } catch (const RuntimeError&) {
                    count = "?";  // the cell lies where it cannot be sampled
                }
            }
            const bool marked = form.Cell_Flag(cell + 1) == kTrue;
            line += std::string(count.size() < 4 ? 4 - count.size() : 0, ' ') + count + (marked ? "*" : " ");
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    }
}

// ": Permission denied" for an errno value, nothing for 0.
std::string reason(int error) { return error != 0 ? std::string(": ") + std::strerror(error) : std::string(); }

// Empty when the file was written, otherwise why not.
std::string write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return "cannot be opened for writing" + reason(errno);
    errno = 0;
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) return "could not be written" + reason(errno);
    return {};
}

}  // namespace

std::variant<Surface, std::string> load_sheet_file(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty()) return std::string("the file name is empty");
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return std::string("no such file");
    // Permission denied on a folder, a name too long, a loop of links, ...
    if (ec) return "cannot be opened: " + ec.message();
    if (fs::is_directory(status)) return std::string("is a directory, not a BMP file");
    if (!fs::is_regular_file(status)) return std::string("is not a regular file");
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return "cannot be read: " + ec.message();
    const std::string limit = "more than any picture the reader accepts (" + std::to_string(kMaxSheetFileBytes) + " bytes)";
    if (size > kMaxSheetFileBytes) return "is " + std::to_string(size) + " bytes, " + limit;

    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot be opened for reading" + reason(errno);
    // Read in pieces with read(): a read error then sets badbit instead of
    // throwing out of the stream buffer, and a file that reports a size of 0
    // but has no end (as some under /proc do) stops at the cap.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    std::vector<char> piece(1 << 16);
    while (file) {
        errno = 0;
        file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        bytes.insert(bytes.end(), piece.data(), piece.data() + file.gcount());
        if (file.bad()) return "could not be read" + reason(errno);
        if (bytes.size() > kMaxSheetFileBytes) return "holds " + limit;
    }

    PictureResult picture = decode_bmp(bytes);
    if (!picture) return picture.error.message();
    return std::move(*picture.picture);
}

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

int run_sheets(const Options& options, std::ostream& out, std::ostream& err) {
    int status = kExitOk;
    const bool several = options.sheets.size() > 1;
    std::vector<std::string> paths = options.sheets;
    const bool built_in = paths.empty();
    if (built_in) paths.push_back(kBuiltInSheet);

    if (options.csv) out << "sheet,student_id,caption,error\n";

    for (const std::string& path : paths) {
        if (several && !options.csv) out << "sheet: " << path << '\n';
        auto report_problem = [&](const std::string& message) {
            out.flush();
            err << "id-reader-cli: " << path << ": " << message << '\n';
            err.flush();
        };

        std::optional<Form1> form;
        try {
            if (built_in) {
                form.emplace();
            } else {
                std::variant<Surface, std::string> loaded = load_sheet_file(path);
                if (std::string* problem = std::get_if<std::string>(&loaded)) {
                    report_problem("cannot load: " + *problem);
                    if (options.csv) out << csv_field(path) << ",,," << csv_field("cannot load: " + *problem) << '\n';
                    status = std::max(status, kExitFile);
                    continue;
                }
                form.emplace(std::move(std::get<Surface>(loaded)));
            }
        } catch (const std::bad_alloc&) {
            report_problem("cannot load: not enough memory for the picture");
            if (options.csv) out << csv_field(path) << ",,,cannot load: not enough memory for the picture\n";
            status = std::max(status, kExitFile);
            continue;
        }

        form->txtTreshold.Text = options.threshold;
        form->txtBlack_Pixels.Text = options.black_samples;
        form->Student_ID.Text = options.student_id;
        if (options.verbose) {
            form->on_caption_changed = [&out](const std::string& caption) { out << "status: " << caption << '\n'; };
        }

        SheetResult result;
        for (const ButtonId id : options.clicks) {
            const ClickOutcome outcome = click(*form, id);
            if (outcome.error) {
                const Button& button = button_of(*form, id);
                result.error = std::string(cli_name(id)) + " (" + button.name + "): " + outcome.error->report();
                report_problem("clicking " + result.error);
                status = std::max(status, kExitRuntimeError);
                break;
            }
        }
        form->on_caption_changed = nullptr;
        result.caption = form->Caption();
        result.student_id = form->Student_ID.Text;

        if (options.csv) {
            out << csv_field(path) << ',' << csv_field(result.student_id) << ',' << csv_field(result.caption) << ','
                << csv_field(result.error) << '\n';
        } else {
            out << "caption: " << result.caption << '\n';
            out << "student-id: " << result.student_id << '\n';
            if (options.cells) write_cells_table(*form, out);
        }

        if (options.save_picture) {
            std::error_code ec;
            std::string problem;
            if (!built_in && std::filesystem::equivalent(path, *options.save_picture, ec)) {
                problem = "is the sheet that was read; its scan is kept, not overwritten";
            } else {
                problem = write_file(*options.save_picture, encode_bmp(form->picRedraw.surface));
            }
            if (!problem.empty()) {
                out.flush();
                err << "id-reader-cli: " << *options.save_picture << ": cannot write the picture: " << problem << '\n';
                status = std::max(status, kExitFile);
            }
        }
    }
    out.flush();
    return status;
}

}  // namespace idr::cli
