#pragma once
// One self-contained HTML page for reviewing a batch: every page with its
// overlay picture, status, reading and reasons; the pages to review first.
// Nothing is fetched over a network: styles are inline and the pictures are
// data: URIs. Pages are written out as they arrive (into two temporary files
// beside the report, one for pages to review and one for the rest) so a batch
// of thousands of pages never holds more than one picture in memory; close()
// joins them into the report and removes the temporaries.

#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "review/page_outcome.h"

namespace idr::review {

class HtmlReport {
public:
    HtmlReport() = default;
    HtmlReport(const HtmlReport&) = delete;
    HtmlReport& operator=(const HtmlReport&) = delete;
    ~HtmlReport();  // removes the temporaries of a report never closed

    // Starts a report at `path`. Returns an error message naming the file
    // that could not be written, or nothing.
    std::optional<std::string> open(const std::string& path);

    // One page, in any order; `overlay_png` may be empty (no picture).
    // A write failure is kept and reported by close().
    void add(const PageOutcome& outcome, const std::vector<std::uint8_t>& overlay_png);

    // Writes the report (summary, pages to review, then the rest) and removes
    // the temporaries. Returns an error message naming the file, or nothing.
    std::optional<std::string> close();

    // A page needs review unless its status is "ok".
    static bool needs_review(const PageOutcome& outcome);

private:
    // Closes the three files and removes them all.
    void discard();

    std::string path_;
    std::string review_path_, rest_path_;
    std::ofstream out_, review_, rest_;
    std::map<std::string, int> counts_;  // pages by status
    int pages_ = 0;
    std::optional<std::string> error_;
    bool open_ = false;
};

// Text made safe to place in HTML text and in quoted attribute values.
std::string html_escape(const std::string& text);

// Base64 with the standard alphabet and = padding.
std::string base64(const std::vector<std::uint8_t>& bytes);

}  // namespace idr::review
