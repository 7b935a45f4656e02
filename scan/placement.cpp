#include "scan/placement.h"

#include <algorithm>
#include <cmath>


#include "form/block_layout.h"
#include "scan/grey_sample.h"
#include "scan/homography.h"
#include "scan/locate.h"

namespace idr::scan {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Median of the values that are numbers; NaN when none is, or when fewer
// than half of them are (a feature mostly off the picture says nothing).
double median_of(std::vector<double> v) {
    const std::size_t all = v.size();
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    if (v.empty() || v.size() * 2 < all) return std::nan("");
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Darkness of `d` against the paper `p`, 0..1 for a dark feature on paper.
double against(double p, double d) { return (p - d) / std::max(p, 1.0); }

// The gaps between ring rows, where the column rules run between paper.
constexpr double gap_row(int r) { return block::bubble_centre_y(r) + block::kPitch / 2.0; }

}  // namespace

PlacementScore score_placement(const cv::Mat& grey, const cv::Matx33d& h, bool dashed) {
    PlacementScore out;
    auto at = [&](double x, double y) { return grey_at(grey, map_point(h, {x, y})); };

    // Every ring's outline (the middle of its printed stroke) against the
    // paper just outside it on the diagonals: the one paper around a ring
    // that a quarter turn or a mirror of the grid takes to paper again (the
    // column rules run beside the rings, the gaps between rows are bare).
    constexpr double kStroke = (block::kRingInnerRadius + block::kRingOuterRadius) / 2;
    constexpr double kDiagonal = 8.0;
    // Eight points round the stroke, the same for every ring of every
    // placement: worked out once.
    static const std::array<cv::Point2d, 8> stroke = [] {
        std::array<cv::Point2d, 8> points;
        for (int k = 0; k < 8; ++k) {
            const double a = k * kPi / 4;
            points[static_cast<std::size_t>(k)] = {kStroke * std::cos(a), kStroke * std::sin(a)};
        }
        return points;
    }();
    std::array<std::array<double, block::kRows>, block::kColumns> ring{};
    std::vector<double> all;
    all.reserve(static_cast<std::size_t>(block::kColumns * block::kRows));
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; ++r) {
            const cv::Point2d b = bubble_centre(c, r);
            std::array<double, 4> around = {at(b.x - kDiagonal, b.y - kDiagonal), at(b.x + kDiagonal, b.y - kDiagonal),
                                            at(b.x + kDiagonal, b.y + kDiagonal), at(b.x - kDiagonal, b.y + kDiagonal)};
            std::sort(around.begin(), around.end());
            // The lighter two: a mark that spills over the ring darkens one side.
            const double paper = (around[2] + around[3]) / 2;
            double sum = 0;
            for (const cv::Point2d& d : stroke) sum += at(b.x + d.x, b.y + d.y);
            ring[c][r] = against(paper, sum / 8);
            all.push_back(ring[c][r]);
        }
    const double typical = median_of(all);
    if (std::isnan(typical) || typical < 0.03) return out;
    out.ring_contrast = typical;
    double weakest = 1e9;
    for (int i = 0; i < block::kColumns; ++i) {
        std::vector<double> column(ring[i].begin(), ring[i].end()), row;
        for (int c = 0; c < block::kColumns; ++c) row.push_back(ring[c][i]);
        for (const double line : {median_of(std::move(column)), median_of(std::move(row))})
            weakest = std::min(weakest, std::isnan(line) ? 0.0 : line / typical);
    }
    out.weakest_line = weakest;

