#include "review/overlay.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "review/review_picture.h"
#include "scan/decide.h"

namespace idr::review {

namespace fs = std::filesystem;

namespace {

// Layout of the overlay, in its own pixels.
constexpr int kPad = 16;
constexpr int kBlockW = block::kWidth * kOverlayBlockScale;
constexpr int kBlockH = block::kHeight * kOverlayBlockScale;
constexpr int kSideW = 300;        // the right-hand column: title, page, legend
constexpr int kThumbMaxH = 400;    // the page picture fits in kSideW x kThumbMaxH
constexpr int kColumnStripH = 70;  // under the block: each column's character
constexpr int kWidth = kPad + kBlockW + kPad + kSideW + kPad;
constexpr int kTextW = kWidth - 2 * kPad;

const cv::Scalar kWhite(255, 255, 255);
const cv::Scalar kInk(40, 40, 40);
const cv::Scalar kMuted(110, 110, 110);
const cv::Scalar kOutline(180, 0, 230);  // the located block on the page: magenta

constexpr int kFont = cv::FONT_HERSHEY_SIMPLEX;
constexpr int kFontBold = cv::FONT_HERSHEY_DUPLEX;

// Hershey fonts have ASCII glyphs only: other bytes (UTF-8 file names) are
// drawn as '?' rather than as unrelated glyphs.
std::string drawable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto ch = static_cast<unsigned char>(text[i]);
        if (ch >= 0x20 && ch < 0x7f) {
            out += static_cast<char>(ch);
        } else if (ch >= 0xc0) {
            out += '?';  // the first byte of a UTF-8 sequence; its continuation bytes are dropped
        } else if (ch < 0x80) {
            out += ' ';
        }
    }
    return out;
}

int text_width(const std::string& text, int font, double scale, int thickness) {
    int baseline = 0;
    return cv::getTextSize(text, font, scale, thickness, &baseline).width;
}

// Words of `text` in lines no wider than `width`; a word wider than a line
// is cut.
std::vector<std::string> wrap(const std::string& text, int font, double scale, int thickness, int width) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find(' ', i);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(i, end - i);
        i = end + 1;
        if (word.empty()) continue;
        std::string candidate = line.empty() ? word : line + " " + word;
        if (text_width(candidate, font, scale, thickness) <= width) {
            line = candidate;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line = word;
        while (line.size() > 1 && text_width(line, font, scale, thickness) > width) {
            // The longest prefix that fits (at least one character).
            std::size_t lo = 1, hi = line.size() - 1;
            while (lo < hi) {
                std::size_t mid = (lo + hi + 1) / 2;
                if (text_width(line.substr(0, mid), font, scale, thickness) <= width) {
                    lo = mid;
                } else {
                    hi = mid - 1;
                }
            }
            const std::size_t fit = lo;
            lines.push_back(line.substr(0, fit));
            line = line.substr(fit);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

cv::Point2d cell_centre(int c, int r) {
    return {block::bubble_centre_x(c) * kOverlayBlockScale, block::bubble_centre_y(r) * kOverlayBlockScale};
}

cv::Point to_px(cv::Point2d p) { return {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))}; }

void dotted_ring(cv::Mat& img, cv::Point2d centre, double radius, const cv::Scalar& colour) {
    constexpr int kDots = 16;
    for (int k = 0; k < kDots; ++k) {
        double a = 2 * M_PI * k / kDots;
        cv::circle(img, to_px(centre + cv::Point2d(std::cos(a), std::sin(a)) * radius), 3, colour, cv::FILLED,
                   cv::LINE_AA);
    }
}

void dashed_line(cv::Mat& img, cv::Point a, cv::Point b, const cv::Scalar& colour) {
    constexpr double kDash = 10, kGap = 7;
    double len = std::hypot(b.x - a.x, b.y - a.y);
    if (len <= 0) return;
    cv::Point2d dir((b.x - a.x) / len, (b.y - a.y) / len);
    for (double s = 0; s < len; s += kDash + kGap) {
        double e = std::min(len, s + kDash);
        cv::line(img, to_px(cv::Point2d(a) + dir * s), to_px(cv::Point2d(a) + dir * e), colour, 3, cv::LINE_AA);
    }
}

void dashed_rect(cv::Mat& img, cv::Rect r, const cv::Scalar& colour) {
    cv::Point tl = r.tl(), tr(r.x + r.width, r.y), br = r.br(), bl(r.x, r.y + r.height);
    dashed_line(img, tl, tr, colour);
    dashed_line(img, tr, br, colour);
    dashed_line(img, br, bl, colour);
    dashed_line(img, bl, tl, colour);
}

