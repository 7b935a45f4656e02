#pragma once
// The review outputs of a batch, --overlay DIR and --report FILE.html: the
// picture of a page is drawn and encoded by the worker that read it (the
// costly part), then written to the folder and the report by the writer, in
// reading order.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/options.h"
#include "app/cli/output.h"
#include "app/cli/report.h"
#include "scan/read_page.h"

namespace idr::cli {

// The longer side of the page's small picture beside the block, in pixels.
inline constexpr int kReviewThumbnailSide = 320;

// The review picture of a page as PNG bytes (empty when it cannot be encoded).
// PNG when `png` (the --overlay files are PNG), else JPEG: a report alone embeds
// a picture a fifth of the size, made in a fraction of the time.
std::vector<std::uint8_t> review_picture(const PageOutcome& o, const scan::PageResult& result, bool png = true);
// The same for a page that could not be loaded: its status and why, no picture.
std::vector<std::uint8_t> review_picture(const PageOutcome& o, bool png = true);

class ReviewOutputs {
public:
    // Creates the overlay folder and starts the report, as the options ask.
    // Returns an error message naming the folder or file, or nothing.
    std::optional<std::string> open(const Options& options);
    bool wanted() const { return overlay_dir_.has_value() || report_open_; }
    // Page `seq` (1-based, in reading order). Returns what could not be written.
    std::optional<std::string> add(int seq, const PageOutcome& o, const std::vector<std::uint8_t>& png);
    std::optional<std::string> close();

private:
    std::optional<std::string> overlay_dir_;
    HtmlReport report_;
    bool report_open_ = false;
};

}  // namespace idr::cli
