#include "review/xlsx_results.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <xlsxwriter.h>

#include "review/cell_text.h"

namespace idr::review {

namespace {

struct Column {
    const char* title;
    double width;  // in characters
};

const Column kColumns[] = {
    {"file", 40}, {"page", 6}, {"status", 11}, {"reading", 13}, {"student_id", 13},
    {"why", 60}, {"threshold", 10}, {"error", 40},
};
constexpr lxw_col_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

}  // namespace

XlsxResults::~XlsxResults() {
    // libxlsxwriter has no way to drop a workbook without writing it; closing
    // writes what there is, which is the best left behind after a failure.
    if (workbook_) workbook_close(workbook_);
}

std::optional<std::string> XlsxResults::open(const std::string& path) {
    path_ = path;
    // The workbook is only written when it is closed: find out now, before
    // any page is read, whether the file can be written at all.
    errno = 0;
    if (std::FILE* probe = std::fopen(path.c_str(), "wb")) {
        std::fclose(probe);
    } else {
        return path + ": cannot write the spreadsheet: " + std::strerror(errno);
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go to a temporary file as they are written
    workbook_ = workbook_new_opt(path.c_str(), &options);
    if (!workbook_) return path + ": cannot write the spreadsheet: no room for its temporary file";
    sheet_ = workbook_add_worksheet(workbook_, "pages");
    header_ = workbook_add_format(workbook_);
    format_set_bold(header_);
    format_set_bottom(header_, LXW_BORDER_THIN);
    review_ = workbook_add_format(workbook_);
    format_set_pattern(review_, LXW_PATTERN_SOLID);
    format_set_bg_color(review_, 0xFFEB9C);  // light amber
    failed_ = workbook_add_format(workbook_);
    format_set_pattern(failed_, LXW_PATTERN_SOLID);
    format_set_bg_color(failed_, 0xFFC7CE);  // light red
    for (lxw_col_t c = 0; c < kColumnCount; ++c) {
        worksheet_set_column(sheet_, c, c, kColumns[c].width, nullptr);
        worksheet_write_string(sheet_, 0, c, kColumns[c].title, header_);
    }
    worksheet_freeze_panes(sheet_, 1, 0);
    return std::nullopt;
}

void XlsxResults::add(const PageOutcome& o) {
    if (!sheet_ || error_) return;
    if (row_ + 1 >= LXW_ROW_MAX) {
        error_ = path_ + ": more pages than a worksheet holds (" + std::to_string(LXW_ROW_MAX - 1) + ")";
        return;
    }
    const lxw_row_t row = ++row_;
    // The fill marks a row to look at; the status text says why, for
    // readers who do not see the colour.
    lxw_format* fill = o.status == "ok" ? nullptr
                       : o.status == "review" || o.status == "not-found" ? review_
                                                                          : failed_;
    // The reading is blank where there is none (not found, unreadable).
    const bool has_reading = o.status != "unreadable" && o.status != "not-found";
    const std::string texts[] = {o.file,
                                 {},
                                 o.status,
                                 has_reading ? o.reading : std::string(),
                                 o.student_id,
                                 o.status == "error" && o.why == o.error ? std::string() : o.why,
                                 o.threshold,
                                 o.error};
    for (lxw_col_t c = 0; c < kColumnCount; ++c) {
        lxw_error e = LXW_NO_ERROR;
        if (c == 1) {
            e = worksheet_write_number(sheet_, row, c, o.page, fill);
        } else if (texts[c].empty()) {
            e = fill ? worksheet_write_blank(sheet_, row, c, fill) : LXW_NO_ERROR;
        } else {
            e = worksheet_write_string(sheet_, row, c, spreadsheet_text(texts[c]).c_str(), fill);
        }
        if (e != LXW_NO_ERROR && !error_) error_ = path_ + ": row " + std::to_string(row + 1) + ": " + lxw_strerror(e);
    }
}

std::optional<std::string> XlsxResults::close() {
    if (!workbook_) return error_;
    if (row_ > 0) worksheet_autofilter(sheet_, 0, 0, row_, kColumnCount - 1);
    const lxw_error e = workbook_close(workbook_);
    workbook_ = nullptr;
    sheet_ = nullptr;
    if (e != LXW_NO_ERROR && !error_) error_ = path_ + ": cannot write the spreadsheet: " + lxw_strerror(e);
    return error_;
}

}  // namespace idr::review