void check_mark(cv::Mat& img, cv::Point2d at, double size, const cv::Scalar& colour) {
    std::vector<cv::Point> pts = {to_px(at + cv::Point2d(-0.5, 0) * size), to_px(at + cv::Point2d(-0.15, 0.4) * size),
                                  to_px(at + cv::Point2d(0.55, -0.45) * size)};
    cv::polylines(img, pts, false, colour, 3, cv::LINE_AA);
}

// The marking of one state, drawn around `centre` (a ring's centre) at the
// overlay's scale. Blank columns are outlined as a whole instead.
void state_ring(cv::Mat& img, scan::ColumnState state, cv::Point2d centre, const cv::Scalar& colour) {
    constexpr double kR = (block::kRingOuterRadius + 2) * kOverlayBlockScale;
    switch (state) {
    case scan::ColumnState::Digit: cv::circle(img, to_px(centre), kR, colour, 4, cv::LINE_AA); break;
    case scan::ColumnState::Multiple:
        cv::circle(img, to_px(centre), kR - 1, colour, 2, cv::LINE_AA);
        cv::circle(img, to_px(centre), kR - 6, colour, 2, cv::LINE_AA);
        break;
    case scan::ColumnState::Unsure: dotted_ring(img, centre, kR, colour); break;
    case scan::ColumnState::Blank: break;
    }
}

// The rectangle (overlay pixels, relative to the block) around column c's
// rings.
cv::Rect column_box(int c) {
    int s = kOverlayBlockScale;
    int x = (block::kBubbleLeft + block::kPitch * c - 2) * s;
    int y = (block::kBubbleTop - 2) * s;
    int w = (block::kBubbleSize + 4) * s;
    int h = (block::kPitch * (block::kRows - 1) + block::kBubbleSize + 4) * s;
    return {x, y, w, h};
}

void draw_decisions(cv::Mat& block_img, const scan::BlockDecision& d) {
    for (int c = 0; c < block::kColumns; ++c) {
        const auto& col = d.columns[static_cast<std::size_t>(c)];
        cv::Scalar colour = state_colour(col.state);
        switch (col.state) {
        case scan::ColumnState::Digit:
            if (col.digit >= 0 && col.digit < block::kRows) state_ring(block_img, col.state, cell_centre(c, col.digit), colour);
            break;
        case scan::ColumnState::Blank: dashed_rect(block_img, column_box(c), colour); break;
        case scan::ColumnState::Multiple:
        case scan::ColumnState::Unsure: {
            bool any = false;
            for (int r = 0; r < block::kRows; ++r) {
                auto i = static_cast<std::size_t>(r);
                // The decisions' own reading of each ring.
                const scan::RingClass ring = scan::classify_ring(col.darkness[i], col.coverage[i]);
                bool filled = ring == scan::RingClass::Filled;
                bool marked = ring != scan::RingClass::Empty;
                // Several marks: the filled rings. Unsure: every ring with
                // anything in it, the faint ones being why.
                bool mark = col.state == scan::ColumnState::Multiple ? filled : marked;
                if (!mark) continue;
                state_ring(block_img, col.state, cell_centre(c, r), colour);
                any = true;
            }
            if (!any) dashed_rect(block_img, column_box(c), colour);
            break;
        }
        }
    }
}

// Under each column: its character of the reading in the state's colour, and
// a check mark under a clear digit.
void draw_column_strip(cv::Mat& img, cv::Point origin, const scan::BlockDecision& d) {
    for (int c = 0; c < block::kColumns; ++c) {
        const auto& col = d.columns[static_cast<std::size_t>(c)];
        std::string ch(1, static_cast<std::size_t>(c) < d.reading.size() ? d.reading[static_cast<std::size_t>(c)] : '?');
        cv::Scalar colour = state_colour(col.state);
        double cx = origin.x + block::bubble_centre_x(c) * kOverlayBlockScale;
        int w = text_width(ch, kFontBold, 1.3, 2);
        cv::putText(img, ch, {static_cast<int>(cx - w / 2.0), origin.y + 34}, kFontBold, 1.3, colour, 2, cv::LINE_AA);
        if (col.state == scan::ColumnState::Digit) check_mark(img, {cx, origin.y + 54.0}, 20, colour);
    }
}

