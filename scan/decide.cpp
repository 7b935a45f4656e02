#include "scan/decide.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstdio>
#include <cstdlib>

#include "form/block_layout.h"

namespace idr::scan {

namespace {

// Rings whose inside is at least this dark (relative to the page's filled
// rings) and this evenly covered are filled; at most kEmptyLevel, empty;
// anything between is a mark nobody should read without looking.
constexpr double kFilledLevel = 0.72;
constexpr double kEmptyLevel = 0.1;
constexpr double kFilledCoverage = 0.6;
// A page whose darkest marks are lighter than this (darkness against the
// paper, 0..1) holds no marks at all: noise and printing only.
constexpr double kLeastMark = 0.05;
// The inside of a ring that is measured: well within the printed ring.
constexpr double kInsideRadius = 6.5;

double brightness(Int32 v) {
    return ((v & 255) + ((v >> 8) & 255) + ((v >> 16) & 255)) / 3.0;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

struct Ring {
    std::vector<double> inside;  // darkness of each pixel inside, 0..1
    double mean = 0;
};

RingClass classify(double darkness, double coverage) {
    if (darkness >= kFilledLevel && coverage >= kFilledCoverage) return RingClass::Filled;
    if (darkness <= kEmptyLevel) return RingClass::Empty;
    return RingClass::Between;
}

const char* digit_word(int n) {
    static const char* words[] = {"no", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten"};
    return words[std::clamp(n, 0, 10)];
}

}  // namespace

RingClass classify_ring(double darkness, double coverage) { return classify(darkness, coverage); }

std::string state_name(ColumnState state) {
    switch (state) {
    case ColumnState::Digit: return "digit";
    case ColumnState::Blank: return "blank";
    case ColumnState::Multiple: return "multiple";
    case ColumnState::Unsure: return "unsure";
    }
    return "unsure";
}

BlockDecision decide_columns(const Surface& block) {
    BlockDecision out;
    if (block.width() != block::kWidth || block.height() != block::kHeight) {
        out.reading = std::string(10, '?');
        out.reasons = "the picture is not the ID block's frame";
        for (auto& c : out.columns) c.state = ColumnState::Unsure;
        return out;
    }

    // Paper around each ring: the gaps above and below it in its column
    // (the even columns are tinted, and light falls unevenly on a photo).
    auto gap_paper = [&](int c, int r) {
        std::vector<double> gap;
        const double cx = block::bubble_centre_x(c);
        for (const double gy : {block::bubble_centre_y(r) - block::kPitch / 2.0,
                                block::bubble_centre_y(r) + block::kPitch / 2.0}) {
            if (gy > block::kGridBottom || gy < block::kGridRuleTop + 3) continue;
            for (int dx = -4; dx <= 3; ++dx)
                for (int dy = -1; dy <= 0; ++dy)
                    gap.push_back(brightness(block.pixel(static_cast<int>(cx) + dx, static_cast<int>(gy) + dy)));
        }
        return std::max(median(gap), 1.0);
    };

    // Darkness of every ring's inside against its column's paper.
    std::array<std::array<Ring, 10>, 10> rings;
    std::vector<double> all_means;
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; ++r) {
            Ring& ring = rings[c][r];
            const double paper = gap_paper(c, r);
            const double cx = block::bubble_centre_x(c), cy = block::bubble_centre_y(r);
            for (int y = static_cast<int>(cy - kInsideRadius); y <= static_cast<int>(cy + kInsideRadius); ++y)
                for (int x = static_cast<int>(cx - kInsideRadius); x <= static_cast<int>(cx + kInsideRadius); ++x) {
                    const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
                    if (dx * dx + dy * dy > kInsideRadius * kInsideRadius) continue;
                    const double d = std::clamp((paper - brightness(block.pixel(x, y))) / paper, 0.0, 1.0);
                    ring.inside.push_back(d);
                    ring.mean += d;
                }
            ring.mean /= static_cast<double>(ring.inside.size());
            all_means.push_back(ring.mean);
        }

    // The empty ring of each digit: the same digit is printed in every column,
    // so the second lightest of the row is an empty one unless nearly every
    // column marked that digit; kept near the whole grid's typical ring.
    const double typical = median(all_means);
    std::array<double, 10> empty{};
    for (int r = 0; r < block::kRows; ++r) {
        std::vector<double> row;
        for (int c = 0; c < block::kColumns; ++c) row.push_back(rings[c][r].mean);
        std::sort(row.begin(), row.end());
        empty[r] = std::clamp(row[1], typical - 0.08, typical + 0.08);
    }

    // The page's filled ring: the typical darkest ring of the columns that
    // hold a mark at all.
    std::vector<double> strongest;
    for (int c = 0; c < block::kColumns; ++c) {
        double best = 0;
        for (int r = 0; r < block::kRows; ++r) best = std::max(best, rings[c][r].mean - empty[r]);
        if (best >= kLeastMark) strongest.push_back(best);
    }
    // With marks in only a few columns the median is theirs; with none, an
    // ordinary pencil mark stands in, so faint traces stay below it.
    const double filled = strongest.empty() ? 0.45 : std::max(median(strongest), kLeastMark * 2);

    out.all_digits = true;
    for (int c = 0; c < block::kColumns; ++c) {
        ColumnDecision& col = out.columns[c];
        int n_filled = 0, n_between = 0, digit = -1;
        double top = -1, second = -1;
        for (int r = 0; r < block::kRows; ++r) {
            const double rel = (rings[c][r].mean - empty[r]) / filled;
            // Coverage: share of the inside at least half as dark as a filled
            // ring's inside, less what the printed digit covers anyway.
            const double cut = empty[r] + 0.5 * filled;
            const auto& in = rings[c][r].inside;
            const double cov = static_cast<double>(std::count_if(in.begin(), in.end(),
                                                                 [&](double d) { return d >= cut; })) /
                               static_cast<double>(in.size());
            col.darkness[r] = rel;
            col.coverage[r] = cov;
            if (rel > top) second = top, top = rel, digit = r;
            else if (rel > second) second = rel;
            const RingClass k = (rings[c][r].mean - empty[r] < kLeastMark) ? RingClass::Empty : classify(rel, cov);
            if (k == RingClass::Filled) ++n_filled;
            if (k == RingClass::Between) ++n_between;
        }
        const int number = c + 1;
        std::string reason;
        if (n_filled == 1 && n_between == 0) {
            col.state = ColumnState::Digit;
            col.digit = digit;
            col.margin = std::min(top - kFilledLevel, kEmptyLevel - second);
        } else if (n_filled >= 2) {
            col.state = ColumnState::Multiple;
            col.margin = second - kFilledLevel;
            reason = std::string(digit_word(n_filled)) + " marks";
        } else if (n_filled == 0 && n_between == 0) {
            col.state = ColumnState::Blank;
            col.margin = kEmptyLevel - top;
            reason = "no mark";
        } else {
            col.state = ColumnState::Unsure;
            col.margin = 0;
            reason = n_filled == 1 ? "a mark and a faint or partial mark" : "faint or partial mark";
        }
        col.margin = std::max(col.margin, 0.0);
        switch (col.state) {
        case ColumnState::Digit: out.reading += static_cast<char>('0' + col.digit); break;
        case ColumnState::Blank: out.reading += '_'; break;
        case ColumnState::Multiple: out.reading += '*'; break;
        case ColumnState::Unsure: out.reading += '?'; break;
        }
        if (col.state != ColumnState::Digit) {
            out.all_digits = false;
            if (!out.reasons.empty()) out.reasons += "; ";
            out.reasons += "column " + std::to_string(number) + ": " + reason;
        }
    }
    return out;
}

namespace {

// Per cell, its 16 sample brightnesses as "1. Binary" rounds them, darkest
// first: the cell is marked exactly when its (n + 1)-th darkest sample is at
// most the threshold, n being the black-sample number.
std::array<std::array<int, 16>, 100> sorted_samples(const Surface& block) {
    std::array<std::array<int, 16>, 100> out{};
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; ++r) {
            auto& s = out[static_cast<std::size_t>(10 * c + r)];
            std::size_t k = 0;
            for (int j : block::kSampleOffsets)
                for (int i : block::kSampleOffsets) {
                    const int x = block::kBubbleLeft + block::kPitch * c + i;
                    const int y = block::kBubbleTop + block::kPitch * r + j;
                    s[k++] = static_cast<int>(std::lround(brightness(block.pixel(x, y))));
                }
            std::sort(s.begin(), s.end());
        }
    return out;
}

struct Separation {
    int threshold = 0;
    int black_samples = 8;
    int gap = -1000;  // brightness levels between the two groups; < 0: some cell is wrong
    int wrong = 0;
};

// The threshold that separates, for one black-sample number, the rings the
// decision holds filled from the clearly empty ones.
Separation separate(const std::array<std::array<int, 16>, 100>& samples, const BlockDecision& decision,
                    int black_samples) {
    Separation out;
    out.black_samples = black_samples;
    const auto n = static_cast<std::size_t>(std::clamp(black_samples, 0, 15));
    std::vector<int> must_mark, must_not;
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; ++r) {
            const int level = samples[static_cast<std::size_t>(10 * c + r)][n];
            const ColumnDecision& col = decision.columns[c];
            const double rel = col.darkness[r];
            if (col.state != ColumnState::Unsure && classify(rel, col.coverage[r]) == RingClass::Filled)
                must_mark.push_back(level);
            else if (rel <= kEmptyLevel)
                must_not.push_back(level);
        }
    const int lo = must_mark.empty() ? 0 : *std::max_element(must_mark.begin(), must_mark.end());
    const int hi = must_not.empty() ? 255 : *std::min_element(must_not.begin(), must_not.end()) - 1;
    if (lo <= hi) {
        out.gap = hi - lo;
        out.threshold = must_mark.empty() ? hi / 2 : (lo + hi) / 2;
        return out;
    }
    // No threshold separates them: the one with fewest wrong cells.
    out.wrong = 1 << 30;
    for (int t = 0; t <= 255; ++t) {
        int wrong = 0;
        for (int v : must_mark) wrong += v > t;
        for (int v : must_not) wrong += v <= t;
        if (wrong < out.wrong) out.wrong = wrong, out.threshold = t;
    }
    out.gap = hi - lo;
    return out;
}

}  // namespace

int auto_threshold(const Surface& block, const BlockDecision& decision, int black_samples) {
    return separate(sorted_samples(block), decision, black_samples).threshold;
}

AutoSettings auto_settings(const Surface& block, const BlockDecision& decision) {
    const auto samples = sorted_samples(block);
    // The window's own black-sample number when it separates with room to
    // spare; otherwise the number that separates best. Hand-filled bubbles
    // are often smaller than the printed ring, and then only the four inner
    // samples of the 16 fall on the mark.
    Separation best = separate(samples, decision, 8);
    if (best.gap < kComfortableGap) {
        for (int n = 0; n < 16; ++n) {
            const Separation s = separate(samples, decision, n);
            if (s.wrong < best.wrong || (s.wrong == best.wrong && s.gap > best.gap)) best = s;
        }
    }
    return {best.threshold, best.black_samples};
}

}  // namespace idr::scan
