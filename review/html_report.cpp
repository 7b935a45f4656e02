#include "review/html_report.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace idr::review {

namespace {

// Statuses in the order the summary lists them; any other status follows.
const char* const kStatusOrder[] = {"review", "not-found", "unreadable", "error", "ok"};

std::string errno_reason() { return errno != 0 ? std::string(": ") + std::strerror(errno) : std::string(); }

// Status names become CSS class names: letters, digits and '-' only.
std::string css_token(const std::string& status) {
    std::string out;
    for (char ch : status) {
        bool ok = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-';
        out += ok ? ch : '_';
    }
    return out.empty() ? "none" : out;
}

// The reasons, one a list item: the decisions join them with "; ".
std::vector<std::string> reasons_of(const PageOutcome& o) {
    std::vector<std::string> out;
    auto split = [&](const std::string& text) {
        std::size_t i = 0;
        while (i < text.size()) {
            std::size_t end = text.find("; ", i);
            if (end == std::string::npos) end = text.size();
            if (end > i) out.push_back(text.substr(i, end - i));
            i = end + 2;
        }
    };
    split(o.why);
    if (!o.error.empty() && o.error != o.why) out.push_back(o.error);
    return out;
}

// Styles only: the report runs no script. The enlarged picture is the card's
// own image shown fixed over a dimmed page while the card is the URL's
// target; a click anywhere on it follows the backdrop link and closes it.
// The status filter in the header uses :has(); a browser without it simply
// shows every card.
const char* const kStyle = R"css(
:root{--ok:#007a5a;--review:#b35c00;--bad:#c0392b;--ink:#1d2127;--muted:#5d6670;--line:#d9dde2;--bg:#f4f5f7}
*{box-sizing:border-box}
body{margin:0;font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans",sans-serif;color:var(--ink);background:var(--bg)}
header{position:sticky;top:0;z-index:5;background:#fff;border-bottom:1px solid var(--line);padding:10px 20px;display:flex;flex-wrap:wrap;gap:8px 20px;align-items:center}
header h1{font-size:18px;margin:0 12px 0 0}
.filters{display:flex;flex-wrap:wrap;gap:6px}
.filters input{position:absolute;opacity:0;pointer-events:none}
.filters label{cursor:pointer;border:1px solid var(--line);border-radius:999px;padding:3px 12px;background:#fff;white-space:nowrap}
.filters label b{font-variant-numeric:tabular-nums;margin-left:4px}
.filters input:checked+label{background:var(--ink);border-color:var(--ink);color:#fff}
.filters input:focus-visible+label{outline:2px solid #0a66c2;outline-offset:2px}
main{padding:8px 20px 40px}
h2{font-size:16px;margin:22px 0 10px;color:var(--muted);font-weight:600}
.grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(260px,1fr));gap:14px}
.card{background:#fff;border:1px solid var(--line);border-left:5px solid var(--muted);border-radius:8px;padding:10px;scroll-margin-top:80px;min-width:0}
.card.st-ok{border-left-color:var(--ok)}
.card.st-review{border-left-color:var(--review)}
.card.st-not-found,.card.st-unreadable,.card.st-error{border-left-color:var(--bad)}
.thumb{display:block;background:#fafafa;border-radius:4px;overflow:hidden;cursor:zoom-in}
.thumb img{display:block;width:100%;height:auto}
.nopic{display:flex;align-items:center;justify-content:center;height:120px;color:var(--muted);background:#fafafa;border-radius:4px}
.row{display:flex;justify-content:space-between;align-items:baseline;gap:8px;margin-top:8px}
.reading{font:600 20px/1.2 ui-monospace,"DejaVu Sans Mono",Menlo,Consolas,monospace;letter-spacing:.08em;overflow-wrap:anywhere}
.status{font-weight:700;font-size:13px;text-transform:uppercase;letter-spacing:.04em;padding:1px 8px;border-radius:4px;color:#fff;background:var(--muted);white-space:nowrap}
.st-ok .status{background:var(--ok)}
.st-review .status{background:var(--review)}
.st-not-found .status,.st-unreadable .status,.st-error .status{background:var(--bad)}
.file{color:var(--muted);font-size:13px;overflow-wrap:anywhere;margin-top:2px}
.why{margin:6px 0 0;padding-left:18px;font-size:14px}
.idbox{font-size:13px;color:var(--muted);margin-top:4px}
.close{display:none}
.card:target .close{display:block;position:fixed;inset:0;z-index:20;background:rgba(20,22,26,.82);color:#fff;text-align:right;padding:8px 16px;text-decoration:none;font-size:14px}
.card:target .thumb img{position:fixed;z-index:21;top:50%;left:50%;translate:-50% -50%;width:auto;height:auto;max-width:96vw;max-height:92vh;pointer-events:none;background:#fff;box-shadow:0 8px 40px rgba(0,0,0,.5)}
.empty{color:var(--muted)}
)css";

}  // namespace

std::string html_escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\0': out += "&#xFFFD;"; break;
        default: out += ch;
        }
    }
    return out;
}

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // Two characters for each 12 bits: a report holds hundreds of pictures of
    // a few hundred kilobytes each.
    static const std::array<std::array<char, 2>, 4096> kPairs = [] {
        std::array<std::array<char, 2>, 4096> t{};
        for (std::size_t v = 0; v < t.size(); ++v) t[v] = {kAlphabet[v >> 6], kAlphabet[v & 63]};
        return t;
    }();
    std::string out((bytes.size() + 2) / 3 * 4, '=');
    char* o = out.data();
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3, o += 4) {
        const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        std::memcpy(o, kPairs[v >> 12].data(), 2);
        std::memcpy(o + 2, kPairs[v & 4095].data(), 2);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = bytes[i] << 16;
        if (rest == 2) v |= bytes[i + 1] << 8;
        o[0] = kAlphabet[(v >> 18) & 63];
        o[1] = kAlphabet[(v >> 12) & 63];
        if (rest == 2) o[2] = kAlphabet[(v >> 6) & 63];  // else '=', as the last
    }
    return out;
}

bool HtmlReport::needs_review(const PageOutcome& outcome) { return outcome.status != "ok"; }

HtmlReport::~HtmlReport() {
    // Never closed: what was written is not a report of the whole batch.
    if (open_) discard();
}

void HtmlReport::discard() {
    out_.close();
    review_.close();
    rest_.close();
    std::remove(review_path_.c_str());
    std::remove(rest_path_.c_str());
    std::remove(path_.c_str());  // an incomplete report would look like a whole one
}

std::optional<std::string> HtmlReport::open(const std::string& path) {
    if (open_) return "a report is already open: " + path_;
    path_ = path;
    review_path_ = path + ".review.part";
    rest_path_ = path + ".rest.part";
    counts_.clear();
    pages_ = 0;
    error_.reset();
    auto open_one = [](std::ofstream& f, const std::string& p) -> std::optional<std::string> {
        errno = 0;
        f.open(p, std::ios::binary | std::ios::trunc);
        if (!f) return "cannot write " + p + errno_reason();
        return std::nullopt;
    };
    // The report itself first, so that a folder that cannot be written is
    // named by the file the user asked for.
    if (auto e = open_one(out_, path_)) return e;
    for (auto [stream, p] : {std::pair{&review_, &review_path_}, std::pair{&rest_, &rest_path_}}) {
        if (auto e = open_one(*stream, *p)) {
            discard();
            return e;
        }
    }
    open_ = true;
    return std::nullopt;
}

void HtmlReport::add(const PageOutcome& o, const std::vector<std::uint8_t>& overlay_png) {
    if (!open_) return;
    ++pages_;
    ++counts_[o.status];
    const bool review = needs_review(o);
    std::ofstream& f = review ? review_ : rest_;
    const std::string id = "p" + std::to_string(pages_);
    const std::string file = html_escape(o.file);
    const std::string where = file + " &middot; page " + std::to_string(o.page);

    f << "<article class=\"card st-" << css_token(o.status) << "\" id=\"" << id << "\">";
    if (!overlay_png.empty()) {
        f << "<a class=\"thumb\" href=\"#" << id << "\" title=\"Enlarge\"><img loading=\"lazy\" alt=\"Review picture of page "
          << o.page << "\" src=\"data:"
          << (overlay_png.size() > 2 && overlay_png[0] == 0xFF && overlay_png[1] == 0xD8 ? "image/jpeg" : "image/png")
          << ";base64,";
        f << base64(overlay_png);
        f << "\"></a><a class=\"close\" href=\"#" << id << "-closed\">Close &times;</a>";
    } else {
        f << "<div class=\"nopic\">no picture</div>";
    }
    f << "<div class=\"row\"><span class=\"reading\">" << (o.reading.empty() ? "&mdash;" : html_escape(o.reading))
      << "</span><span class=\"status\">" << html_escape(o.status) << "</span></div>";
    f << "<div class=\"file\">" << where << "</div>";
    auto reasons = reasons_of(o);
    if (!reasons.empty()) {
        f << "<ul class=\"why\">";
        for (const auto& r : reasons) f << "<li>" << html_escape(r) << "</li>";
        f << "</ul>";
    }
    if (!o.student_id.empty() && o.student_id != o.reading)
        f << "<div class=\"idbox\">ID box after the four steps: " << html_escape(o.student_id) << "</div>";
    f << "</article>\n";
    if (!f && !error_) error_ = "cannot write " + (review ? review_path_ : rest_path_) + errno_reason();
}

std::optional<std::string> HtmlReport::close() {
    if (!open_) return error_;
    open_ = false;
    if (error_) {
        discard();
        return error_;
    }
    errno = 0;
    review_.close();
    rest_.close();
    if (!review_ || !rest_) {
        error_ = "cannot write " + (!review_ ? review_path_ : rest_path_) + errno_reason();
        discard();
        return error_;
    }

    int to_review = 0;
    for (const auto& [status, n] : counts_)
        if (status != "ok") to_review += n;
    std::vector<std::pair<std::string, int>> ordered;
    for (const char* s : kStatusOrder) {
        auto it = counts_.find(s);
        if (it != counts_.end()) ordered.emplace_back(it->first, it->second);
    }
    for (const auto& [status, n] : counts_) {
        bool listed = false;
        for (const char* s : kStatusOrder) listed = listed || status == s;
        if (!listed) ordered.emplace_back(status, n);
    }

    out_ << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; "
            "style-src 'unsafe-inline'\">"
         << "<title>ID review: " << to_review << " of " << pages_ << " pages to review</title><style>" << kStyle;
    // Filtering by status: each radio button shows its cards only.
    for (const auto& [status, n] : ordered) {
        std::string t = css_token(status);
        out_ << "body:has(#f-" << t << ":checked) .card:not(.st-" << t << "){display:none}\n";
    }
    out_ << "</style></head><body>\n<header><h1>ID review</h1><div class=\"filters\" role=\"radiogroup\" "
            "aria-label=\"Show pages\">"
         << "<input type=\"radio\" name=\"f\" id=\"f-all\" checked><label for=\"f-all\">all<b>" << pages_
         << "</b></label>";
    for (const auto& [status, n] : ordered) {
        std::string t = css_token(status);
        out_ << "<input type=\"radio\" name=\"f\" id=\"f-" << t << "\"><label for=\"f-" << t << "\" class=\"st-" << t
             << "\">" << html_escape(status) << "<b>" << n << "</b></label>";
    }
    out_ << "</div></header>\n<main>\n";
    out_ << "<h2 id=\"to-review\">To review: " << to_review << "</h2>\n<div class=\"grid\">\n";
    auto copy = [&](const std::string& p) -> bool {
        errno = 0;
        std::ifstream in(p, std::ios::binary);
        if (!in) return false;
        char buf[1 << 16];
        while (in.read(buf, sizeof buf) || in.gcount() > 0) {
            out_.write(buf, in.gcount());
            if (!out_) return false;
        }
        return !in.bad();
    };
    if (to_review == 0) out_ << "<p class=\"empty\">No page needs review.</p>\n";
    if (!copy(review_path_)) {
        error_ = (out_ ? "cannot read " + review_path_ : "cannot write " + path_) + errno_reason();
        discard();
        return error_;
    }
    out_ << "</div>\n<h2 id=\"read\">Read: " << (pages_ - to_review) << "</h2>\n<div class=\"grid\">\n";
    if (!copy(rest_path_)) {
        error_ = (out_ ? "cannot read " + rest_path_ : "cannot write " + path_) + errno_reason();
        discard();
        return error_;
    }
    out_ << "</div>\n</main></body></html>\n";
    errno = 0;
    out_.close();
    std::remove(review_path_.c_str());
    std::remove(rest_path_.c_str());
    if (!out_) {
        error_ = "cannot write " + path_ + errno_reason();
        std::remove(path_.c_str());
        return error_;
    }
    return std::nullopt;
}

}  // namespace idr::review
