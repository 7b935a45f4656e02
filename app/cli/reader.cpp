#include "app/cli/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "app/cli/batch.h"
#include "app/cli/button_names.h"
#include "app/cli/output.h"
#include "app/cli/progress.h"
#include "app/lazy/lazy_library.h"
#include "form/form1.h"
#include "picture/bmp.h"
#include "reading/cell_check.h"
#include "reading/dispatch.h"
#include "review/page_decoder.h"
#include "review/review_outputs.h"
#include "review/review_picture.h"
#include "rules/error.h"
#include "scan/image_threads.h"
#include "scan/load.h"
#include "scan/read_page.h"

namespace idr::cli {

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

// One page to read, in reading order.
struct PageTask {
    enum class From { BuiltIn, File, Unreadable };
    std::string path;
    int page = 1;
    int pages = 1;  // in its file
    From from = From::File;
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
    std::vector<std::uint8_t> review_picture;               // --overlay, --report
};

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
            tasks.push_back(std::move(t));
            continue;
        }
        auto count = review::PageDecoder::page_count(path);
        if (auto* problem = std::get_if<std::string>(&count)) {
            t.from = PageTask::From::Unreadable;
            t.problem = *problem;
            tasks.push_back(std::move(t));
            continue;
        }
        t.pages = std::get<int>(count);
        for (int number = 1; number <= t.pages; ++number) {
            PageTask one = t;
            one.page = number;
            tasks.push_back(std::move(one));
        }
    }
    return tasks;
}

// What the worker needs besides the page.
struct PageContext {
    const Options& options;
    OutputFormat format;
    bool several_files;
    const scan::ReadOptions& read;
    bool want_picture;
    bool want_review_picture;
    bool png_review_picture;
};

PageDone read_one(const PageTask& t, const PageContext& ctx, review::PageDecoder& decoder) {
    PageDone done;
    std::ostringstream text;
    ResultWriter writer(text, ctx.format, ctx.several_files, ctx.options.cells);
    writer.set_multi_page(t.pages > 1);
    const std::string where = t.pages > 1 ? "page " + std::to_string(t.page) + ": " : std::string();
    auto unreadable = [&](const std::string& message) {
        done.problems.push_back(t.path + ": " + message);
        done.outcome = review::unreadable_page(t.path, t.page, message);
        writer.write(done.outcome);
        done.status = kExitFile;
        done.out = std::move(text).str();
        // The reviewer going through the pictures sees this page too.
        if (ctx.want_review_picture) done.review_picture = review::review_picture(done.outcome, ctx.png_review_picture);
        return std::move(done);
    };
    if (t.from == PageTask::From::Unreadable) return unreadable(t.problem);

    // The built-in sheet is read as its exact pixels, without OpenCV (which
    // the program loads with its first scan).
    std::optional<std::variant<scan::PagePicture, std::string>> picture;
    if (t.from != PageTask::From::BuiltIn) {
        picture = decoder.picture(t.path, t.page);
        if (auto* message = std::get_if<std::string>(&*picture)) return unreadable(*message);
    }

    writer.page_header(t.path, t.page);
    scan::ReadOptions read = ctx.read;
    if (ctx.options.verbose && ctx.format == OutputFormat::Text)
        read.on_caption = [&text](const std::string& caption) { text << "progress: " << caption << '\n'; };
    scan::PageResult result = picture ? scan::read_page(std::move(std::get<scan::PagePicture>(*picture)), read)
                                      : scan::read_page(built_in_sheet(), read);
    PageOutcome o = outcome_of(t.path, t.page, result);
    if (result.error) {
        const ButtonId id = *result.failed_button;
        o.error = std::string(cli_name(id)) + " (" + button_of(*result.form, id).name + "): " + result.error->report();
        done.problems.push_back(t.path + ": " + where + "clicking " + o.error);
        done.status = kExitRuntimeError;
    }
    writer.write(o, result.form ? &*result.form : nullptr);
    if (ctx.want_picture && result.form) done.picture_bmp = encode_bmp(result.form->picRedraw.surface);
    if (ctx.want_review_picture) done.review_picture = review::review_picture(o, result, ctx.png_review_picture);
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
    // libxlsxwriter is loaded here, before anything is opened, so that a
    // missing library leaves no half-made outputs behind.
    if (options.xlsx) {
        if (auto missing = lazy::xlsxwriter().problem()) {
            err << "id-reader-cli: " << *options.xlsx << ": cannot write the spreadsheet: " << *missing << '\n';
            return kExitFile;
        }
    }
    // OpenCV and the format libraries, loaded on first use, are loaded here
    // for anything but the built-in sheet read as it stands: without them no
    // scan can be read, and that is said once, before anything is opened.
    const bool plain_sheet = built_in && options.locate != scan::LocateMode::Always && !options.overlay &&
                             !options.report && !options.xlsx;
    if (!plain_sheet) {
        if (auto missing = lazy::scan_libraries_problem()) {
            err << "id-reader-cli: cannot read scans: " << *missing << '\n';
            return kExitFile;
        }
    }
    review::ReviewOutputs review;
    if (auto problem = review.open({options.xlsx, options.overlay, options.report},
                                   built_in ? std::vector<std::string>{} : files)) {
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
    if (review.wants_pictures()) read.thumbnail_long_side = review::kReviewThumbnailSide;
    read.keep_block = review.wants_pictures();

    const std::vector<PageTask> tasks = plan_pages(files, built_in);
    const PageContext ctx{options, format, files.size() > 1, read, options.save_picture.has_value(),
                          review.wants_pictures(), review.png_pictures()};
    const bool several_pictures = files.size() > 1;

    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
    jobs = std::clamp(jobs, 1, static_cast<int>(std::max<std::size_t>(tasks.size(), 1)));
    if (jobs > 1) scan::keep_image_work_on_calling_threads();
    ProgressLine progress(err, settings.progress_line && !options.quiet);
    Tally tally;

    // One decoder, holding the file it read last, per worker thread: pages
    // of one file that come to the same worker are decoded without opening
    // it again.
    std::vector<review::PageDecoder> decoders(static_cast<std::size_t>(jobs));
    std::mutex decoders_mutex;
    std::vector<std::thread::id> decoder_owner;
    auto decoder_of_this_thread = [&]() -> review::PageDecoder& {
        std::lock_guard lock(decoders_mutex);
        const auto me = std::this_thread::get_id();
        for (std::size_t k = 0; k < decoder_owner.size(); ++k)
            if (decoder_owner[k] == me) return decoders[k];
        decoder_owner.push_back(me);
        return decoders[decoder_owner.size() - 1];
    };

    std::function<PageDone(std::size_t)> work = [&](std::size_t i) {
        review::PageDecoder& mine = decoder_of_this_thread();
        try {
            return read_one(tasks[i], ctx, mine);
        } catch (const std::bad_alloc&) {
            mine.close();
            PageDone done;
            done.outcome = review::unreadable_page(tasks[i].path, tasks[i].page, "cannot load: not enough memory");
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
        if (auto problem = review.add(seq, done.outcome, done.review_picture)) {
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

    for (const std::string& problem : review.close()) {
        err << "id-reader-cli: " << problem << '\n';
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
