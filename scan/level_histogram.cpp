#include "scan/level_histogram.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cstring>

namespace idr::scan {

LevelHistogram& LevelHistogram::operator+=(const LevelHistogram& other) {
    for (std::size_t v = 0; v < count.size(); ++v) count[v] += other.count[v];
    total += other.total;
    return *this;
}

namespace {

// Eight tables for neighbouring pixels: paper is one level over long runs,
// and with fewer tables each count waits on the one before it (store to
// load) pixel by pixel. The 32-bit counts are added into the 64-bit ones
// before they could overflow.
struct RowCounter {
    std::array<std::array<std::uint32_t, 256>, 8> tables{};

    void add(const std::uint8_t* p, int width) {
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, p + x, sizeof eight);
            ++tables[0][eight & 255];
            ++tables[1][(eight >> 8) & 255];
            ++tables[2][(eight >> 16) & 255];
            ++tables[3][(eight >> 24) & 255];
            ++tables[4][(eight >> 32) & 255];
            ++tables[5][(eight >> 40) & 255];
            ++tables[6][(eight >> 48) & 255];
            ++tables[7][eight >> 56];
        }
        for (; x < width; ++x) ++tables[0][p[x]];
    }

    void flush_into(LevelHistogram& h) {
        for (std::size_t v = 0; v < 256; ++v) {
            std::uint64_t sum = 0;
            for (auto& t : tables) sum += t[v];
            h.count[v] += sum;
        }
        for (auto& t : tables) t.fill(0);
    }
};

}  // namespace

LevelHistogram count_levels(const cv::Mat& grey, int step, RowSample rows) {
    assert(grey.empty() || grey.type() == CV_8UC1);
    assert(step >= 1);
    LevelHistogram h;
    if (grey.empty()) return h;
    RowCounter counter;
    // A continuous picture is one long row, as long as its counts fit.
    const bool one_row = step == 1 && rows == RowSample::Every && grey.isContinuous() && grey.total() < (1u << 31);
    const int height = one_row ? 1 : grey.rows;
    const int width = one_row ? static_cast<int>(grey.total()) : grey.cols;
    // Rows whose pixels, all in one table, would still fit its 32-bit count.
    const int rows_per_flush = std::max(1, 0x7fffffff / std::max(width, 1));
    int since_flush = 0;
    for (int y = 0; y < height; ++y) {
        const bool sampled = y % step == 0;
        if (sampled != (rows == RowSample::Every)) continue;
        counter.add(grey.ptr<std::uint8_t>(y), width);
        h.total += static_cast<std::uint64_t>(width);
        if (++since_flush >= rows_per_flush) {
            counter.flush_into(h);
            since_flush = 0;
        }
    }
    counter.flush_into(h);
    return h;
}

int otsu_level(const LevelHistogram& histogram) {
    if (histogram.total == 0) return 0;
    // OpenCV's getThreshVal_Otsu, term for term: the class probabilities
    // and means are updated level by level, and a level where either class
    // is nearly empty (below FLT_EPSILON of the picture) is passed over.
    // Counts below 2^53 are exact in doubles, as OpenCV's int counts are.
    const double scale = 1.0 / static_cast<double>(histogram.total);
    double mu = 0;
    for (int i = 0; i < 256; ++i) mu += i * static_cast<double>(histogram.count[static_cast<std::size_t>(i)]);
    mu *= scale;
    double mu1 = 0, q1 = 0;
    double max_sigma = 0;
    int max_val = 0;
    for (int i = 0; i < 256; ++i) {
        const double p_i = static_cast<double>(histogram.count[static_cast<std::size_t>(i)]) * scale;
        mu1 *= q1;
        q1 += p_i;
        const double q2 = 1. - q1;
        if (std::min(q1, q2) < FLT_EPSILON || std::max(q1, q2) > 1. - FLT_EPSILON) continue;
        mu1 = (mu1 + i * p_i) / q1;
        const double mu2 = (mu - q1 * mu1) / q2;
        const double sigma = q1 * q2 * (mu1 - mu2) * (mu1 - mu2);
        if (sigma > max_sigma) {
            max_sigma = sigma;
            max_val = i;
        }
    }
    return max_val;
}

}  // namespace idr::scan
