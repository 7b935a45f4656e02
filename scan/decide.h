#pragma once
// A decision per column, beside the four steps: one digit, blank, several
// marks, or unsure. Each ring's inside is measured against this page's own
// empty and filled rings, so a light pencil on a pale scan reads as surely as
// pen on a dark one, while a mark much lighter than the page's others (faint
// pencil, an erasure) or one that covers only part of the ring (a tick, a
// cross) is flagged instead of read.

#include <array>
#include <string>

#include "picture/surface.h"

namespace idr::scan {

enum class ColumnState { Digit, Blank, Multiple, Unsure };

struct ColumnDecision {
    ColumnState state = ColumnState::Blank;
    int digit = -1;  // 0..9 when state is Digit, else -1
    // How far the decision is from the nearest other one, in units of the
    // page's filled-ring darkness: 0 is on the edge, 1 is a whole filled ring.
    double margin = 0;
    // Darkness of each ring's inside above the empty printed ring, in units
    // of the page's filled-ring darkness (about 1 for a filled ring).
    std::array<double, 10> darkness{};
    std::array<double, 10> coverage{};  // share of the inside that is dark
};

struct BlockDecision {
    std::array<ColumnDecision, 10> columns;
    // Ten characters: the digit, '_' blank, '*' several marks, '?' unsure.
    std::string reading;
    bool all_digits = false;
    // Why the page needs review, one entry per column that is not a clear
    // digit ("column 4: two marks").
    std::string reasons;
};

// Decides every column of a rectified block (262 x 362, the built-in
// sheet's frame).
BlockDecision decide_columns(const Surface& block);

// The brightness threshold for "1. Binary" that makes "3. Check  object"
// (with `black_samples` as its text, 8 by default) mark exactly the rings
// that `decision` holds filled and leave the clearly empty ones, in the
// middle of the range that does so; when no threshold separates them, the
// one that gets the most cells right.
int auto_threshold(const Surface& block, const BlockDecision& decision, int black_samples = 8);

// Both numbers of the four steps for a block: the brightness threshold and
// the black-sample number that make "3. Check  object" mark exactly the rings
// the decision holds filled, with the widest margin of brightness.
struct AutoSettings {
    int threshold = 35;
    int black_samples = 8;
};
// Brightness levels of room that make the window's own black-sample number
// good enough.
inline constexpr int kComfortableGap = 16;
AutoSettings auto_settings(const Surface& block, const BlockDecision& decision);

// How one ring reads, from its darkness and coverage as ColumnDecision holds
// them: filled, empty, or a mark between the two that nobody should read
// without looking.
enum class RingClass { Filled, Empty, Between };
RingClass classify_ring(double darkness, double coverage);

std::string state_name(ColumnState state);

}  // namespace idr::scan
