#include "scan/ring_filter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"

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

double bilinear(const cv::Mat& g, double x, double y) {
    if (!(x >= 0 && y >= 0 && x <= g.cols - 1 && y <= g.rows - 1)) return std::nan("");
    const int x0 = std::min(static_cast<int>(x), std::max(g.cols - 2, 0));
    const int y0 = std::min(static_cast<int>(y), std::max(g.rows - 2, 0));
    const int x1 = std::min(x0 + 1, g.cols - 1), y1 = std::min(y0 + 1, g.rows - 1);
    const double fx = x - x0, fy = y - y0;
    const std::uint8_t* r0 = g.ptr<std::uint8_t>(y0);
    const std::uint8_t* r1 = g.ptr<std::uint8_t>(y1);
    return (r0[x0] * (1 - fx) + r0[x1] * fx) * (1 - fy) + (r1[x0] * (1 - fx) + r1[x1] * fx) * fy;
}

// The lighter two of four diagonal samples: a mark spilling over the ring
// darkens one side, a rule or a neighbour does not reach them.
double paper_of(std::array<double, 4> d) {
    std::sort(d.begin(), d.end());
    return (d[2] + d[3]) / 2;
}

// Scans one picture (already reduced and smoothed for `unit`) for local
// maxima of the response, on whole pixels.
void scan_level(const cv::Mat& g, double unit, double to_full, double full_unit, double min_strength,
                const Deadline& deadline, std::vector<RingPeak>& out) {
    const int reach = static_cast<int>(std::ceil((kStroke + 0.5) * unit)) + 1;
    if (g.cols <= 2 * reach + 2 || g.rows <= 2 * reach + 2) return;
    std::array<int, kStrokePoints> stroke{};
    for (int k = 0; k < kStrokePoints; ++k) {
        const double a = 2 * kPi * k / kStrokePoints;
        const int dx = static_cast<int>(std::lround(kStroke * unit * std::cos(a)));
        const int dy = static_cast<int>(std::lround(kStroke * unit * std::sin(a)));
        stroke[static_cast<std::size_t>(k)] = dy * static_cast<int>(g.step[0]) + dx;
    }
    const int d = static_cast<int>(std::lround(kDiagonal * unit));
    const int step = static_cast<int>(g.step[0]);
    const std::array<int, 4> diagonal = {-d * step - d, -d * step + d, d * step + d, d * step - d};

    // A first look with whole-picture operations: the paper on the
    // diagonals (the second lightest of four) against the stroke on the axes
    // (the second lightest of four, so one gap may fall there). Only where
    // that passes are all sixteen stroke points read.
    const cv::Rect core(reach, reach, g.cols - 2 * reach, g.rows - 2 * reach);
    auto view = [&](int dx, int dy) { return g(core + cv::Point(dx, dy)); };
    auto second_lightest = [](const cv::Mat& a, const cv::Mat& b, const cv::Mat& c, const cv::Mat& e) {
        cv::Mat hi1, lo1, hi2, lo2, x, y;
        cv::max(a, b, hi1), cv::min(a, b, lo1), cv::max(c, e, hi2), cv::min(c, e, lo2);
        cv::min(hi1, hi2, x), cv::max(lo1, lo2, y);
        cv::Mat out;
        cv::max(x, y, out);
        return out;
    };
    const int s = static_cast<int>(std::lround(kStroke * unit));
    const cv::Mat paper = second_lightest(view(-d, -d), view(d, -d), view(d, d), view(-d, d));
    const cv::Mat axes = second_lightest(view(s, 0), view(-s, 0), view(0, s), view(0, -s));
    cv::Mat gap, worth;
    cv::subtract(paper, axes, gap);  // saturates at 0
    cv::compare(gap, min_strength, worth, cv::CMP_GE);

    if (std::getenv("IDR_TRACE")) std::fprintf(stderr, "worth %d of %d\n", cv::countNonZero(worth), core.area());
    cv::Mat response(g.size(), CV_32F, cv::Scalar(0));
    for (int y = 0; y < core.height; ++y) {
        if ((y & 63) == 0 && deadline.passed()) return;
        const std::uint8_t* w = worth.ptr<std::uint8_t>(y);
        const std::uint8_t* row = g.ptr<std::uint8_t>(y + reach);
        float* r = response.ptr<float>(y + reach);
        for (int i = 0; i < core.width; ++i) {
            if (!w[i]) continue;
            const int x = i + reach;
            const std::uint8_t* p = row + x;
            std::array<int, 4> dv = {p[diagonal[0]], p[diagonal[1]], p[diagonal[2]], p[diagonal[3]]};
            std::sort(dv.begin(), dv.end());
            const int light_paper = (dv[2] + dv[3]) / 2;
            std::array<int, kStrokePoints> sv{};
            for (int k = 0; k < kStrokePoints; ++k) sv[static_cast<std::size_t>(k)] = p[stroke[static_cast<std::size_t>(k)]];
            std::nth_element(sv.begin(), sv.begin() + kLightRank, sv.end(), std::greater<>());
            r[x] = static_cast<float>(light_paper - sv[kLightRank]);
        }
    }
    for (int y = reach + 1; y < g.rows - reach - 1; ++y) {
        const float* up = response.ptr<float>(y - 1);
        const float* r = response.ptr<float>(y);
        const float* down = response.ptr<float>(y + 1);
        for (int x = reach + 1; x < g.cols - reach - 1; ++x) {
            const float v = r[x];
            if (v < min_strength) continue;
            if (v < r[x - 1] || v < r[x + 1] || v < up[x] || v < down[x] || v < up[x - 1] || v < up[x + 1] ||
                v < down[x - 1] || v < down[x + 1])
                continue;
            // A parabola through the neighbours puts the peak between pixels.
            auto offset = [](double a, double b, double c) {
                const double den = a - 2 * b + c;
                return den < 0 ? std::clamp(0.5 * (a - c) / den, -0.5, 0.5) : 0.0;
            };
            const double px = x + offset(r[x - 1], v, r[x + 1]);
            const double py = y + offset(up[x], v, down[x]);
            out.push_back({{(px + 0.5) * to_full - 0.5, (py + 0.5) * to_full - 0.5}, full_unit, v});
        }
    }
}

