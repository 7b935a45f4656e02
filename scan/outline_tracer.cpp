#include "scan/outline_tracer.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace idr::scan {

namespace {

// The marks a traced border leaves in the picture, as OpenCV's tracer leaves
// them: where the next scan starts and which border a pixel is on depend on
// them. 0 is background, 1 a dark pixel no border has reached; a traced
// border writes its mark value (2-127, reused in turn) on the pixels it
// passes, with kRightEdge added where the pixel to the right is background.
constexpr std::uint8_t kUnvisited = 1;
constexpr std::uint8_t kRightEdge = 0x80;
constexpr int kMarkValues = 128;

// Directions 0-7, anticlockwise on screen from "right": the step in pixels.
const cv::Point kStep[8] = {{1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}};

// The offsets in memory of the eight neighbours, twice over so that a search
// starting at any direction runs on without wrapping.
struct Neighbours {
    std::ptrdiff_t at[16];
    explicit Neighbours(std::ptrdiff_t step) {
        for (int d = 0; d < 16; ++d) at[d] = kStep[d & 7].y * step + kStep[d & 7].x;
    }
};

// Every nonzero pixel of `row` (`count` of them) to 1, and the dark ones as
// bits, pixel x at bit x % 64 of dark[x / 64]: a word of bits at a time,
// kept in a register until it is whole.
void to_zero_one(std::uint8_t* row, int count, std::uint64_t* dark) {
    int x = 0;
#if defined(__SSE2__)
    // Sixteen pixels at a time, as every x86-64 processor can.
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
    for (; x + 64 <= count; x += 64) {
        std::uint64_t bits = 0;
        for (int i = 0; i < 64; i += 16) {
            auto* at = reinterpret_cast<__m128i*>(row + x + i);
            const __m128i background = _mm_cmpeq_epi8(_mm_loadu_si128(at), zero);
            _mm_storeu_si128(at, _mm_andnot_si128(background, one));
            bits |= std::uint64_t{~static_cast<unsigned>(_mm_movemask_epi8(background)) & 0xffffu} << i;
        }
        dark[x / 64] = bits;
    }
#else
    // Eight pixels at a time in a 64-bit word elsewhere.
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full, kOnes = 0x0101010101010101ull;
    // Gathers the low bits of a word's eight bytes, first byte lowest.
    constexpr std::uint64_t kGather = 0x0102040810204080ull;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 64 <= count; x += 64) {
            std::uint64_t bits = 0;
            for (int i = 0; i < 64; i += 8) {
                std::uint64_t word;
                std::memcpy(&word, row + x + i, sizeof word);
                // A byte's top bit after this: set when any of its bits was.
                word = (((word & kLow7) + kLow7) | word) >> 7 & kOnes;
                std::memcpy(row + x + i, &word, sizeof word);
                bits |= (word * kGather >> 56) << i;
            }
            dark[x / 64] = bits;
        }
    }
#endif
    // The rest of the row, less than a word of bits (or all of it where
    // words are not little-endian), a pixel at a time.
    std::uint64_t bits = 0;
    for (; x < count; ++x) {
        row[x] = row[x] != 0;
        bits |= std::uint64_t{row[x]} << (x % 64);
        if (x % 64 == 63) {
            dark[x / 64] = bits;
            bits = 0;
        }
    }
    if (count % 64 != 0) dark[count / 64] = bits;
}

}  // namespace

