#pragma once
// The three ways id-reader-cli writes its results: text lines, CSV and JSON
// Lines. One PageOutcome per page, written as soon as the page is read.

#include <iosfwd>
#include <optional>
#include <string>

#include "form/form1.h"
#include "review/page_outcome.h"

namespace idr::cli {

// The page's outcome is the review layer's, which every output shares.
using review::PageOutcome;
using review::outcome_of;

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

}  // namespace idr::cli
