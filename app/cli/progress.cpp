#include "app/cli/progress.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace idr::cli {

void Tally::add(const std::string& status) {
    ++pages;
    if (status == "ok") ++ok;
    else if (status == "review") ++review;
    else if (status == "not-found") ++not_found;
    else if (status == "unreadable") ++unreadable;
    else ++errors;
}

std::string duration_text(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "?";
    const long s = std::lround(seconds);
    char text[48];
    if (s < 60) std::snprintf(text, sizeof text, "%ld s", s);
    else if (s < 3600) std::snprintf(text, sizeof text, "%ld min %02ld s", s / 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld h %02ld min", s / 3600, s / 60 % 60);
    return text;
}

std::string progress_text(const Tally& tally, std::size_t total, double seconds) {
    std::string text = std::to_string(tally.pages) + "/" + std::to_string(total) + " pages";
    // A rate from the first page or two is noise; say nothing until there is one.
    if (tally.pages >= 2 && seconds > 0.2) {
        const double rate = static_cast<double>(tally.pages) / seconds;
        char figure[32];
        std::snprintf(figure, sizeof figure, "%.1f", rate);
        text += std::string(", ") + figure + " pages/s";
        if (total > tally.pages) text += ", " + duration_text(static_cast<double>(total - tally.pages) / rate) + " left";
    }
    text += ", " + std::to_string(tally.to_review()) + " to review";
    return text;
}

std::string summary_text(const Tally& tally, double seconds) {
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    return std::to_string(tally.pages) + (tally.pages == 1 ? " page" : " pages") + " in " + time + ": " +
           std::to_string(tally.ok) + " ok, " + std::to_string(tally.review) + " review, " +
           std::to_string(tally.not_found) + " not found, " + std::to_string(tally.unreadable) + " unreadable, " +
           std::to_string(tally.errors) + (tally.errors == 1 ? " error" : " errors");
}

ProgressLine::ProgressLine(std::ostream& err, bool active) : err_(err), active_(active) {}

double ProgressLine::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressLine::update(const Tally& tally, std::size_t total, bool force) {
    if (!active_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && shown_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    // \033[K erases what a longer earlier line left behind.
    err_ << "\rid-reader-cli: " << progress_text(tally, total, seconds()) << "\033[K" << std::flush;
    shown_ = true;
}

void ProgressLine::clear() {
    if (!active_ || !shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
}

}  // namespace idr::cli
