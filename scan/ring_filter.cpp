#include "scan/ring_filter.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "scan/grey_sample.h"

namespace idr::scan {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStroke = (block::kRingInnerRadius + block::kRingOuterRadius) / 2;  // units
constexpr double kDiagonal = 8.0;   // units along each axis: paper outside the ring, inside the rules
constexpr int kStrokePoints = 16;
// The stroke's darkness is that of its fourth lightest point: a ring is dark
// nearly all round (a threshold may break it in a few places), while a circle
// through other print crosses paper in many.
constexpr int kLightRank = 3;
// Weaker rings than this (brightness levels) are not rings: paper grain,
// the dots of a tint.
constexpr double kMinStrength = 18;

// The lighter two of four diagonal samples: a mark spilling over the ring
// darkens one side, a rule or a neighbour does not reach them.
double paper_of(std::array<double, 4> d) {
    std::sort(d.begin(), d.end());
    return (d[2] + d[3]) / 2;
}

}  // namespace

double ring_response(const cv::Mat& grey, cv::Point2d p, double unit) {
    std::array<double, kStrokePoints> sv{};
    for (int k = 0; k < kStrokePoints; ++k) {
        const double a = 2 * kPi * k / kStrokePoints;
        sv[static_cast<std::size_t>(k)] =
            grey_at(grey, {p.x + kStroke * unit * std::cos(a), p.y + kStroke * unit * std::sin(a)});
    }
    const double d = kDiagonal * unit;
    const double paper = paper_of({grey_at(grey, {p.x - d, p.y - d}), grey_at(grey, {p.x + d, p.y - d}),
                                   grey_at(grey, {p.x + d, p.y + d}), grey_at(grey, {p.x - d, p.y + d})});
    std::nth_element(sv.begin(), sv.begin() + kLightRank, sv.end(), std::greater<>());
    const double v = paper - sv[kLightRank];
    return std::isnan(v) ? 0.0 : v;
}

std::vector<RingPeak> find_ring_circles(const cv::Mat& grey, double min_unit, double max_unit,
                                        const Deadline& deadline) {
    std::vector<RingPeak> out;
    if (grey.empty() || grey.type() != CV_8UC1 || min_unit <= 0 || max_unit < min_unit) return out;
    // Radii (pixels) looked for on one halving: an octave, with room for the
    // estimate's error at both ends.
    constexpr double kLeast = 4.0, kMost = 11.0;
    std::vector<cv::Mat> halvings{grey};
    for (int level = 0;; ++level) {
        if (deadline.passed()) break;
        const double scale = std::pow(2.0, level);
        // Units covered here, in full-size pixels.
        const double lo = level == 0 ? min_unit : std::max(min_unit, kLeast * scale / kStroke);
        const double hi = std::min(max_unit, kMost * scale / kStroke);
        if (lo > max_unit) break;
        if (static_cast<int>(halvings.size()) <= level) {
            const cv::Mat& last = halvings.back();
            if (last.cols < 32 || last.rows < 32) break;
            cv::Mat half;
            cv::resize(last(cv::Rect(0, 0, last.cols / 2 * 2, last.rows / 2 * 2)), half,
                       cv::Size(last.cols / 2, last.rows / 2), 0, 0, cv::INTER_AREA);
            halvings.push_back(half);
        }
        if (hi < lo) continue;
        const cv::Mat& picture = halvings[static_cast<std::size_t>(level)];
        cv::Mat smooth;
        cv::GaussianBlur(picture, smooth, cv::Size(), 1.0);
        const int r_min = std::max(3, static_cast<int>(std::floor(lo * kStroke / scale)));
        const int r_max = static_cast<int>(std::ceil(hi * kStroke / scale));
        std::vector<cv::Vec3f> circles;
        // Rings a pitch apart: centres closer than most of a ring's radius
        // are one ring.
        cv::HoughCircles(smooth, circles, cv::HOUGH_GRADIENT, 1, 1.5 * r_min, 100, 18, r_min, r_max);
        for (const cv::Vec3f& c : circles)
            out.push_back({{(c[0] + 0.5) * scale - 0.5, (c[1] + 0.5) * scale - 0.5}, c[2] * scale / kStroke});
    }
    return out;
}

std::vector<std::optional<cv::Point2d>> ring_centres_near(const cv::Mat& grey, const std::vector<cv::Point2d>& guesses,
                                                          double unit, double reach) {
    std::vector<std::optional<cv::Point2d>> out(guesses.size());
    if (guesses.empty() || grey.empty()) return out;
    // Smoothed like the search, on the part that the guesses cover.
    std::vector<cv::Point2f> pts;
    for (const auto& g : guesses) pts.emplace_back(static_cast<float>(g.x), static_cast<float>(g.y));
    cv::Rect box = cv::boundingRect(pts);
    const int margin = static_cast<int>(std::ceil(reach + (kStroke + 2) * unit)) + 2;
    box = cv::Rect(box.x - margin, box.y - margin, box.width + 2 * margin, box.height + 2 * margin) &
          cv::Rect(0, 0, grey.cols, grey.rows);
    if (box.width < 4 || box.height < 4) return out;
    cv::Mat smooth;
    cv::GaussianBlur(grey(box), smooth, cv::Size(), std::max(0.5, 0.7 * unit));
    const cv::Point2d origin(box.x, box.y);
    // Coarse steps over the reach, then fine ones around the best.
    const double coarse = std::max(0.5, 0.4 * unit), fine = coarse / 5;
    for (std::size_t i = 0; i < guesses.size(); ++i) {
        const cv::Point2d local = guesses[i] - origin;
        double best = kMinStrength;
        std::optional<cv::Point2d> at;
        for (double dy = -reach; dy <= reach; dy += coarse)
            for (double dx = -reach; dx <= reach; dx += coarse) {
                const double v = ring_response(smooth, local + cv::Point2d(dx, dy), unit);
                if (v > best) best = v, at = local + cv::Point2d(dx, dy);
            }
        if (!at) continue;
        const cv::Point2d centre = *at;
        for (double dy = -coarse; dy <= coarse; dy += fine)
            for (double dx = -coarse; dx <= coarse; dx += fine) {
                const double v = ring_response(smooth, centre + cv::Point2d(dx, dy), unit);
                if (v > best) best = v, at = centre + cv::Point2d(dx, dy);
            }
        out[i] = *at + origin;
    }
    return out;
}

}  // namespace idr::scan