    // A horizontal rule at block row `y`: against the paper on both sides,
    // or on one side (`side` -1 above, +1 below) where the other side is a
    // ring row.
    auto horizontal = [&](double y, int side) {
        std::vector<double> v;
        v.reserve(100);
        for (double x = 7; x < 255; x += 2.5) {
            const double d = at(x, y);
            const double above = at(x, y - 4), below = at(x, y + 4);
            if (side < 0) v.push_back(against(above, d));
            else if (side > 0) v.push_back(against(below, d));
            // Both sides must be paper: a rule, not the edge of a dark area.
            else v.push_back((std::min(above, below) - d) / std::max(std::max(above, below), 1.0));
        }
        return v;
    };
    // Column rule k along the given rows, against the paper left and right.
    auto vertical = [&](int k, const std::vector<double>& ys, std::vector<double>& v) {
        const double x = block::kRuleX(k) + 0.8;
        for (double y : ys) {
            const double l = at(x - 2.6, y), d = at(x, y), r = at(x + 2.6, y);
            v.push_back(against(std::min(l, r), d));
        }
    };
    std::vector<double> band_rows, grid_rows;
    for (double y = 34; y < 105; y += 3) band_rows.push_back(y);
    for (int r = 0; r + 1 < block::kRows; ++r) grid_rows.push_back(gap_row(r));
    std::vector<double> number_rules, left, right;
    for (int k = 0; k <= block::kColumns; ++k) vertical(k, band_rows, number_rules);
    vertical(0, grid_rows, left);
    vertical(block::kColumns, grid_rows, right);

    const std::array<std::vector<double>, kFrameFeatures> samples = {
        horizontal(block::kFrameTopRow + 0.5, 0),
        horizontal(block::kNumbersRuleRow + 0.5, 0),
        horizontal(block::kGridRuleTop + 1.0, -1),
        horizontal(block::kFrameBottomTop + 1.0, +1),
        number_rules,
        left,
        right,
    };
    for (int i = 0; i < kFrameFeatures; ++i) {
        const std::vector<double>& v = samples[static_cast<std::size_t>(i)];
        const double m = median_of(v);
        double strength = std::isnan(m) ? 0.0 : m / typical;
        if (dashed) {
            // A threshold leaves thin rules in dashes: what share of the rule
            // is there counts, not how dark its middle sample is.
            // Against the rings' contrast, but never so little that dots pass.
            const double cut = std::max(0.35 * typical, 0.12);
            const auto present = std::count_if(v.begin(), v.end(), [&](double c) { return c >= cut; });
            strength = std::max(strength, static_cast<double>(present) / static_cast<double>(std::max<std::size_t>(v.size(), 1)) / 0.6);
        }
        out.features[static_cast<std::size_t>(i)] = std::clamp(strength, 0.0, 1.2);
    }
    const auto& f = out.features;
    auto feature = [&](FrameFeature which) { return f[static_cast<std::size_t>(which)]; };
    // Only what is printed above the rings tells the turn: the frame round
    // the grid looks the same in all four. Both must hold, and every row and
    // column of rings; a weak line of rings costs its share.
    out.top = (feature(FrameFeature::TopRule) + feature(FrameFeature::NumbersRule) +
               feature(FrameFeature::NumberRules)) / 3;
    out.around = (feature(FrameFeature::GridRule) + feature(FrameFeature::BottomRule) +
                  feature(FrameFeature::LeftRule) + feature(FrameFeature::RightRule)) / 4;
    out.frame = std::min(out.top, out.around);
    out.total = out.weakest_line >= kMinLineRings ? out.frame * std::min(1.0, out.weakest_line / 0.7) : 0.0;
    return out;
}

std::optional<PlacementFit> fit_placement(const std::vector<cv::Point2d>& block_pts,
                                          const std::vector<cv::Point2d>& page_pts, double ransac_px) {
    if (block_pts.size() < 8 || block_pts.size() != page_pts.size()) return std::nullopt;
    cv::Mat mask;
    cv::Mat h = find_homography(block_pts, page_pts, ransac_px, mask);
    if (h.empty()) return std::nullopt;
    PlacementFit fit;
    fit.h = cv::Matx33d(h);
    double sum = 0;
    for (std::size_t i = 0; i < block_pts.size(); ++i) {
        if (!mask.empty() && !mask.at<std::uint8_t>(static_cast<int>(i))) continue;
        const cv::Point2d d = map_point(fit.h, block_pts[i]) - page_pts[i];
        sum += d.dot(d);
        ++fit.used;
    }
    if (fit.used < 8) return std::nullopt;
    fit.rms_px = std::sqrt(sum / fit.used);
    return fit;
}

}  // namespace idr::scan