// A fifth of the picture's contrast (between its darkest and lightest
// twentieth): the smoothed dots of a tint or paper grain stay below it, a
// printed ring's stroke well above.
double min_strength_of(const cv::Mat& g) {
    std::array<int, 256> hist{};
    std::size_t n = 0;
    for (int y = 0; y < g.rows; y += 4) {
        const std::uint8_t* p = g.ptr<std::uint8_t>(y);
        for (int x = 0; x < g.cols; x += 4) ++hist[p[x]], ++n;
    }
    std::size_t seen = 0;
    int lo = 0, hi = 255;
    for (int v = 0; v < 256; ++v) {
        seen += hist[static_cast<std::size_t>(v)];
        if (seen <= n / 20) lo = v;
        if (seen <= n - n / 20) hi = v;
    }
    return std::max(kMinStrength, 0.2 * (hi - lo));
}

// Keeps the strongest peak within half a pitch, of about the same size.
std::vector<RingPeak> suppress(std::vector<RingPeak> peaks) {
    std::sort(peaks.begin(), peaks.end(), [](const RingPeak& a, const RingPeak& b) { return a.strength > b.strength; });
    std::unordered_map<long long, std::vector<int>> grid;
    auto key = [](int gx, int gy) { return (static_cast<long long>(gx) << 32) ^ static_cast<unsigned>(gy); };
    std::vector<RingPeak> out;
    for (const RingPeak& p : peaks) {
        const double radius = 0.5 * block::kPitch * p.unit;
        const double cell = 0.5 * block::kPitch * p.unit;
        const int gx = static_cast<int>(std::floor(p.centre.x / cell)), gy = static_cast<int>(std::floor(p.centre.y / cell));
        bool taken = false;
        // Cells of a size's own: look as far as the largest neighbour could reach.
        for (int dy = -2; dy <= 2 && !taken; ++dy)
            for (int dx = -2; dx <= 2 && !taken; ++dx) {
                auto it = grid.find(key(gx + dx, gy + dy));
                if (it == grid.end()) continue;
                for (int j : it->second) {
                    const RingPeak& q = out[static_cast<std::size_t>(j)];
                    if (std::abs(q.unit / p.unit - 1) > 0.5) continue;
                    const cv::Point2d d = q.centre - p.centre;
                    if (d.dot(d) < radius * radius) {
                        taken = true;
                        break;
                    }
                }
            }
        if (taken) continue;
        grid[key(gx, gy)].push_back(static_cast<int>(out.size()));
        out.push_back(p);
    }
    return out;
}

}  // namespace