void OutlineTracer::trace(cv::Mat& framed) {
    assert(framed.type() == CV_8UC1);
    borders_.clear();
    marked_.clear();
    points_.clear();
    listed_.clear();
    last_with_mark_.assign(kMarkValues, -1);
    frame_first_child_ = -1;
    if (framed.rows < 3 || framed.cols < 3) {  // all frame, no pixel inside it
        framed.setTo(0);
        return;
    }
    origin_ = framed.ptr<std::uint8_t>(0);
    step_ = static_cast<std::ptrdiff_t>(framed.step[0]);
    const int width = framed.cols - 1, height = framed.rows - 1;

    // A frame pixel left dark would let a border run out of the picture's
    // memory: it is cleared, whatever the caller wrote there. The rest
    // becomes 0 and kUnvisited, and a bit per pixel says which are dark.
    const int words = (framed.cols + 63) / 64;
    dark_.assign(static_cast<std::size_t>(framed.rows) * words, 0);
    for (int y = 0; y <= height; ++y) {
        std::uint8_t* row = framed.ptr<std::uint8_t>(y);
        if (y == 0 || y == height) {
            std::fill_n(row, framed.cols, std::uint8_t{0});
            continue;
        }
        row[0] = row[width] = 0;
        to_zero_one(row, framed.cols, dark_.data() + static_cast<std::size_t>(y) * words);
    }

    // Suzuki and Abe's raster scan: a border starts where a dark pixel no
    // border reached follows background (an outer border), or where
    // background follows a dark pixel not at a right edge (a hole's). Only
    // the ends of runs of dark pixels can start one, and tracing changes
    // marks, never which pixels are dark: the runs' ends are read off the
    // bits, not looked for pixel by pixel. The pixels' marks are read as the
    // scan reaches them, after the borders started before.
    int mark = 2;
    for (int y = 1; y < height; ++y) {
        std::uint8_t* row = origin_ + y * step_;
        const std::uint64_t* dark = dark_.data() + static_cast<std::size_t>(y) * words;
        std::uint64_t carry = 0;  // the last pixel of the word before: dark
        int run_start = 0;
        for (int k = 0; k < words; ++k) {
            const std::uint64_t bits = dark[k];
            std::uint64_t ends = bits ^ (bits << 1 | carry);  // a run's first pixel, or the one after its last
            carry = bits >> 63;
            while (ends != 0) {
                const int x = k * 64 + std::countr_zero(ends);
                ends &= ends - 1;
                if (x >= width) break;  // the frame column: OpenCV's scan stops before it
                if (bits >> (x % 64) & 1) {
                    run_start = x;
                    if (row[x] == kUnvisited) add_border({x, y}, false, 0, mark);
                } else if (const std::uint8_t last = row[x - 1]; !(last & kRightEdge)) {
                    add_border({x - 1, y}, true, last > kUnvisited ? x - 1 : last_marked(row, run_start, x - 1),
                               mark);
                }
            }
        }
    }
    list_in_tree_order();
}

void OutlineTracer::add_border(cv::Point start, bool hole, int last_border_x, int& mark) {
    // An outer border's parent is the frame; a hole's, the outer border
    // round the last border met on the row (or that border itself).
    const int parent = hole && last_border_x > 0 ? parent_of_hole({last_border_x, start.y}) : -1;
    Border b;
    b.origin = start;
    b.hole = hole;
    b.parent = parent;
    b.first = points_.size();
    b.box = follow(origin_ + start.y * step_ + start.x, start, hole, mark);
    b.count = points_.size() - b.first;
    // The mark values are reused from 3 after 127, as OpenCV does, so a
    // pixel's mark alone does not name its border.
    const int index = static_cast<int>(borders_.size());
    marked_.push_back({b.box, last_with_mark_[mark]});
    last_with_mark_[mark] = index;
    // A new child goes first in its parent's list, as OpenCV links them.
    int& first_child = parent >= 0 ? borders_[parent].first_child : frame_first_child_;
    b.next_sibling = first_child;
    first_child = index;
    borders_.push_back(b);
    mark = (mark + 1) & (kMarkValues - 1);
    if (mark == 0) mark = 3;
}

int OutlineTracer::last_marked(const std::uint8_t* row, int run_start, int x) {
    // OpenCV's scan notes a marked pixel where the pixels change value, so
    // of the last stretch of one mark in the run it keeps the first pixel.
    // The run's first pixel is marked (a border passed it or starts there).
    while (row[x] == kUnvisited) --x;
    while (x > run_start && row[x - 1] == row[x]) --x;
    return x;
}

