#pragma once
// Where everything sits on the printed identification block. Pixel indexes
// run x = 0..261 left to right and y = 0..361 top to bottom; drawing uses
// continuous coordinates in which pixel (i, j) covers [i, i+1) x [j, j+1).

#include <array>

namespace idr::sheetgen {

inline constexpr int kWidth = 262;
inline constexpr int kHeight = 362;

inline constexpr int kColumns = 10;
inline constexpr int kRows = 10;
inline constexpr int kPitch = 25;  // bubble and column pitch, both ways

// The bubble in column c, row r has the bounding box
// x = kBubbleLeft + 25c .. +19, y = kBubbleTop + 25r .. +19.
inline constexpr int kBubbleLeft = 8;
inline constexpr int kBubbleTop = 109;
inline constexpr int kBubbleSize = 20;

// The ID written on the sheet, one digit per column.
inline constexpr std::array<int, kColumns> kStudentId = {5, 0, 9, 3, 7, 1, 9, 2, 4, 6};

// Cell inspection samples a 20 x 20 cell at these offsets from its corner.
inline constexpr std::array<int, 4> kSampleOffsets = {2, 7, 12, 17};

// Bands (pixel rows, inclusive).
inline constexpr int kHeadingTop = 5, kHeadingBottom = 21;
inline constexpr int kTitleLeft = 82, kTitleRight = 178;
inline constexpr int kFrameTopRow = 31;
inline constexpr int kNumbersTop = 32, kNumbersBottom = 55;
inline constexpr int kNumbersRuleRow = 56;
inline constexpr int kBoxesTop = 57, kBoxesBottom = 105;
inline constexpr int kGridRuleTop = 106;    // two rows: 106, 107
inline constexpr int kGridTop = 108, kGridBottom = 354;
inline constexpr int kFrameBottomTop = 355;  // two rows: 355, 356

// Vertical rule k (0..10) lies within one pixel of x = 5 + 25k.
inline constexpr int kRuleX0 = 5;

// Centre of bubble (c, r) in continuous coordinates: its bounding box is
// 20 pixels across, so the centre falls on a pixel corner.
inline constexpr double bubble_centre_x(int c) { return kBubbleLeft + kPitch * c + 10.0; }
inline constexpr double bubble_centre_y(int r) { return kBubbleTop + kPitch * r + 10.0; }

// Even-numbered columns (2, 4, ..., 10 counting from 1) are tinted.
inline constexpr bool is_tinted_column(int c) { return c % 2 == 1; }

}  // namespace idr::sheetgen
