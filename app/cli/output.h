#pragma once
// The three ways id-reader-cli writes its results: text lines, CSV and JSON
// Lines. One PageOutcome per page, written as soon as the page is read.

#include <iosfwd>
#include <optional>
#include <string>

#include "form/form1.h"
#include "scan/read_page.h"

namespace idr::cli {

struct PageOutcome {
    std::string file;  // as given
    int page = 1;
    std::string status;  // ok, review, not-found, unreadable, error
    std::string why;     // why a page needs review, was not found or failed
    std::string reading;
    std::string student_id;
    std::string caption;
    std::string threshold;
    std::string black_samples;
    std::optional<scan::BlockDecision> decision;
    std::optional<scan::Registration> registration;
    cv::Size image_size;
    std::string error;  // the run-time error or load failure, empty when none
    double ms = 0;
};

PageOutcome outcome_of(const std::string& file, int page, const scan::PageResult& result);

enum class OutputFormat { Text, Csv, Json };

class ResultWriter {
public:
    ResultWriter(std::ostream& out, OutputFormat format, bool several_files, bool cells);
    void begin();                     // the CSV header
    void set_multi_page(bool multi);  // the current file holds several pages
    // Before a page is read, so that its progress lines (--verbose) follow
    // its heading.
    void page_header(const std::string& file, int page);
    void write(const PageOutcome& outcome, const Form1* form = nullptr);
    void end();

private:
    std::ostream& out_;
    OutputFormat format_;
    bool several_files_;
    bool cells_;
    bool multi_page_ = false;
    bool header_written_ = false;
};

// A 10 x 10 table of each cell's black samples, marked cells flagged.
void write_cells_table(const Form1& form, std::ostream& out);

// A field that a spreadsheet program would take for a formula (it starts
// with =, +, -, @, a tab or a carriage return) gets a leading apostrophe, as
// spreadsheet programs expect, so opening the file runs nothing.
std::string spreadsheet_safe(const std::string& text);

}  // namespace idr::cli