cv::Rect OutlineTracer::follow(std::uint8_t* start, cv::Point origin, bool hole, int mark) {
    const Neighbours n(step_);
    const auto visited = static_cast<std::uint8_t>(mark);
    const auto right_edge = static_cast<std::uint8_t>(mark | kRightEdge);
    int min_x = origin.x, max_x = origin.x, min_y = origin.y, max_y = origin.y;

    // The neighbour the border leaves towards, looking clockwise from the
    // background pixel that made this a start (left of an outer border's
    // start, right of a hole's).
    const int looked_from = hole ? 0 : 4;
    int s = looked_from;
    std::uint8_t* second;
    do {
        s = (s - 1) & 7;
        second = start + n.at[s];
    } while (*second == 0 && s != looked_from);

    if (s == looked_from) {  // a pixel alone
        *start = right_edge;
        points_.push_back(origin - cv::Point(1, 1));
    } else {
        std::uint8_t* at = start;
        cv::Point pt = origin;
        int prev_s = s ^ 4;
        for (;;) {
            // Anticlockwise from the pixel it came from, the first dark
            // neighbour: there is one within eight steps, the pixel it came
            // from at the latest.
            const int came_from = s;
            std::uint8_t* next;
            do next = at + n.at[++s];
            while (*next == 0);
            s &= 7;
            // The search passed the pixel to the right (background) only if
            // it went round past direction 0.
            if (static_cast<unsigned>(s - 1) < static_cast<unsigned>(came_from)) *at = right_edge;
            else if (*at == kUnvisited) *at = visited;
            if (s != prev_s) {  // a turn: the point is kept
                points_.push_back(pt - cv::Point(1, 1));
                prev_s = s;
                if (pt.x < min_x) min_x = pt.x;
                else if (pt.x > max_x) max_x = pt.x;
                if (pt.y < min_y) min_y = pt.y;
                else if (pt.y > max_y) max_y = pt.y;
            }
            pt += kStep[s];
            // Back at the start, about to take the first step again.
            if (next == start && at == second) break;
            at = next;
            s = (s + 4) & 7;
        }
    }
    return {min_x, min_y, max_x - min_x + 1, max_y - min_y + 1};
}

bool OutlineTracer::reaches(const Border& from, const std::uint8_t* stop) const {
    const Neighbours n(step_);
    const std::uint8_t* start = origin_ + from.origin.y * step_ + from.origin.x;
    const int looked_from = from.hole ? 0 : 4;
    int s = looked_from;
    const std::uint8_t* second;
    do {
        s = (s - 1) & 7;
        second = start + n.at[s];
    } while (*second == 0 && s != looked_from);
    if (s == looked_from) return start == stop;

    const std::uint8_t* at = start;
    for (;;) {
        const std::uint8_t* next;
        do next = at + n.at[++s];
        while (*next == 0);
        if (at == stop) {
            if (!(*at & kRightEdge)) return true;
            // A pixel at a right edge may be met again by the same border;
            // OpenCV takes it as reached only when no dark neighbour lies
            // clockwise of the way on, down to direction 0. (The scan asks
            // about pixels with a dark right neighbour only: kept so that
            // this stays OpenCV's answer for any pixel.)
            for (int t = s;;) {
                t = (t - 1) & 7;
                if (at[n.at[t]] != 0) break;
                if (t == 0) return true;
            }
        }
        if (next == start && at == second) return false;
        at = next;
        s = (s + 4) & 7;
    }
}

int OutlineTracer::parent_of_hole(cv::Point last_border) {
    const std::uint8_t* pixel = origin_ + last_border.y * step_ + last_border.x;
    // Of the borders that wrote this pixel's mark value and whose box holds
    // it, newest first, the first that reaches it when followed again; the
    // oldest of them when none before it does. As in OpenCV, which border
    // that is depends on this exact order of looking.
    int found = -1;
    for (int* link = &last_with_mark_[*pixel & (kMarkValues - 1)]; *link >= 0;) {
        Marked& m = marked_[*link];
        // A box that ends above this row holds no pixel of it or of any row
        // the scan is still to reach: out of the chain for good, which keeps
        // the chains to the borders round the scan line.
        if (m.box.y + m.box.height <= last_border.y) {
            *link = m.next;
            continue;
        }
        const int b = *link;
        link = &m.next;
        if (!m.box.contains(last_border)) continue;
        if (found >= 0 && reaches(borders_[found], pixel)) break;
        found = b;
    }
    // Some border wrote the mark and its box holds all it passed, so one is
    // found; the frame is the safe answer all the same.
    if (found < 0) return -1;
    // A hole met last: the new hole is inside the same outer border.
    return borders_[found].hole ? borders_[found].parent : found;
}

void OutlineTracer::list_in_tree_order() {
    // Each border, then its children, then its next sibling: OpenCV's tree
    // walked depth first.
    listed_.reserve(borders_.size());
    int at = frame_first_child_;
    while (at >= 0) {
        const Border& b = borders_[at];
        listed_.push_back({b.first, b.count, b.box - cv::Point(1, 1), b.parent >= 0});
        if (b.first_child >= 0) {
            at = b.first_child;
            continue;
        }
        while (at >= 0 && borders_[at].next_sibling < 0) at = borders_[at].parent;
        if (at >= 0) at = borders_[at].next_sibling;
    }
}

}  // namespace idr::scan
