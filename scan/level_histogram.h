#pragma once
// How many pixels of an 8-bit grey picture have each level, and Otsu's
// threshold from those counts: the level cv::threshold(..., THRESH_OTSU)
// picks for the same picture, so a histogram counted once can serve both
// the black-and-white test and the threshold.

#include <array>
#include <cstdint>

#include <opencv2/core.hpp>

namespace idr::scan {

struct LevelHistogram {
    std::array<std::uint64_t, 256> count{};
    std::uint64_t total = 0;  // pixels counted

    LevelHistogram& operator+=(const LevelHistogram& other);
};

// Which rows of the picture are counted: every `step`-th from the top
// (step 1: all of them), or all the others.
enum class RowSample { Every, Between };

// `grey`: 8-bit, one channel (any stride); an empty picture counts nothing.
LevelHistogram count_levels(const cv::Mat& grey, int step = 1, RowSample rows = RowSample::Every);

// Otsu's threshold: the level t that best separates the pixels at or below
// it from those above, by OpenCV's own arithmetic (double precision, the
// same order of operations, the same cut-offs near empty classes), so that
// it is the value cv::threshold returns with THRESH_OTSU. 0 for no pixels.
int otsu_level(const LevelHistogram& histogram);

}  // namespace idr::scan