// One legend entry: the state's marking drawn as a sample, then its words.
void legend_entry(cv::Mat& img, cv::Point at, scan::ColumnState state, const std::string& words) {
    cv::Scalar colour = state_colour(state);
    cv::Point2d centre(at.x + 22, at.y + 22);
    if (state == scan::ColumnState::Blank) {
        dashed_rect(img, {at.x + 6, at.y + 2, 32, 40}, colour);
    } else {
        state_ring(img, state, centre, colour);
    }
    cv::putText(img, words, {at.x + 54, at.y + 29}, kFont, 0.5, kInk, 1, cv::LINE_AA);
}

constexpr int kEntryH = 56;  // a legend entry's height

// The legend's four entries, the first's top left at `at`.
void draw_legend(cv::Mat& img, cv::Point at) {
    legend_entry(img, at, scan::ColumnState::Digit, "digit: solid ring, tick");
    legend_entry(img, at + cv::Point(0, kEntryH), scan::ColumnState::Blank, "blank: dashed column, _");
    legend_entry(img, at + cv::Point(0, 2 * kEntryH), scan::ColumnState::Multiple, "several marks: double ring, *");
    legend_entry(img, at + cv::Point(0, 3 * kEntryH), scan::ColumnState::Unsure, "unsure: dotted ring, ?");
}

// The legend is the same on every picture: drawn once on white, with room
// round it (a ring reaches a few pixels left of and above its entry), and
// laid on each picture by the darker of the two. Where the legend has no
// ink the picture shows through; where it has, nothing else is drawn, so
// each pixel is what drawing it in place gives.
constexpr int kLegendLeft = 16, kLegendTop = 8;
constexpr int kLegendW = kLegendLeft + kSideW + kPad, kLegendH = kLegendTop + 4 * kEntryH + 8;

void lay_legend(cv::Mat& img, cv::Point at) {
    static const cv::Mat tile = [] {
        cv::Mat t(kLegendH, kLegendW, CV_8UC3, kWhite);
        draw_legend(t, {kLegendLeft, kLegendTop});
        return t;
    }();
    const cv::Rect where(at.x - kLegendLeft, at.y - kLegendTop, kLegendW, kLegendH);
    const cv::Rect inside = where & cv::Rect(0, 0, img.cols, img.rows);
    if (inside.empty()) return;
    cv::Mat under = img(inside);
    cv::min(under, tile(cv::Rect(inside.x - where.x, inside.y - where.y, inside.width, inside.height)), under);
}

// The picture in grey, one channel, 8 bits (the picture itself when it is
// one already). The page's own colours are dropped on purpose: the
// decisions' colours then stand out, and grey pictures take a third of the
// PNG bytes (a report carries hundreds).
cv::Mat grey_of(const cv::Mat& in) {
    if (in.empty()) return {};
    cv::Mat eight;
    if (in.depth() != CV_8U) {
        in.convertTo(eight, CV_8U);
    } else {
        eight = in;
    }
    cv::Mat grey;
    if (eight.channels() == 1) {
        grey = eight;
    } else if (eight.channels() == 4) {
        cv::cvtColor(eight, grey, cv::COLOR_BGRA2GRAY);
    } else {
        cv::cvtColor(eight, grey, cv::COLOR_BGR2GRAY);
    }
    return grey;
}

// The picture in grey as BGR, with `levels` shades.
cv::Mat grey_bgr(const cv::Mat& in, int levels = 256) {
    cv::Mat out;
    cv::Mat grey = grey_of(in);
    if (grey.empty()) return out;
    if (levels < 256) {
        const int step = 256 / levels;
        cv::Mat lut(1, 256, CV_8U);
        for (int v = 0; v < 256; ++v) lut.at<std::uint8_t>(v) = static_cast<std::uint8_t>(v / step * step + step / 2);
        cv::Mat shades;  // not in place: `grey` may be the caller's picture
        cv::LUT(grey, lut, shades);
        grey = shades;
    }
    cv::cvtColor(grey, out, cv::COLOR_GRAY2BGR);
    return out;
}

// The factor that fits the thumbnail into the side column.
double thumbnail_fit(const cv::Mat& thumbnail) {
    if (thumbnail.empty()) return 0;
    return std::min(static_cast<double>(kSideW) / thumbnail.cols, static_cast<double>(kThumbMaxH) / thumbnail.rows);
}

struct TextBlock {
    std::vector<std::string> reasons;
    std::string status_line;
    std::string id_line;
};

