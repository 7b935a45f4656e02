#pragma once
// The printed student-ID block, described once: where every part of it sits,
// in block units. One unit is one pixel of the built-in sheet (262 x 362), so
// the window's design values, the built-in sheet's generator, the printable
// form and the reader of scanned pages all take their geometry from here.
//
// Two coordinate conventions appear below:
//  - pixel indexes: x = 0..261 left to right, y = 0..361 top to bottom;
//  - continuous coordinates, in which pixel (i, j) covers [i, i+1) x [j, j+1).
// Drawing uses continuous coordinates; the reading handlers use indexes.

#include <array>

namespace idr::block {

inline constexpr int kWidth = 262;
inline constexpr int kHeight = 362;

inline constexpr int kColumns = 10;
inline constexpr int kRows = 10;
inline constexpr int kPitch = 25;  // bubble and column pitch, both ways

// The bubble in column c, row r has the bounding box (indexes, inclusive)
// x = kBubbleLeft + 25c .. +19, y = kBubbleTop + 25r .. +19.
inline constexpr int kBubbleLeft = 8;
inline constexpr int kBubbleTop = 109;
inline constexpr int kBubbleSize = 20;

// A printed bubble is a ring between these radii around the bubble's centre,
// with its digit (kDigitHeight tall, strokes kDigitStroke wide) in the middle.
inline constexpr double kRingInnerRadius = 8.3;
inline constexpr double kRingOuterRadius = 10.0;
inline constexpr double kDigitHeight = 7.0;
inline constexpr double kDigitStroke = 1.0;

// Cell inspection samples a 20 x 20 cell at these offsets from its corner.
inline constexpr std::array<int, 4> kSampleOffsets = {2, 7, 12, 17};

// Bands (pixel rows, inclusive).
inline constexpr int kHeadingTop = 5, kHeadingBottom = 21;
inline constexpr int kTitleLeft = 82, kTitleRight = 178;
inline constexpr int kFrameTopRow = 31;
inline constexpr int kNumbersTop = 32, kNumbersBottom = 55;
inline constexpr int kNumbersRuleRow = 56;
inline constexpr int kBoxesTop = 57, kBoxesBottom = 105;
inline constexpr int kGridRuleTop = 106;     // two rows: 106, 107
inline constexpr int kGridTop = 108, kGridBottom = 354;
inline constexpr int kFrameBottomTop = 355;  // two rows: 355, 356

// Column numbers: digits kNumberHeight tall whose tops sit at kNumberTop.
inline constexpr double kNumberTop = 39.0;
inline constexpr double kNumberHeight = 9.0;
inline constexpr double kNumberStroke = 1.3;

// Vertical rule k (0..10) lies within one pixel of x = 5 + 25k; it runs from
// the frame's top rule to its bottom rule. Rules are about 1.3 units wide,
// the two under the writing boxes and at the bottom 2.
inline constexpr int kRuleX0 = 5;
inline constexpr double kRuleWidth = 1.3;
inline constexpr double kRuleX(int k) { return kRuleX0 + kPitch * k; }

// Centre of bubble (c, r) in continuous coordinates: its bounding box is 20
// pixels across, so the centre falls on a pixel corner.
inline constexpr double bubble_centre_x(int c) { return kBubbleLeft + kPitch * c + 10.0; }
inline constexpr double bubble_centre_y(int r) { return kBubbleTop + kPitch * r + 10.0; }

// Even-numbered columns (2, 4, ..., 10 counting from 1) are tinted pink in
// the bubble grid.
inline constexpr bool is_tinted_column(int c) { return c % 2 == 1; }

// Colours of the printing, as red, green, blue.
struct Rgb {
    int r, g, b;
};
inline constexpr Rgb kPrintColour{55, 22, 29};   // dark maroon
inline constexpr Rgb kTintColour{248, 223, 236};  // pink of the even columns

// The block's heading as printed.
inline constexpr const char* kTitle = "STUDENT ID";

}  // namespace idr::block
