#pragma once
// One page of a scan file read as `id-reader-cli --report` reads it (the
// boxes on "auto", the four steps clicked, the page kept small beside the
// block), with its review picture: what the window's "Write report..."
// gives the report for every page it has open, so that its report is the
// command line's.

#include <cstdint>
#include <string>
#include <vector>

#include "review/page_decoder.h"
#include "review/page_outcome.h"
#include "scan/read_page.h"

namespace idr::review {

struct ReviewedPage {
    PageOutcome outcome;
    std::vector<std::uint8_t> picture;  // PNG or JPEG; empty when it could not be encoded
};

// The command line's reading with its default options, for the review
// outputs: the small page is kept for the picture.
scan::ReadOptions review_read_options();

// Page `page` of `file`, read with review_read_options(); a page that cannot
// be loaded is "unreadable" with the reason, and still has a picture that
// says so. A run-time error of a click is worded "<control>: <error>".
ReviewedPage read_for_review(PageDecoder& decoder, const std::string& file, int page, bool png);

}  // namespace idr::review