double ring_response(const cv::Mat& grey, cv::Point2d p, double unit) {
    std::array<double, kStrokePoints> sv{};
    for (int k = 0; k < kStrokePoints; ++k) {
        const double a = 2 * kPi * k / kStrokePoints;
        sv[static_cast<std::size_t>(k)] =
            bilinear(grey, p.x + kStroke * unit * std::cos(a), p.y + kStroke * unit * std::sin(a));
    }
    const double d = kDiagonal * unit;
    const double paper = paper_of({bilinear(grey, p.x - d, p.y - d), bilinear(grey, p.x + d, p.y - d),
                                   bilinear(grey, p.x + d, p.y + d), bilinear(grey, p.x - d, p.y + d)});
    std::nth_element(sv.begin(), sv.begin() + kLightRank, sv.end(), std::greater<>());
    const double v = paper - sv[kLightRank];
    return std::isnan(v) ? 0.0 : v;
}

std::vector<RingPeak> find_ring_peaks(const cv::Mat& grey, double min_unit, double max_unit,
                                      const Deadline& deadline) {
    std::vector<RingPeak> peaks;
    if (grey.empty() || grey.type() != CV_8UC1 || min_unit <= 0 || max_unit < min_unit) return peaks;
    // Each size is looked for on the halving of the picture where a unit is
    // 0.6 to 1.2 pixels, smoothed by most of a unit.
    std::vector<cv::Mat> levels{grey};
    for (double u = min_unit; u <= max_unit * 1.01; u *= 1.35) {
        if (deadline.passed()) break;
        int level = 0;
        while (u / std::pow(2.0, level + 1) >= 0.6) ++level;
        while (static_cast<int>(levels.size()) <= level) {
            cv::Mat half;
            const cv::Mat& last = levels.back();
            if (last.cols < 8 || last.rows < 8) break;
            cv::resize(last(cv::Rect(0, 0, last.cols / 2 * 2, last.rows / 2 * 2)), half,
                       cv::Size(last.cols / 2, last.rows / 2), 0, 0, cv::INTER_AREA);
            levels.push_back(half);
        }
        if (static_cast<int>(levels.size()) <= level) break;
        const double scale = std::pow(2.0, level);
        const double unit_here = u / scale;
        const auto t0 = std::chrono::steady_clock::now();
        cv::Mat smooth;
        cv::GaussianBlur(levels[static_cast<std::size_t>(level)], smooth, cv::Size(), std::max(0.5, 0.7 * unit_here));
        if (std::getenv("IDR_TRACE")) std::fprintf(stderr, "blur %.1f ms\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        scan_level(smooth, unit_here, scale, u, min_strength_of(smooth), deadline, peaks);
        if (std::getenv("IDR_TRACE")) std::fprintf(stderr, "ring scan u %.2f level %d (%dx%d): %zu peaks, %.1f ms\n", u, level, smooth.cols, smooth.rows, peaks.size(), std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    // Rings are printed alike: peaks much weaker than the page's strong ones
    // are grain and dots, however many.
    if (peaks.size() > 400) {
        std::vector<double> strengths;
        for (const auto& p : peaks) strengths.push_back(p.strength);
        std::nth_element(strengths.begin(), strengths.begin() + 199, strengths.end(), std::greater<>());
        const double least = 0.4 * strengths[199];
        peaks.erase(std::remove_if(peaks.begin(), peaks.end(), [&](const RingPeak& p) { return p.strength < least; }),
                    peaks.end());
    }
    return suppress(std::move(peaks));
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
