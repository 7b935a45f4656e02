#include "app/gui/page_list.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <variant>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "reading/dispatch.h"
#include "scan/load.h"
#include "scan/read_page.h"
#include "review/page_decoder.h"
#include "scan/rectify.h"

namespace idr {

namespace fs = std::filesystem;

namespace {

// The loader's messages start with the file's name; the window's lines name
// it already.
std::string without_file_name(std::string message, const std::string& file) {
    if (message.rfind(file + ": ", 0) == 0) message.erase(0, file.size() + 2);
    return message;
}

void add_file(const std::string& file, PageListing& out) {
    auto opened = scan::open_scan(file);
    if (auto* e = std::get_if<scan::LoadError>(&opened)) {
        out.problems.push_back(file + ": " + without_file_name(e->message, file));
        return;
    }
    const int pages = std::get<std::unique_ptr<scan::PageSource>>(opened)->page_count();
    if (pages < 1) {
        out.problems.push_back(file + ": the file holds no pages");
        return;
    }
    for (int p = 1; p <= pages; ++p) out.pages.push_back({file, p, pages});
}

// The page's thumbnail centred on white paper of the picture's size.
Surface page_in_frame(const cv::Mat& thumbnail) {
    cv::Mat frame(block::kHeight, block::kWidth, CV_8UC3, cv::Scalar(255, 255, 255));
    if (!thumbnail.empty()) {
        const double f = std::min(static_cast<double>(block::kWidth) / thumbnail.cols,
                                  static_cast<double>(block::kHeight) / thumbnail.rows);
        cv::Mat small;
        cv::resize(thumbnail, small, cv::Size(), f, f, cv::INTER_AREA);
        small = small(cv::Rect(0, 0, std::min(small.cols, block::kWidth), std::min(small.rows, block::kHeight)));
        if (small.channels() == 1) cv::cvtColor(small, small, cv::COLOR_GRAY2BGR);
        small.copyTo(frame(cv::Rect((block::kWidth - small.cols) / 2, (block::kHeight - small.rows) / 2,
                                    small.cols, small.rows)));
    }
    return scan::to_surface(frame);
}

char mark_of(scan::ColumnState state) {
    switch (state) {
        case scan::ColumnState::Blank: return '_';
        case scan::ColumnState::Multiple: return '*';
        default: return '?';
    }
}

// "column 3: faint or partial mark; column 8: two marks" -> the text after
// "column N: " for column N (1-based), or empty.
std::string reason_for(const std::string& reasons, int number) {
    const std::string head = "column " + std::to_string(number) + ": ";
    std::size_t at = 0;
    while ((at = reasons.find(head, at)) != std::string::npos) {
        if (at == 0 || reasons.compare(at - 2, 2, "; ") == 0) {
            const std::size_t from = at + head.size();
            const std::size_t end = reasons.find("; ", from);
            return reasons.substr(from, end == std::string::npos ? std::string::npos : end - from);
        }
        at += head.size();
    }
    return {};
}

}  // namespace

PageListing list_pages(const std::vector<std::string>& paths) {
    PageListing out;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<std::string> files;
            for (const fs::directory_entry& e : fs::directory_iterator(path, ec)) {
                std::error_code file_ec;
                if (e.is_regular_file(file_ec) && scan::has_scan_extension(e.path().string()))
                    files.push_back(e.path().string());
            }
            if (ec) {
                out.problems.push_back(path + ": the folder cannot be read (" + ec.message() + ")");
                continue;
            }
            std::sort(files.begin(), files.end());
            if (files.empty()) out.problems.push_back(path + ": the folder holds no scan files");
            for (const std::string& f : files) add_file(f, out);
        } else if (!fs::exists(path, ec)) {
            out.problems.push_back(path + ": no such file");
        } else {
            add_file(path, out);
        }
    }
    return out;
}

LoadedPage load_page(const PageRef& ref) {
    LoadedPage out;
    // `why` as the decoder words it: "cannot load: ..."
    auto unreadable = [&](const std::string& why) {
        out.status = "unreadable";
        out.why = why;
        out.fresh.emplace(page_in_frame({}));
        return out;
    };
    try {
        // Decoded as the headless reader decodes it (a 24-bit BMP exactly,
        // by the program's own decoder), so a page reads the same in both.
        const auto count = review::PageDecoder::page_count(ref.file);
        if (auto* why = std::get_if<std::string>(&count)) return unreadable(*why);
        if (ref.page > std::get<int>(count))
            return unreadable("cannot load: the file has no page " + std::to_string(ref.page));
        review::PageDecoder decoder;
        auto decoded = decoder.picture(ref.file, ref.page);
        if (auto* why = std::get_if<std::string>(&decoded)) return unreadable(*why);
        scan::PagePicture picture = std::move(std::get<scan::PagePicture>(decoded));
        scan::ReadOptions options;
        options.clicks = {};  // the window starts with nothing clicked
        options.thumbnail_long_side = block::kHeight;
        scan::PageResult result = scan::read_page(std::move(picture), options);

        out.status = result.status;
        out.why = result.why;
        out.reading = result.reading;
        if (!result.form) {
            out.fresh.emplace(page_in_frame(result.thumbnail ? *result.thumbnail : cv::Mat()));
            return out;
        }
        out.fresh = std::move(result.form);
        out.fresh->on_caption_changed = nullptr;
        if (!result.decision) return out;
        out.located = true;
        if (result.registration) out.lay = scan::how_it_lay(*result.registration);
        const bool lay_review = result.registration && scan::lay_needs_a_person(*result.registration);
        const scan::BlockDecision& decision = *result.decision;
        for (int c = 0; c < block::kColumns; ++c) {
            const scan::ColumnDecision& col = decision.columns[static_cast<std::size_t>(c)];
            if (col.state != scan::ColumnState::Digit)
                out.flags.push_back({c, mark_of(col.state), reason_for(decision.reasons, c + 1)});
        }
        if (!decision.all_digits) {
            out.status = "review";
            out.why = decision.reasons;
            return out;
        }
        if (lay_review) {
            out.status = "review";
            out.why = out.lay;
            return out;
        }
        // The page is ok when the four steps, clicked as the headless reader
        // clicks them, read what the columns say (a copy: the window starts
        // unclicked).
        Form1 steps = *out.fresh;
        for (const ButtonId id : {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId}) {
            if (click(steps, id).error) break;
        }
        if (steps.Student_ID.Text == result.reading) {
            out.status = "ok";
            out.why.clear();
        } else {
            out.status = "review";
            out.why = "the four steps read \"" + steps.Student_ID.Text + "\", the columns " + result.reading;
        }
    } catch (const std::bad_alloc&) {
        return unreadable("cannot load: not enough memory for the page");
    }
    return out;
}

}  // namespace idr
