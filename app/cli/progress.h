#pragma once
// What a batch tells the operator on stderr while it runs and when it ends:
// a progress line rewritten in place (on a terminal only) and a closing
// summary of the statuses.

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

namespace idr::cli {

// Pages by status, as they are written.
struct Tally {
    std::size_t pages = 0, ok = 0, review = 0, not_found = 0, unreadable = 0, errors = 0;
    void add(const std::string& status);
    // Every page that is not "ok" needs someone to look at it.
    std::size_t to_review() const { return pages - ok; }
};

// "2 min 05 s", "45 s", "1 h 03 min": a duration in words for the progress line.
std::string duration_text(double seconds);

// "120/2000 pages, 14.2 pages/s, 2 min 14 s left, 7 to review". `total` may
// still grow (files whose pages are not counted yet); `seconds` is the time
// since the batch started.
std::string progress_text(const Tally& tally, std::size_t total, double seconds);

// "30 pages in 4.2 s: 20 ok, 8 review, 1 not found, 1 unreadable, 0 errors".
std::string summary_text(const Tally& tally, double seconds);

// The line on stderr, drawn with \r and erased before anything else is
// written there or to a terminal's stdout. Inactive: does nothing.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool active);
    // Redraws at most ten times a second, and always when `force`.
    void update(const Tally& tally, std::size_t total, bool force = false);
    void clear();
    double seconds() const;

private:
    std::ostream& err_;
    bool active_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace idr::cli
