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
#include "app/cli/button_names.h"
#include "app/cli/output.h"
#include "scan/load.h"
#include "scan/read_page.h"
#include "scan/rectify.h"
#include <iostream>
#include <istream>

namespace idr::cli {

namespace {

// The largest file that can hold a picture the decoder accepts: 3 bytes a
// pixel, up to 3 bytes of row padding, and room for headers and a colour
// table. Anything bigger is refused before it is read into memory.
constexpr std::uintmax_t kMaxSheetFileBytes =
    3 * static_cast<std::uintmax_t>(kMaxBmpPixels) + 3 * static_cast<std::uintmax_t>(kMaxBmpDimension) + (1u << 20);

const char* const kBuiltInSheet = "(built-in sheet)";

}  // namespace

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

namespace {

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


std::vector<std::string> expand_inputs(const std::vector<std::string>& inputs, std::istream& in,
                                       std::vector<std::string>& problems) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    for (const std::string& input : inputs) {
        if (input == "-") {
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (!line.empty()) files.push_back(line);
            }
            continue;
        }
        std::error_code ec;
        if (!fs::is_directory(input, ec)) {
            files.push_back(input);  // a missing file is reported when it is read
            continue;
        }
        std::vector<std::string> found;
        fs::directory_iterator it(input, ec), end;
        if (ec) {
            problems.push_back(input + ": cannot list the folder: " + ec.message());
            continue;
        }
        for (; it != end; it.increment(ec)) {
            if (ec) {
                problems.push_back(input + ": cannot list the folder: " + ec.message());
                break;
            }
            std::error_code fe;
            if (it->is_regular_file(fe) && scan::has_scan_extension(it->path().string()))
                found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        if (found.empty()) problems.push_back(input + ": the folder holds no scan files (PNG, JPEG, TIFF, WebP, BMP or PDF)");
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

namespace {

const char* const kBuiltInSheetName = "(built-in sheet)";

bool starts_with_bm(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    char sig[2] = {0, 0};
    f.read(sig, 2);
    return f.gcount() == 2 && sig[0] == 'B' && sig[1] == 'M';
}

// Where --save-picture writes page `seq` (1-based, in reading order) when
// several pages are read: FILE-seq before the extension.
std::string numbered_path(const std::string& path, int seq) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = has_ext ? path.substr(0, dot) : path;
    const std::string ext = has_ext ? path.substr(dot) : std::string();
    return stem + "-" + std::to_string(seq) + ext;
}

// Decodes at half size a page big enough that the block keeps rings of
// about ten pixels and more (a 300-dpi page or finer): decoding JPEG at a
// reduced size is the cheapest part of the whole read.
int reduction_for(const scan::PageSource& source, int number) {
    if (!source.can_reduce()) return 1;
    const cv::Size s = source.declared_size(number);
    return std::max(s.width, s.height) >= 3000 ? 2 : 1;
}

}  // namespace

int run_pages(const Options& options, std::istream& in, std::ostream& out, std::ostream& err) {
    int status = kExitOk;
    std::vector<std::string> problems;
    const bool built_in = options.inputs.empty();
    std::vector<std::string> files = built_in ? std::vector<std::string>{kBuiltInSheetName}
                                              : expand_inputs(options.inputs, in, problems);
    for (const std::string& p : problems) {
        err << "id-reader-cli: " << p << '\n';
        status = std::max(status, kExitFile);
    }

    OutputFormat format = options.json ? OutputFormat::Json : options.csv ? OutputFormat::Csv : OutputFormat::Text;
    ResultWriter writer(out, format, files.size() > 1, options.cells);
    writer.begin();

    scan::ReadOptions read;
    read.locate = options.locate;
    read.threshold = options.threshold;
    read.black_samples = options.black_samples;
    read.student_id = options.student_id;
    read.clicks = options.clicks;
    if (options.verbose && format == OutputFormat::Text)
        read.on_caption = [&out](const std::string& caption) { out << "progress: " << caption << '\n'; };

    int seq = 0;
    const bool several_pictures = files.size() > 1;
    for (const std::string& path : files) {
        auto problem = [&](const std::string& message) {
            out.flush();
            err << "id-reader-cli: " << path << ": " << message << '\n';
            err.flush();
        };
        auto unreadable = [&](int page, const std::string& message) {
            problem(message);
            PageOutcome o;
            o.file = path;
            o.page = page;
            o.status = "unreadable";
            o.error = message;
            writer.write(o);
            status = std::max(status, kExitFile);
        };

        // The program's own decoder reads the 24-bit BMP form exactly; any
        // other picture goes to the scan loader.
        std::optional<Surface> exact;
        std::string own_refusal;
        if (built_in) {
            exact = Form1().picRedraw.surface;
        } else if (starts_with_bm(path)) {
            try {
                auto loaded = load_sheet_file(path);
                if (auto* s = std::get_if<Surface>(&loaded)) exact = std::move(*s);
                else own_refusal = std::get<std::string>(loaded);
            } catch (const std::bad_alloc&) {
                own_refusal = "not enough memory for the picture";
            }
        }

        std::unique_ptr<scan::PageSource> source;
        int pages = 1;
        if (!exact) {
            auto opened = scan::open_scan(path);
            if (auto* e = std::get_if<scan::LoadError>(&opened)) {
                // The loader names the file; the line already does.
                std::string message = own_refusal.empty() ? e->message : own_refusal;
                if (message.rfind(path + ": ", 0) == 0) message.erase(0, path.size() + 2);
                unreadable(1, "cannot load: " + message);
                continue;
            }
            source = std::move(std::get<std::unique_ptr<scan::PageSource>>(opened));
            pages = source->page_count();
            if (pages < 1) {
                unreadable(1, "cannot load: the file holds no pages");
                continue;
            }
        }
        writer.set_multi_page(pages > 1);

        for (int number = 1; number <= pages; ++number) {
            ++seq;
            scan::PagePicture picture;
            if (exact) {
                picture.full_size = {exact->width(), exact->height()};
                picture.exact = std::move(*exact);
                exact.reset();
            } else {
                const int reduction = reduction_for(*source, number);
                // A grey page stays one channel: no colour to convert and
                // three times less to warp.
                const scan::PixelKind kind =
                    source->declared_grey(number) ? scan::PixelKind::Grey : scan::PixelKind::Colour;
                std::variant<scan::Page, scan::LoadError> decoded = [&]() -> std::variant<scan::Page, scan::LoadError> {
                    try {
                        return source->page(number, kind, reduction);
                    } catch (const std::bad_alloc&) {
                        return scan::LoadError{"page " + std::to_string(number) + ": not enough memory"};
                    }
                }();
                if (auto* e = std::get_if<scan::LoadError>(&decoded)) {
                    std::string message = e->message;
                    if (message.rfind(path + ": ", 0) == 0) message.erase(0, path.size() + 2);
                    unreadable(number, "cannot load: " + message);
                    continue;
                }
                scan::Page& page = std::get<scan::Page>(decoded);
                picture.image = std::move(page.image);
                picture.full_size = page.full_size;
                picture.reduction = page.reduction;
                if (page.reduction > 1) {
                    scan::PageSource* src = source.get();
                    picture.full_resolution = [src, number, kind]() -> std::optional<cv::Mat> {
                        auto again = src->page(number, kind, 1);
                        if (auto* p = std::get_if<scan::Page>(&again)) return std::move(p->image);
                        return std::nullopt;
                    };
                }
            }

            writer.page_header(path, number);
            scan::PageResult result = scan::read_page(std::move(picture), read);
            PageOutcome o = outcome_of(path, number, result);
            if (result.error) {
                const ButtonId id = *result.failed_button;
                o.error = std::string(cli_name(id)) + " (" + button_of(*result.form, id).name + "): " +
                          result.error->report();
                problem((pages > 1 ? "page " + std::to_string(number) + ": " : std::string()) + "clicking " + o.error);
                status = std::max(status, kExitRuntimeError);
            }
            writer.write(o, result.form ? &*result.form : nullptr);

            if (options.save_picture && result.form) {
                const std::string target = several_pictures || pages > 1 ? numbered_path(*options.save_picture, seq)
                                                                         : *options.save_picture;
                std::error_code ec;
                std::string trouble;
                if (!built_in && std::filesystem::equivalent(path, target, ec)) {
                    trouble = "is the sheet that was read; its scan is kept, not overwritten";
                } else {
                    trouble = write_file(target, encode_bmp(result.form->picRedraw.surface));
                }
                if (!trouble.empty()) {
                    out.flush();
                    err << "id-reader-cli: " << target << ": cannot write the picture: " << trouble << '\n';
                    status = std::max(status, kExitFile);
                }
            }
        }
    }
    writer.end();
    out.flush();
    return status;
}

}  // namespace idr::cli
