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

#include "app/cli/batch.h"
#include "app/cli/button_names.h"
#include "app/cli/progress.h"
#include "app/cli/review_outputs.h"
#include "app/cli/xlsx_output.h"
#include "app/lazy/lazy_library.h"
#include "form/form1.h"
#include "picture/bmp.h"
#include "reading/dispatch.h"
#include "reading/cell_check.h"
#include "rules/error.h"
#include "app/cli/output.h"
#include "scan/load.h"
#include "scan/read_page.h"
#include "scan/rectify.h"
#include <functional>
#include <istream>
#include <mutex>
#include <sstream>
#include <thread>

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

namespace {

// The scan files in `folder` and, when `recursive`, in its subfolders. Links
// to folders are not followed (a link to a parent would never end); a
// subfolder that cannot be listed is named in `problems` and the rest is
// still read.
void list_folder(const std::string& folder, bool recursive, std::vector<std::string>& found,
                 std::vector<std::string>& problems) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    if (ec) {
        problems.push_back(folder + ": cannot list the folder: " + ec.message());
        return;
    }
    std::vector<std::string> subfolders;
    for (; it != end; it.increment(ec)) {
        if (ec) {
            problems.push_back(folder + ": cannot list the folder: " + ec.message());
            break;
        }
        std::error_code fe;
        if (it->is_regular_file(fe) && scan::has_scan_extension(it->path().string())) {
            found.push_back(it->path().string());
        } else if (recursive && !it->is_symlink(fe) && it->is_directory(fe)) {
            subfolders.push_back(it->path().string());
        }
    }
    for (const std::string& sub : subfolders) list_folder(sub, recursive, found, problems);
}

}  // namespace

