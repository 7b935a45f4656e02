#pragma once
// What the outputs say of one page: the result of reading it (scan::PageResult)
// without the pictures and the window model, or why it could not be read.
// Made by the thread that read the page, then handed to every output (the
// text, CSV and JSON lines, the spreadsheet, the overlay, the report).

#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "scan/read_page.h"

namespace idr::review {

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

// The outcome of a page that was read. A run-time error of the clicks is
// left for the caller to word (result.error, result.failed_button); an
// "error" without one (the time limit) has its reason as the error.
PageOutcome outcome_of(const std::string& file, int page, const scan::PageResult& result);

// A page that could not be loaded: status "unreadable", `message` the error.
PageOutcome unreadable_page(const std::string& file, int page, const std::string& message);

}  // namespace idr::review
