#pragma once
// The results as a spreadsheet (.xlsx): one row per page, written as pages
// are read (the workbook streams its rows to a temporary file, so a batch of
// thousands of pages holds one row in memory). Every text cell is a string,
// never a formula: readings and IDs keep their leading zeros, and a file
// name or typed ID starting with = + - @ gets a leading apostrophe as in CSV.

#include <optional>
#include <string>

#include "review/page_outcome.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace idr::review {

class XlsxResults {
public:
    XlsxResults() = default;
    XlsxResults(const XlsxResults&) = delete;
    XlsxResults& operator=(const XlsxResults&) = delete;
    ~XlsxResults();  // a workbook never closed is written as it stands (libxlsxwriter cannot drop one)

    // Starts the workbook at `path` and writes the header row. Returns an
    // error message naming the file, or nothing.
    std::optional<std::string> open(const std::string& path);
    // One page, in reading order.
    void add(const PageOutcome& outcome);
    // Writes the file. Returns an error message naming the file, or nothing.
    std::optional<std::string> close();

private:
    std::string path_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* header_ = nullptr;
    lxw_format* review_ = nullptr;    // needs a look: review, not found
    lxw_format* failed_ = nullptr;    // unreadable or error
    unsigned row_ = 0;                // the last row written (0: the header)
    std::optional<std::string> error_;
};

}  // namespace idr::review
