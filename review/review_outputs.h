#pragma once
// The review outputs of a batch, as id-reader-cli --xlsx, --overlay and
// --report and the window's "Write report..." ask for them: opened before
// any page is read (so a file that cannot be written costs no reading), one
// page at a time in reading order, closed at the end. The picture of a page
// is drawn and encoded by whoever read it (review_picture.h, the costly
// part); this only writes it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "review/html_report.h"
#include "review/page_outcome.h"
#include "review/xlsx_results.h"

namespace idr::review {

struct ReviewTargets {
    std::optional<std::string> xlsx;     // the results as a spreadsheet
    std::optional<std::string> overlay;  // a folder: one review picture per page
    std::optional<std::string> report;   // one HTML page for reviewing the batch
};

class ReviewOutputs {
public:
    // Refuses a spreadsheet or report that is one of `inputs` (the scans to
    // be read: `--xlsx a.png a.png`, a slip of the shell's completion, would
    // destroy the scan before it is read), then starts the spreadsheet,
    // creates the overlay folder and starts the report. Returns an error
    // message naming the file or folder, or nothing.
    std::optional<std::string> open(const ReviewTargets& targets, const std::vector<std::string>& inputs = {});
    // Whether pages need a review picture, and of which kind: PNG where the
    // overlay files are written (the report then embeds the same), else JPEG.
    bool wants_pictures() const { return overlay_dir_.has_value() || report_open_; }
    bool png_pictures() const { return overlay_dir_.has_value(); }
    // Page `seq` (1-based, in reading order); `picture` may be empty (none
    // could be made). Returns what could not be written.
    std::optional<std::string> add(int seq, const PageOutcome& o, const std::vector<std::uint8_t>& picture);
    // Writes the spreadsheet and the report. Returns what could not be
    // written, the spreadsheet first.
    std::vector<std::string> close();

private:
    XlsxResults xlsx_;
    bool xlsx_open_ = false;
    std::optional<std::string> overlay_dir_;
    HtmlReport report_;
    bool report_open_ = false;
};

}  // namespace idr::review