TextBlock text_of(const PageOutcome& o) {
    TextBlock t;
    t.status_line = o.status.empty() ? std::string("no status") : o.status;
    if (!o.reading.empty()) t.status_line += "   reading " + o.reading;
    std::string why = o.why;
    if (!o.error.empty() && o.error != o.why) why += (why.empty() ? "" : "; ") + o.error;
    // One reason a line where the reasons are a list ("column 4: two marks; ...").
    std::size_t i = 0;
    while (i <= why.size() && !why.empty()) {
        std::size_t end = why.find("; ", i);
        if (end == std::string::npos) end = why.size();
        for (auto& line : wrap(drawable(why.substr(i, end - i)), kFont, 0.6, 1, kTextW)) t.reasons.push_back(line);
        i = end + 2;
    }
    if (!o.student_id.empty() && o.student_id != o.reading) t.id_line = "ID box after the four steps: " + drawable(o.student_id);
    return t;
}

constexpr int kStatusLineH = 40;
constexpr int kReasonLineH = 26;

int text_height(const TextBlock& t) {
    return kStatusLineH + static_cast<int>(t.reasons.size()) * kReasonLineH + (t.id_line.empty() ? 0 : kReasonLineH) +
           kPad;
}

}  // namespace

cv::Scalar state_colour(scan::ColumnState state) {
    // Colours that stay apart for the common colour-vision deficiencies
    // (blue / orange / vermillion / bluish green); the shapes carry the
    // meaning as well.
    switch (state) {
    case scan::ColumnState::Digit: return {115, 158, 0};     // bluish green
    case scan::ColumnState::Blank: return {178, 114, 0};     // blue
    case scan::ColumnState::Multiple: return {0, 60, 213};   // vermillion
    case scan::ColumnState::Unsure: return {0, 140, 230};    // orange
    }
    return kInk;
}

cv::Scalar status_colour(const std::string& status) {
    if (status == "ok") return state_colour(scan::ColumnState::Digit);
    if (status == "review") return state_colour(scan::ColumnState::Unsure);
    return state_colour(scan::ColumnState::Multiple);
}

OverlayLayout overlay_layout(const PageOutcome& o, const cv::Mat& thumbnail) {
    OverlayLayout l;
    l.block = {kPad, kPad, kBlockW, kBlockH};
    int side_x = kPad + kBlockW + kPad;
    int title_h = 70;
    if (!thumbnail.empty()) {
        double f = thumbnail_fit(thumbnail);
        int w = std::max(1, static_cast<int>(std::lround(thumbnail.cols * f)));
        int h = std::max(1, static_cast<int>(std::lround(thumbnail.rows * f)));
        l.thumbnail = {side_x + (kSideW - w) / 2, kPad + title_h, w, h};
    }
    int text_top = kPad + kBlockH + kColumnStripH;
    l.size = {kWidth, text_top + text_height(text_of(o))};
    return l;
}

