#include "scan/homography.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace idr::scan {
namespace {

constexpr int kSampleSize = 4;
constexpr int kMaxIterations = 2000;
constexpr double kConfidence = 0.995;
constexpr int kSampleAttempts = 300;  // draws per iteration before giving up on a good sample
constexpr int kRefineIterations = 10;
constexpr std::uint64_t kSeed = 0x1d5ee5d5eedULL;

// A fixed-seed generator (splitmix64): the same points give the same samples
// on every run and every standard library.
class SampleRandom {
public:
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t state_ = kSeed;
};

cv::Point2d apply(const cv::Matx33d& h, const cv::Point2d& p) {
    const double w = h(2, 0) * p.x + h(2, 1) * p.y + h(2, 2);
    const double iw = std::abs(w) > std::numeric_limits<double>::epsilon() ? 1.0 / w : 0.0;
    return {(h(0, 0) * p.x + h(0, 1) * p.y + h(0, 2)) * iw, (h(1, 0) * p.x + h(1, 1) * p.y + h(1, 2)) * iw};
}

double squared_error(const cv::Matx33d& h, const cv::Point2d& s, const cv::Point2d& d) {
    const cv::Point2d e = apply(h, s) - d;
    return e.dot(e);
}

// Moves the points' centroid to the origin and scales each axis to a mean
// distance of 1 from it, so the linear system is well conditioned whatever
// the units (Hartley's normalization).
cv::Matx33d normalizing(const std::vector<cv::Point2d>& points, const std::vector<int>& use) {
    cv::Point2d centre(0, 0);
    for (const int i : use) centre += points[static_cast<std::size_t>(i)];
    centre *= 1.0 / static_cast<double>(use.size());
    double sx = 0, sy = 0;
    for (const int i : use) {
        sx += std::abs(points[static_cast<std::size_t>(i)].x - centre.x);
        sy += std::abs(points[static_cast<std::size_t>(i)].y - centre.y);
    }
    const double n = static_cast<double>(use.size());
    if (sx < std::numeric_limits<double>::epsilon() * n || sy < std::numeric_limits<double>::epsilon() * n) {
        return cv::Matx33d::zeros();
    }
    sx = n / sx;
    sy = n / sy;
    return {sx, 0, -centre.x * sx, 0, sy, -centre.y * sy, 0, 0, 1};
}

// The direct linear transform on the points `use`: the H that minimizes the
// algebraic error, from the smallest eigenvector of the normal equations.
// Nothing when the points do not fix one (collinear, coincident).
std::optional<cv::Matx33d> dlt(const std::vector<cv::Point2d>& src, const std::vector<cv::Point2d>& dst,
                               const std::vector<int>& use) {
    const cv::Matx33d ts = normalizing(src, use), td = normalizing(dst, use);
    if (ts(2, 2) == 0 || td(2, 2) == 0) return std::nullopt;
    cv::Matx<double, 9, 9> ltl = cv::Matx<double, 9, 9>::zeros();
    for (const int i : use) {
        const cv::Point2d s = apply(ts, src[static_cast<std::size_t>(i)]);
        const cv::Point2d d = apply(td, dst[static_cast<std::size_t>(i)]);
        const double rows[2][9] = {{s.x, s.y, 1, 0, 0, 0, -d.x * s.x, -d.x * s.y, -d.x},
                                   {0, 0, 0, s.x, s.y, 1, -d.y * s.x, -d.y * s.y, -d.y}};
        for (const auto& r : rows)
            for (int a = 0; a < 9; ++a)
                for (int b = a; b < 9; ++b) ltl(a, b) += r[a] * r[b];
    }
    for (int a = 0; a < 9; ++a)
        for (int b = 0; b < a; ++b) ltl(a, b) = ltl(b, a);
    cv::Mat values, vectors;
    if (!cv::eigen(cv::Mat(ltl), values, vectors)) return std::nullopt;
    // Eigenvalues come largest first. A second near-zero one means the
    // points allow a whole family of maps: no single answer.
    const double largest = values.at<double>(0);
    if (!(largest > 0) || values.at<double>(7) <= largest * 1e-13) return std::nullopt;
    cv::Matx33d hn;
    for (int k = 0; k < 9; ++k) hn(k / 3, k % 3) = vectors.at<double>(8, k);
    const cv::Matx33d h = td.inv() * hn * ts;
    if (std::abs(h(2, 2)) <= std::numeric_limits<double>::epsilon() || std::abs(cv::determinant(h)) <= 0) {
        return std::nullopt;
    }
    return h * (1.0 / h(2, 2));
}

double cross(const cv::Point2d& a, const cv::Point2d& b, const cv::Point2d& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// A sample fixes a usable map only when no three of its points are on one
// line and every triangle keeps its turning sense from source to
// destination (a map that turns one inside out cannot be a view of a plane).
bool good_sample(const std::vector<cv::Point2d>& src, const std::vector<cv::Point2d>& dst,
                 const std::array<int, kSampleSize>& s) {
    static constexpr int kTriples[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
    for (const auto& t : kTriples) {
        const auto& a = s[static_cast<std::size_t>(t[0])];
        const auto& b = s[static_cast<std::size_t>(t[1])];
        const auto& c = s[static_cast<std::size_t>(t[2])];
        const double cs = cross(src[static_cast<std::size_t>(a)], src[static_cast<std::size_t>(b)],
                                src[static_cast<std::size_t>(c)]);
        const double cd = cross(dst[static_cast<std::size_t>(a)], dst[static_cast<std::size_t>(b)],
                                dst[static_cast<std::size_t>(c)]);
        if (std::abs(cs) <= std::numeric_limits<double>::epsilon() ||
            std::abs(cd) <= std::numeric_limits<double>::epsilon() || (cs > 0) != (cd > 0)) {
            return false;
        }
    }
    return true;
}

// How many more samples give `confidence` of having drawn one free of
// outliers, at the outlier share seen so far.
int iterations_needed(double outlier_share, int current) {
    const double num = std::log(1 - kConfidence);
    const double denom = std::log(1 - std::pow(1 - outlier_share, kSampleSize));
    if (denom >= 0 || -num >= current * -denom) return current;
    return static_cast<int>(std::round(num / denom));
}

// Levenberg-Marquardt on the eight free entries (H(2,2) stays 1), reducing
// the summed squared reprojection distance over the points `use`.
cv::Matx33d refine(cv::Matx33d h, const std::vector<cv::Point2d>& src, const std::vector<cv::Point2d>& dst,
                   const std::vector<int>& use) {
    auto total_error = [&](const cv::Matx33d& m) {
        double sum = 0;
        for (const int i : use) sum += squared_error(m, src[static_cast<std::size_t>(i)], dst[static_cast<std::size_t>(i)]);
        return sum;
    };
    double error = total_error(h);
    double lambda = 1e-3;
    for (int iteration = 0; iteration < kRefineIterations && error > 0; ++iteration) {
        cv::Matx<double, 8, 8> jtj = cv::Matx<double, 8, 8>::zeros();
        cv::Matx<double, 8, 1> jtr = cv::Matx<double, 8, 1>::zeros();
        for (const int i : use) {
            const cv::Point2d s = src[static_cast<std::size_t>(i)], d = dst[static_cast<std::size_t>(i)];
            const double w = h(2, 0) * s.x + h(2, 1) * s.y + 1.0;
            if (std::abs(w) <= std::numeric_limits<double>::epsilon()) continue;
            const double iw = 1.0 / w;
            const double px = (h(0, 0) * s.x + h(0, 1) * s.y + h(0, 2)) * iw;
            const double py = (h(1, 0) * s.x + h(1, 1) * s.y + h(1, 2)) * iw;
            const double jx[8] = {s.x * iw, s.y * iw, iw, 0, 0, 0, -px * s.x * iw, -px * s.y * iw};
            const double jy[8] = {0, 0, 0, s.x * iw, s.y * iw, iw, -py * s.x * iw, -py * s.y * iw};
            const double rx = px - d.x, ry = py - d.y;
            for (int a = 0; a < 8; ++a) {
                jtr(a) += jx[a] * rx + jy[a] * ry;
                for (int b = a; b < 8; ++b) jtj(a, b) += jx[a] * jx[b] + jy[a] * jy[b];
            }
        }
        for (int a = 0; a < 8; ++a)
            for (int b = 0; b < a; ++b) jtj(a, b) = jtj(b, a);
        bool improved = false;
        for (int attempt = 0; attempt < 8 && !improved; ++attempt) {
            cv::Matx<double, 8, 8> damped = jtj;
            for (int a = 0; a < 8; ++a) damped(a, a) *= 1 + lambda;
            cv::Matx<double, 8, 1> step;
            if (!cv::solve(damped, -jtr, step, cv::DECOMP_CHOLESKY) && !cv::solve(damped, -jtr, step, cv::DECOMP_SVD)) break;
            cv::Matx33d trial = h;
            for (int k = 0; k < 8; ++k) trial(k / 3, k % 3) += step(k);
            const double trial_error = total_error(trial);
            if (std::isfinite(trial_error) && trial_error < error) {
                h = trial;
                error = trial_error;
                lambda = std::max(lambda / 10, 1e-12);
                improved = true;
            } else {
                lambda *= 10;
            }
        }
        if (!improved) break;
    }
    return h;
}

}  // namespace

cv::Mat find_homography(const std::vector<cv::Point2d>& src, const std::vector<cv::Point2d>& dst, double ransac_px,
                        cv::Mat& inliers) {
    inliers.release();
    const int n = static_cast<int>(src.size());
    if (n < kSampleSize || src.size() != dst.size()) return {};
    std::vector<int> use;
    if (ransac_px <= 0 || n == kSampleSize) {
        for (int i = 0; i < n; ++i) use.push_back(i);
    } else {
        const double limit = ransac_px * ransac_px;
        SampleRandom random;
        std::vector<std::uint8_t> best;
        int best_count = 0;
        int needed = kMaxIterations;
        std::vector<std::uint8_t> mask(static_cast<std::size_t>(n));
        std::vector<int> sample_use(kSampleSize);
        for (int iteration = 0; iteration < needed; ++iteration) {
            std::array<int, kSampleSize> sample{};
            bool found = false;
            for (int attempt = 0; attempt < kSampleAttempts && !found; ++attempt) {
                for (int k = 0; k < kSampleSize; ++k) {
                    int pick;
                    do {
                        pick = random.below(n);
                    } while (std::find(sample.begin(), sample.begin() + k, pick) != sample.begin() + k);
                    sample[static_cast<std::size_t>(k)] = pick;
                }
                found = good_sample(src, dst, sample);
            }
            if (!found) break;  // the points have no four in general position
            std::copy(sample.begin(), sample.end(), sample_use.begin());
            const std::optional<cv::Matx33d> h = dlt(src, dst, sample_use);
            if (!h) continue;
            int count = 0;
            for (int i = 0; i < n; ++i) {
                const bool in = squared_error(*h, src[static_cast<std::size_t>(i)], dst[static_cast<std::size_t>(i)]) <= limit;
                mask[static_cast<std::size_t>(i)] = in ? 1 : 0;
                count += in ? 1 : 0;
            }
            if (count > best_count) {
                best_count = count;
                best = mask;
                needed = iterations_needed(static_cast<double>(n - count) / n, needed);
            }
        }
        if (best_count < kSampleSize) return {};
        for (int i = 0; i < n; ++i)
            if (best[static_cast<std::size_t>(i)]) use.push_back(i);
    }
    std::optional<cv::Matx33d> h = dlt(src, dst, use);
    if (!h) return {};
    cv::Matx33d refined = refine(*h, src, dst, use);
    // The best sample's consensus was judged by a map fitted to four noisy
    // points; far from them it strays. Judged again by the map fitted to the
    // whole consensus, and fitted again, until the points it keeps settle.
    for (int round = 0; ransac_px > 0 && round < 3; ++round) {
        std::vector<int> kept;
        for (int i = 0; i < n; ++i)
            if (squared_error(refined, src[static_cast<std::size_t>(i)], dst[static_cast<std::size_t>(i)]) <=
                ransac_px * ransac_px)
                kept.push_back(i);
        if (kept == use || kept.size() < kSampleSize) break;
        h = dlt(src, dst, kept);
        if (!h) break;
        use = std::move(kept);
        refined = refine(*h, src, dst, use);
    }
    inliers = cv::Mat::zeros(n, 1, CV_8U);
    for (const int i : use) inliers.at<std::uint8_t>(i) = 1;
    return cv::Mat(refined, true);
}

}  // namespace idr::scan