std::vector<std::string> expand_inputs(const std::vector<std::string>& inputs, std::istream& in,
                                       std::vector<std::string>& problems, bool recursive) {
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
        list_folder(input, recursive, found, problems);
        std::sort(found.begin(), found.end());
        if (found.empty())
            problems.push_back(input + (recursive ? ": the folder and its subfolders hold" : ": the folder holds") +
                               " no scan files (PNG, JPEG, TIFF, WebP, BMP, HEIC, AVIF or PDF)");
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

namespace {

// One page of the batch, as known before it is read.
struct PageTask {
    enum class From { BuiltIn, OwnBmp, Scan, Unreadable };
    std::string path;
    int page = 1;
    int pages = 1;  // in its file
    From from = From::Scan;
    std::string problem;  // for Unreadable: why the file could not be opened
};

// Everything a page produces, made by the worker that read it and written by
// the one writer in reading order, so pages never interleave.
struct PageDone {
    std::string out;                    // its lines for stdout (heading, progress, results, cells)
    std::vector<std::string> problems;  // its lines for stderr, without the program's name
    int status = kExitOk;
    PageOutcome outcome;
    std::optional<std::vector<std::uint8_t>> picture_bmp;  // --save-picture
    std::vector<std::uint8_t> overlay_png;                   // --overlay, --report
};

// The loader's message names the file; the line already does.
std::string without_path(std::string message, const std::string& path) {
    if (message.rfind(path + ": ", 0) == 0) message.erase(0, path.size() + 2);
    return message;
}

// The files become pages. Opening a file reads only its headers, so the
// page count of multi-page files is known before the batch starts; a file
// that cannot be opened is one unreadable page in its place.
std::vector<PageTask> plan_pages(const std::vector<std::string>& files, bool built_in) {
    std::vector<PageTask> tasks;
    for (const std::string& path : files) {
        PageTask t;
        t.path = path;
        if (built_in) {
            t.from = PageTask::From::BuiltIn;
        } else if (starts_with_bm(path)) {
            t.from = PageTask::From::OwnBmp;  // one page; the worker falls back to the scan loader
        } else {
            auto opened = scan::open_scan(path);
            if (auto* e = std::get_if<scan::LoadError>(&opened)) {
                t.from = PageTask::From::Unreadable;
                t.problem = "cannot load: " + without_path(e->message, path);
            } else if (const int n = std::get<std::unique_ptr<scan::PageSource>>(opened)->page_count(); n < 1) {
                t.from = PageTask::From::Unreadable;
                t.problem = "cannot load: the file holds no pages";
            } else {
                t.pages = n;
                for (int number = 1; number < n; ++number) {
                    PageTask more = t;
                    more.page = number;
                    tasks.push_back(std::move(more));
                }
                t.page = n;
            }
        }
        tasks.push_back(std::move(t));
    }
    return tasks;
}

// Each worker keeps the file it read last open: pages of one file that come
// to the same worker are decoded without opening it again.
struct OpenFile {
    std::string path;
    std::unique_ptr<scan::PageSource> source;
};

// What the worker needs besides the page.
struct PageContext {
    const Options& options;
    OutputFormat format;
    bool several_files;
    const scan::ReadOptions& read;
    bool want_picture;
    bool want_overlay;
};

// The picture of a page, or why there is none.
std::variant<scan::PagePicture, std::string> picture_of(const PageTask& t, OpenFile& open) {
    scan::PagePicture picture;
    std::string own_refusal;
    if (t.from == PageTask::From::BuiltIn) {
        Surface sheet = Form1().picRedraw.surface;
        picture.full_size = {sheet.width(), sheet.height()};
        picture.exact = std::move(sheet);
        return picture;
    }
    if (t.from == PageTask::From::OwnBmp) {
        // The program's own decoder reads the 24-bit BMP form exactly; any
        // other picture goes to the scan loader.
        try {
            auto loaded = load_sheet_file(t.path);
            if (auto* s = std::get_if<Surface>(&loaded)) {
                picture.full_size = {s->width(), s->height()};
                picture.exact = std::move(*s);
                return picture;
            }
            own_refusal = std::get<std::string>(loaded);
        } catch (const std::bad_alloc&) {
            own_refusal = "not enough memory for the picture";
        }
    }
    if (open.path != t.path || !open.source) {
        open.source.reset();
        auto opened = scan::open_scan(t.path);
        if (auto* e = std::get_if<scan::LoadError>(&opened))
            return "cannot load: " + (own_refusal.empty() ? without_path(e->message, t.path) : own_refusal);
        open.path = t.path;
        open.source = std::move(std::get<std::unique_ptr<scan::PageSource>>(opened));
    }
    scan::PageSource& source = *open.source;
    const int number = t.page;
    const int reduction = reduction_for(source, number);
    // A grey page stays one channel: no colour to convert and three times
    // less to warp.
    const scan::PixelKind kind = source.declared_grey(number) ? scan::PixelKind::Grey : scan::PixelKind::Colour;
    std::variant<scan::Page, scan::LoadError> decoded = [&]() -> std::variant<scan::Page, scan::LoadError> {
        try {
            return source.page(number, kind, reduction);
        } catch (const std::bad_alloc&) {
            return scan::LoadError{"page " + std::to_string(number) + ": not enough memory"};
        }
    }();
    if (auto* e = std::get_if<scan::LoadError>(&decoded)) return "cannot load: " + without_path(e->message, t.path);
    scan::Page& page = std::get<scan::Page>(decoded);
    picture.image = std::move(page.image);
    picture.full_size = page.full_size;
    picture.reduction = page.reduction;
    if (page.reduction > 1) {
        // Called within read_page, on this worker, while `open` still holds
        // the source.
        scan::PageSource* src = open.source.get();
        picture.full_resolution = [src, number, kind]() -> std::optional<cv::Mat> {
            auto again = src->page(number, kind, 1);
            if (auto* p = std::get_if<scan::Page>(&again)) return std::move(p->image);
            return std::nullopt;
        };
    }
    return picture;
}

PageDone read_one(const PageTask& t, const PageContext& ctx, OpenFile& open) {
    PageDone done;
    std::ostringstream text;
    ResultWriter writer(text, ctx.format, ctx.several_files, ctx.options.cells);
    writer.set_multi_page(t.pages > 1);
    const std::string where = t.pages > 1 ? "page " + std::to_string(t.page) + ": " : std::string();
    auto unreadable = [&](const std::string& message) {
        done.problems.push_back(t.path + ": " + message);
        done.outcome.file = t.path;
        done.outcome.page = t.page;
        done.outcome.status = "unreadable";
        done.outcome.error = message;
        writer.write(done.outcome);
        done.status = kExitFile;
        done.out = std::move(text).str();
        // The reviewer going through the pictures sees this page too.
        if (ctx.want_overlay) done.overlay_png = review_picture(done.outcome, ctx.options.overlay.has_value());
        return std::move(done);
    };
    if (t.from == PageTask::From::Unreadable) return unreadable(t.problem);

    auto picture = picture_of(t, open);
    if (auto* message = std::get_if<std::string>(&picture)) return unreadable(*message);

    writer.page_header(t.path, t.page);
    scan::ReadOptions read = ctx.read;
    if (ctx.options.verbose && ctx.format == OutputFormat::Text)
        read.on_caption = [&text](const std::string& caption) { text << "progress: " << caption << '\n'; };
    scan::PageResult result = scan::read_page(std::move(std::get<scan::PagePicture>(picture)), read);
    if (t.from != PageTask::From::Scan && t.from != PageTask::From::OwnBmp) open = {};
    PageOutcome o = outcome_of(t.path, t.page, result);
    if (result.error) {
        const ButtonId id = *result.failed_button;
        o.error = std::string(cli_name(id)) + " (" + button_of(*result.form, id).name + "): " + result.error->report();
        done.problems.push_back(t.path + ": " + where + "clicking " + o.error);
        done.status = kExitRuntimeError;
    }
    writer.write(o, result.form ? &*result.form : nullptr);
    if (ctx.want_picture && result.form) done.picture_bmp = encode_bmp(result.form->picRedraw.surface);
    if (ctx.want_overlay) done.overlay_png = review_picture(o, result, ctx.options.overlay.has_value());
    done.out = std::move(text).str();
    done.outcome = std::move(o);
    return done;
}

}  // namespace

int run_pages(const Options& options, std::istream& in, std::ostream& out, std::ostream& err,
              const RunSettings& settings) {
    int status = kExitOk;
    std::vector<std::string> problems;
    const bool built_in = options.inputs.empty();
    std::vector<std::string> files = built_in ? std::vector<std::string>{kBuiltInSheetName}
                                              : expand_inputs(options.inputs, in, problems, options.recursive);
    for (const std::string& p : problems) {
        err << "id-reader-cli: " << p << '\n';
        status = std::max(status, kExitFile);
    }

    // Outputs that hold the whole batch are opened first: when one cannot be
    // written, nothing is read for it.
    XlsxResults xlsx;
    ReviewOutputs review;
    // A results file given the name of a scan would destroy the scan before
    // it is read (`--xlsx a.png a.png`, a slip of the shell's completion).
    for (const std::optional<std::string>* target : {&options.xlsx, &options.report}) {
        if (!*target || built_in) continue;
        for (const std::string& file : files) {
            std::error_code ec;
            if (std::filesystem::equivalent(file, **target, ec)) {
                err << "id-reader-cli: " << **target << ": is one of the files to read; it is kept, not overwritten\n";
                return kExitFile;
            }
        }
    }
    if (options.xlsx) {
        if (auto missing = lazy::xlsxwriter().problem()) {
            err << "id-reader-cli: " << *options.xlsx << ": cannot write the spreadsheet: " << *missing << '\n';
            return kExitFile;
        }
        if (auto problem = xlsx.open(*options.xlsx)) {
            err << "id-reader-cli: " << *problem << '\n';
            return kExitFile;
        }
    }
    if (auto problem = review.open(options)) {
        err << "id-reader-cli: " << *problem << '\n';
        return kExitFile;
    }

    const OutputFormat format = options.json ? OutputFormat::Json : options.csv ? OutputFormat::Csv : OutputFormat::Text;
    ResultWriter header(out, format, files.size() > 1, options.cells);
    header.begin();

    scan::ReadOptions read;
    read.locate = options.locate;
    read.threshold = options.threshold;
    read.black_samples = options.black_samples;
    read.student_id = options.student_id;
    read.clicks = options.clicks;
    if (options.overlay || options.report) read.thumbnail_long_side = kReviewThumbnailSide;

    const std::vector<PageTask> tasks = plan_pages(files, built_in);
    const PageContext ctx{options, format, files.size() > 1, read, options.save_picture.has_value(),
                          review.wanted()};
    const bool several_pictures = files.size() > 1;

    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
    jobs = std::clamp(jobs, 1, static_cast<int>(std::max<std::size_t>(tasks.size(), 1)));
    ProgressLine progress(err, settings.progress_line && !options.quiet);
    Tally tally;

    // One open file per worker thread.
    std::vector<OpenFile> open(static_cast<std::size_t>(jobs));
    std::mutex open_mutex;
    std::vector<std::thread::id> open_owner;
    auto open_file_of_this_thread = [&]() -> OpenFile& {
        std::lock_guard lock(open_mutex);
        const auto me = std::this_thread::get_id();
        for (std::size_t k = 0; k < open_owner.size(); ++k)
            if (open_owner[k] == me) return open[k];
        open_owner.push_back(me);
        return open[open_owner.size() - 1];
    };

    std::function<PageDone(std::size_t)> work = [&](std::size_t i) {
        OpenFile& mine = open_file_of_this_thread();
        try {
            return read_one(tasks[i], ctx, mine);
        } catch (const std::bad_alloc&) {
            mine = {};
            PageDone done;
            done.outcome.file = tasks[i].path;
            done.outcome.page = tasks[i].page;
            done.outcome.status = "unreadable";
            done.outcome.error = "cannot load: not enough memory";
            done.problems.push_back(tasks[i].path + ": " + done.outcome.error);
            done.status = kExitFile;
            std::ostringstream text;
            ResultWriter writer(text, format, ctx.several_files, options.cells);
            writer.set_multi_page(tasks[i].pages > 1);
            writer.write(done.outcome);
            done.out = std::move(text).str();
            return done;
        }
    };

    std::function<void(std::size_t, PageDone&&)> deliver = [&](std::size_t i, PageDone&& done) {
        const int seq = static_cast<int>(i) + 1;  // the page's place in reading order
        progress.clear();
        out << done.out;
        out.flush();
        for (const std::string& line : done.problems) err << "id-reader-cli: " << line << '\n';
        status = std::max(status, done.status);
        if (done.picture_bmp) {
            const PageTask& t = tasks[i];
            const std::string target = several_pictures || t.pages > 1 ? numbered_path(*options.save_picture, seq)
                                                                       : *options.save_picture;
            std::error_code ec;
            std::string trouble;
            if (!built_in && std::filesystem::equivalent(t.path, target, ec)) {
                trouble = "is the sheet that was read; its scan is kept, not overwritten";
            } else {
                trouble = write_file(target, *done.picture_bmp);
            }
            if (!trouble.empty()) {
                err << "id-reader-cli: " << target << ": cannot write the picture: " << trouble << '\n';
                status = std::max(status, kExitFile);
            }
        }
        if (options.xlsx) xlsx.add(done.outcome);
        if (auto problem = review.add(seq, done.outcome, done.overlay_png)) {
            err << "id-reader-cli: " << *problem << '\n';
            status = std::max(status, kExitFile);
        }
        err.flush();
        tally.add(done.outcome.status);
        progress.update(tally, tasks.size(), tally.pages == tasks.size());
    };

    run_in_order<PageDone>(tasks.size(), jobs, 2 * static_cast<std::size_t>(jobs), work, deliver);
    progress.clear();
    header.end();
    out.flush();

    if (options.xlsx) {
        if (auto problem = xlsx.close()) {
            err << "id-reader-cli: " << *problem << '\n';
            status = std::max(status, kExitFile);
        }
    }
    if (auto problem = review.close()) {
        err << "id-reader-cli: " << *problem << '\n';
        status = std::max(status, kExitFile);
    }
    const bool interrupted = stop_requested() && tally.pages < tasks.size();
    if (interrupted) {
        err << "id-reader-cli: interrupted: " << tally.pages << " of " << tasks.size()
            << " pages read, the rest not started\n";
    }
    if (!options.quiet && (tally.pages > 1 || interrupted))
        err << "id-reader-cli: " << summary_text(tally, progress.seconds()) << '\n';
    err.flush();
    return interrupted ? kExitInterrupted : status;
}

}  // namespace idr::cli