cv::Mat render_overlay(const PageOutcome& o, const cv::Mat& block_in, const cv::Mat& thumbnail_in,
                       double thumbnail_scale) {
    // The small page only shows where the block is: 32 shades are plenty and
    // cost a quarter of the bytes of 256. It is resized in one channel, its
    // grey, and made colour last.
    cv::Mat thumbnail = grey_of(thumbnail_in);
    OverlayLayout l = overlay_layout(o, thumbnail);
    cv::Mat img(l.size, CV_8UC3, kWhite);

    // The block, enlarged, with every column's decision on it, drawn in its
    // place (drawing clips to the block's area as to a picture of its own).
    cv::Mat block = grey_bgr(block_in);
    cv::Mat big = img(l.block);
    if (!block.empty()) {
        // Each pixel repeated rather than interpolated: the marks stay as the
        // reader saw them, and repeated pixels cost PNG almost nothing (the
        // report embeds hundreds of these).
        cv::resize(block, big, big.size(), 0, 0, cv::INTER_NEAREST);
        if (o.decision) draw_decisions(big, *o.decision);
    } else {
        big.setTo(cv::Scalar(235, 235, 235));
        std::string msg = "no ID block found";
        cv::putText(big, msg, {(kBlockW - text_width(msg, kFont, 0.9, 2)) / 2, kBlockH / 2}, kFont, 0.9, kMuted, 2,
                    cv::LINE_AA);
    }
    cv::rectangle(img, l.block, cv::Scalar(200, 200, 200), 1);
    if (o.decision && !block.empty()) draw_column_strip(img, {kPad, kPad + kBlockH}, *o.decision);

    // Beneath: the status and reading, large, then the reasons.
    TextBlock t = text_of(o);
    int y = kPad + kBlockH + kColumnStripH + 28;
    cv::putText(img, drawable(t.status_line), {kPad, y}, kFontBold, 1.0, status_colour(o.status), 2, cv::LINE_AA);
    y += kStatusLineH - 28 + 20;
    for (const auto& line : t.reasons) {
        cv::putText(img, line, {kPad, y}, kFont, 0.6, kInk, 1, cv::LINE_AA);
        y += kReasonLineH;
    }
    if (!t.id_line.empty()) cv::putText(img, t.id_line, {kPad, y}, kFont, 0.6, kMuted, 1, cv::LINE_AA);

    // Beside: which page, the page small with the block outlined, the legend.
    int side_x = kPad + kBlockW + kPad;
    std::string base = drawable(fs::path(o.file).filename().string());
    if (base.empty()) base = drawable(o.file);
    auto title = wrap(base, kFont, 0.55, 1, kSideW);
    if (title.size() > 2) title.resize(2);
    int ty = kPad + 16;
    for (const auto& line : title) {
        cv::putText(img, line, {side_x, ty}, kFont, 0.55, kInk, 1, cv::LINE_AA);
        ty += 20;
    }
    cv::putText(img, "page " + std::to_string(o.page), {side_x, kPad + 58}, kFont, 0.5, kMuted, 1, cv::LINE_AA);
    int legend_y = kPad + 60;
    if (!thumbnail.empty()) {
        cv::Mat small;
        cv::resize(thumbnail, small, l.thumbnail.size(), 0, 0, cv::INTER_AREA);
        small = grey_bgr(small, 32);
        small.copyTo(img(l.thumbnail));
        cv::rectangle(img, l.thumbnail, cv::Scalar(200, 200, 200), 1);
        if (o.registration && thumbnail_scale > 0) {
            double f = thumbnail_scale * thumbnail_fit(thumbnail);
            std::vector<cv::Point> outline;
            for (cv::Point2d corner : {cv::Point2d(0, 0), cv::Point2d(block::kWidth, 0),
                                       cv::Point2d(block::kWidth, block::kHeight), cv::Point2d(0, block::kHeight)}) {
                cv::Point2d p = scan::map_point(o.registration->block_to_page, corner);
                outline.push_back(to_px(cv::Point2d(l.thumbnail.x, l.thumbnail.y) + p * f));
            }
            cv::polylines(img, outline, true, kOutline, 2, cv::LINE_AA);
        }
        legend_y = l.thumbnail.y + l.thumbnail.height + 24;
    }
    legend_y = std::max(legend_y, kPad + kBlockH - 4 * kEntryH);
    if (!thumbnail.empty() && o.registration) {
        cv::line(img, {side_x + 6, legend_y - 8}, {side_x + 38, legend_y - 8}, kOutline, 2, cv::LINE_AA);
        cv::putText(img, "the ID block on the page", {side_x + 54, legend_y - 3}, kFont, 0.5, kInk, 1, cv::LINE_AA);
    }
    lay_legend(img, {side_x, legend_y + 8});
    return img;
}

std::string overlay_path(const std::string& dir, int seq, const PageOutcome& o) {
    std::string stem = fs::path(o.file).stem().string();
    // Characters that some file systems refuse (or that a shell makes
    // awkward) become '_'; a stem is kept short enough that the whole name
    // stays within the usual 255-byte limit.
    for (char& ch : stem) {
        auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7f || std::strchr("/\\<>:\"|?*", ch) != nullptr) ch = '_';
    }
    constexpr std::size_t kMaxStem = 200;
    if (stem.size() > kMaxStem) {
        std::size_t cut = kMaxStem;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xc0) == 0x80) --cut;  // not inside a UTF-8 character
        stem.resize(cut);
    }
    if (stem.empty() || stem == "." || stem == "..") stem = "page";
    char number[16];
    std::snprintf(number, sizeof number, "%04d", seq);
    return (fs::path(dir) / (std::string(number) + "-" + stem + "-p" + std::to_string(o.page) + ".png")).string();
}

std::optional<std::string> write_overlay(const std::string& dir, int seq, const PageOutcome& o, const cv::Mat& block,
                                         const cv::Mat& thumbnail, double thumbnail_scale) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return "cannot create the folder " + dir + ": " + ec.message();
    std::string path = overlay_path(dir, seq, o);
    auto png = encode_png(render_overlay(o, block, thumbnail, thumbnail_scale));
    if (png.empty()) return "cannot encode the picture for " + path;
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : std::string());
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    out.close();
    if (!out) return "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : std::string());
    return std::nullopt;
}

}  // namespace idr::review
