#pragma once
// Which way round the block lies on the page. A sheet can come through the
// scanner in any of four turns, and through the back of thin paper (or from
// a mirroring camera) left to right: eight ways in all. The ring grid alone
// looks the same in all eight; the frame above the rings tells the turn, and
// the printed digits (the column numbers, the digit in every ring) tell a
// mirrored block from an upright one.

#include <opencv2/core.hpp>

namespace idr::scan {

// A map of block coordinates onto themselves that takes the ring grid onto
// itself: `quarter_turns` quarter turns (counter-clockwise as seen on
// screen), after a left-right mirror when `mirrored`. The ring grid's centre
// stays where it is.
cv::Matx33d block_symmetry(int quarter_turns, bool mirrored);

struct Orientation {
    int turn = 0;  // 0, 90, 180 or 270: the block's top is at the page's top, left, bottom, right
    bool mirrored = false;
};

// How a block-to-page map lies: the turn that brings the block's top nearest
// the page's top, and whether it is mirrored.
Orientation orientation_of(const cv::Matx33d& block_to_page);

// How much more the printed digits of a rectified block (262 x 362, grey or
// BGR) look like the built-in sheet's than like their own mirror image: > 0
// as it stands, < 0 mirrored, near 0 when they cannot tell (about -1..1).
double mirror_evidence(const cv::Mat& block);

// Evidence beyond this either way decides; between, a person looks.
inline constexpr double kMirrorDecides = 0.05;

}  // namespace idr::scan
