#include "scan/locate.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <numeric>
#include <unordered_map>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "scan/homography.h"

namespace idr::scan {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A ring (or a filled bubble) seen on the page: its centre in working-image
// pixels and the block unit its size implies.
struct Candidate {
    cv::Point2d centre;
    double unit;  // working-image pixels per block unit
};

// ---------------------------------------------------------------- candidates

// Outer edges of rings and filled bubbles are circles 20 units across; the
// holes inside rings are circles 2 x kRingInnerRadius across.
// Dark against the local mean (`block_size` pixels around, 0: from the
// picture's size), or, with kOneThreshold, against one threshold for the whole
// picture (Otsu's): a tenth of the cost, and enough for an evenly lit scan.
constexpr int kOneThreshold = -1;

std::vector<Candidate> find_candidates(const cv::Mat& grey, int block_size = 0) {
    const int long_side = std::max(grey.cols, grey.rows);
    cv::Mat dark;
    if (block_size == kOneThreshold) {
        cv::threshold(grey, dark, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    } else {
        if (block_size <= 0) block_size = std::clamp(long_side / 45, 9, 101);
        block_size |= 1;
        cv::adaptiveThreshold(grey, dark, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, block_size, 12);
    }

    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(dark, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);

    std::vector<Candidate> out;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        const auto& c = contours[i];
        if (c.size() < 12) continue;
        const cv::Rect box = cv::boundingRect(c);
        if (box.width < 5 || box.height < 5 || box.width > 200 || box.height > 200) continue;
        const double aspect = static_cast<double>(box.width) / box.height;
        if (aspect < 0.7 || aspect > 1.43) continue;
        // A circle's outline has about pi times its width in points; letters
        // and lines have many more or fewer. Cheaper than the moments.
        const double points_per_width = static_cast<double>(c.size()) / box.width;
        if (points_per_width < 1.8 || points_per_width > 4.5) continue;
        const cv::Moments m = cv::moments(c);
        const double area = std::abs(m.m00);
        if (area < 12) continue;
        const double perimeter = cv::arcLength(c, true);
        const double circularity = 4 * kPi * area / (perimeter * perimeter);
        if (circularity < 0.55) continue;
        const double fill = area / (static_cast<double>(box.width) * box.height);
        if (fill < 0.55 || fill > 0.95) continue;
        const bool hole = hierarchy[i][3] >= 0;
        const double diameter = 2 * std::sqrt(area / kPi);
        // A traced hole boundary runs along the dark pixels around the hole,
        // half a pixel outside it; a traced outer boundary half a pixel inside.
        const double unit = hole ? (diameter + 1.0) / (2 * block::kRingInnerRadius)
                                 : (diameter + 1.0) / (2 * block::kRingOuterRadius);
        if (unit < 0.3 || unit > 8) continue;
        out.push_back({{m.m10 / m.m00, m.m01 / m.m00}, unit});
    }
    return out;
}

// Outer edge and hole of one ring give two candidates at the same place: keep
// one, at their mean.
std::vector<Candidate> merge_duplicates(std::vector<Candidate> in) {
    std::sort(in.begin(), in.end(), [](const Candidate& a, const Candidate& b) { return a.centre.x < b.centre.x; });
    std::vector<bool> used(in.size(), false);
    std::vector<Candidate> out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (used[i]) continue;
        Candidate sum = in[i];
        int n = 1;
        const double reach = 4 * in[i].unit;
        for (std::size_t j = i + 1; j < in.size() && in[j].centre.x - in[i].centre.x < reach; ++j) {
            if (used[j]) continue;
            if (std::abs(in[j].centre.y - in[i].centre.y) < reach &&
                std::abs(in[j].unit / in[i].unit - 1) < 0.35) {
                used[j] = true;
                sum.centre += in[j].centre;
                sum.unit += in[j].unit;
                ++n;
            }
        }
        out.push_back({sum.centre / n, sum.unit / n});
    }
    return out;
}

// ---------------------------------------------------------------- lattice

struct Edge {
    int to;
    cv::Point2d vec;
};

struct Lattice {
    std::map<std::pair<int, int>, int> node;  // (u, v) -> candidate index
};

double wrap_quarter(double deg) {
    // Into [-45, 45).
    double a = std::fmod(deg + 45.0, 90.0);
    if (a < 0) a += 90.0;
    return a - 45.0;
}

std::vector<std::vector<Edge>> pitch_edges(const std::vector<Candidate>& cands) {
    double max_pitch = 0;
    for (const auto& c : cands) max_pitch = std::max(max_pitch, block::kPitch * c.unit);
    const double cell = std::max(4.0, max_pitch * 1.3);
    std::unordered_map<long long, std::vector<int>> grid;
    auto key = [&](int gx, int gy) { return (static_cast<long long>(gx) << 32) ^ static_cast<unsigned>(gy); };
    for (int i = 0; i < static_cast<int>(cands.size()); ++i)
        grid[key(static_cast<int>(std::floor(cands[i].centre.x / cell)),
                 static_cast<int>(std::floor(cands[i].centre.y / cell)))]
            .push_back(i);

    std::vector<std::vector<Edge>> edges(cands.size());
    for (int i = 0; i < static_cast<int>(cands.size()); ++i) {
        const auto& a = cands[i];
        const double pitch = block::kPitch * a.unit;
        const int gx = static_cast<int>(std::floor(a.centre.x / cell));
        const int gy = static_cast<int>(std::floor(a.centre.y / cell));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                auto it = grid.find(key(gx + dx, gy + dy));
                if (it == grid.end()) continue;
                for (int j : it->second) {
                    if (j == i) continue;
                    const auto& b = cands[j];
                    if (std::abs(b.unit / a.unit - 1) > 0.35) continue;
                    const cv::Point2d d = b.centre - a.centre;
                    const double len = std::hypot(d.x, d.y);
                    if (len < 0.78 * pitch || len > 1.25 * pitch) continue;
                    edges[i].push_back({j, d});
                }
            }
    }
    return edges;
}

// The lattice's direction: the commonest edge angle, folded into a quarter turn.
double dominant_angle(const std::vector<std::vector<Edge>>& edges) {
    std::array<double, 90> hist{};
    for (const auto& list : edges)
        for (const auto& e : list) {
            const double a = wrap_quarter(std::atan2(e.vec.y, e.vec.x) * 180 / kPi);
            hist[static_cast<std::size_t>(std::clamp(static_cast<int>(std::floor(a + 45)), 0, 89))] += 1;
        }
    std::size_t best = 0;
    double best_sum = -1;
    for (std::size_t i = 0; i < 90; ++i) {
        const double s = hist[(i + 89) % 90] + 2 * hist[i] + hist[(i + 1) % 90];
        if (s > best_sum) best_sum = s, best = i;
    }
    // Refine with the mean of the edges near the peak.
    double sum = 0, n = 0;
    const double peak = static_cast<double>(best) - 44.5;
    for (const auto& list : edges)
        for (const auto& e : list) {
            const double a = wrap_quarter(std::atan2(e.vec.y, e.vec.x) * 180 / kPi);
            double d = a - peak;
            if (d > 45) d -= 90;
            if (d < -45) d += 90;
            if (std::abs(d) <= 3) sum += d, n += 1;
        }
    return n > 0 ? peak + sum / n : peak;
}

// Grows lattices of candidates linked by pitch steps along the two axes.
std::vector<Lattice> grow_lattices(const std::vector<Candidate>& cands, const std::vector<std::vector<Edge>>& edges,
                                   double angle_deg) {
    const double t = angle_deg * kPi / 180;
    const double ct = std::cos(t), st = std::sin(t);
    std::vector<int> seen(cands.size(), 0);
    std::vector<Lattice> out;
    for (int start = 0; start < static_cast<int>(cands.size()); ++start) {
        if (seen[start] || edges[start].empty()) continue;
        Lattice lat;
        std::map<int, std::pair<int, int>> coord;
        std::deque<int> queue{start};
        seen[start] = 1;
        coord[start] = {0, 0};
        lat.node[{0, 0}] = start;
        while (!queue.empty()) {
            const int i = queue.front();
            queue.pop_front();
            const auto [u, v] = coord[i];
            for (const auto& e : edges[i]) {
                // The step in lattice axes.
                const double x = e.vec.x * ct + e.vec.y * st;
                const double y = -e.vec.x * st + e.vec.y * ct;
                const double a = std::atan2(y, x) * 180 / kPi;
                int du = 0, dv = 0;
                if (std::abs(a) < 20) du = 1;
                else if (std::abs(a) > 160) du = -1;
                else if (std::abs(a - 90) < 20) dv = 1;
                else if (std::abs(a + 90) < 20) dv = -1;
                else continue;
                const std::pair<int, int> at{u + du, v + dv};
                if (seen[e.to]) continue;
                if (lat.node.count(at)) continue;
                seen[e.to] = 1;
                coord[e.to] = at;
                lat.node[at] = e.to;
                queue.push_back(e.to);
            }
        }
        if (lat.node.size() >= 30) out.push_back(std::move(lat));
    }
    return out;
}

// ---------------------------------------------------------------- fitting

double sample(const cv::Mat& grey, cv::Point2d p) {
    // Bilinear, NaN outside.
    if (!(p.x >= 0 && p.y >= 0 && p.x <= grey.cols - 1 && p.y <= grey.rows - 1)) return std::nan("");
    const int x0 = std::min(static_cast<int>(p.x), grey.cols - 2 < 0 ? 0 : grey.cols - 2);
    const int y0 = std::min(static_cast<int>(p.y), grey.rows - 2 < 0 ? 0 : grey.rows - 2);
    const int x1 = std::min(x0 + 1, grey.cols - 1), y1 = std::min(y0 + 1, grey.rows - 1);
    const double fx = p.x - x0, fy = p.y - y0;
    const auto at = [&](int x, int y) { return static_cast<double>(grey.at<std::uint8_t>(y, x)); };
    return (at(x0, y0) * (1 - fx) + at(x1, y0) * fx) * (1 - fy) + (at(x0, y1) * (1 - fx) + at(x1, y1) * fx) * fy;
}

double median(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    if (v.empty()) return std::nan("");
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// How clearly the block's own features stand where `h` puts them: the frame's
// top rule and the rule under the column numbers (answer areas have neither
// 75 units above their rings), and the column rules in the numbers band,
// each against the paper beside it, relative to how dark the rings are.
double frame_score(const cv::Mat& grey, const cv::Matx33d& h) {
    auto at = [&](double x, double y) { return sample(grey, map_point(h, {x, y})); };
    std::vector<double> ring, rule;
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; r += 3) {
            const cv::Point2d b = bubble_centre(c, r);
            const double paper = at(b.x, b.y + 12.5);
            for (int k = 0; k < 8; ++k) {
                const double a = k * kPi / 4;
                const double v = at(b.x + 9.15 * std::cos(a), b.y + 9.15 * std::sin(a));
                ring.push_back((paper - v) / std::max(paper, 1.0));
            }
        }
    const double top = block::kFrameTopRow + 0.5, under = block::kNumbersRuleRow + 0.5;
    for (double x = 7; x < 255; x += 2.5) {
        const double p1 = at(x, top - 4), d1 = at(x, top), q1 = at(x, top + 4);
        rule.push_back((std::min(p1, q1) - d1) / std::max(std::max(p1, q1), 1.0));
        const double p2 = at(x, under - 4), d2 = at(x, under), q2 = at(x, under + 4);
        rule.push_back((std::min(p2, q2) - d2) / std::max(std::max(p2, q2), 1.0));
    }
    for (int k = 0; k <= block::kColumns; ++k) {
        const double x = block::kRuleX(k) + 0.8;
        for (double y = 34; y < 105; y += 3) {
            const double l = at(x - 2.6, y), d = at(x, y), rr = at(x + 2.6, y);
            rule.push_back((std::min(l, rr) - d) / std::max(std::max(l, rr), 1.0));
        }
    }
    const double ring_contrast = median(ring);
    const double rule_contrast = median(rule);
    if (std::isnan(ring_contrast) || std::isnan(rule_contrast) || ring_contrast < 0.03) return 0;
    return std::clamp(rule_contrast / ring_contrast, 0.0, 1.5);
}

struct Fit {
    cv::Matx33d h;
    int used = 0;
    double rms_px = 0;
};

std::optional<Fit> fit_homography(const std::vector<cv::Point2d>& block_pts, const std::vector<cv::Point2d>& page_pts,
                                  double ransac_px) {
    if (block_pts.size() < 8) return std::nullopt;
    cv::Mat mask;
    cv::Mat h = find_homography(block_pts, page_pts, ransac_px, mask);
    if (h.empty()) return std::nullopt;
    Fit fit;
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

double local_unit(const cv::Matx33d& h, cv::Point2d b) {
    const cv::Point2d o = map_point(h, b);
    const cv::Point2d ex = map_point(h, b + cv::Point2d(1, 0)) - o;
    const cv::Point2d ey = map_point(h, b + cv::Point2d(0, 1)) - o;
    return std::sqrt(std::abs(ex.x * ey.y - ex.y * ey.x));
}

struct Hypothesis {
    Fit fit;
    double score = 0;
};

// Tries every placement of the 10 x 10 block on a lattice and keeps the one
// that the frame confirms best.
std::optional<Hypothesis> best_placement(const cv::Mat& grey, const std::vector<Candidate>& cands,
                                         const Lattice& lat) {
    int umin = 1 << 30, umax = -(1 << 30), vmin = umin, vmax = umax;
    for (const auto& [uv, i] : lat.node) {
        umin = std::min(umin, uv.first), umax = std::max(umax, uv.first);
        vmin = std::min(vmin, uv.second), vmax = std::max(vmax, uv.second);
    }
    if (umax - umin + 1 < 8 || vmax - vmin + 1 < 8) return std::nullopt;
    std::optional<Hypothesis> best;
    for (int ou = std::min(umin, umax - 9); ou <= std::max(umin, umax - 9); ++ou)
        for (int ov = std::min(vmin, vmax - 9); ov <= std::max(vmin, vmax - 9); ++ov) {
            std::vector<cv::Point2d> bp, pp;
            for (const auto& [uv, i] : lat.node) {
                const int c = uv.first - ou, r = uv.second - ov;
                if (c < 0 || c > 9 || r < 0 || r > 9) continue;
                bp.push_back(bubble_centre(c, r));
                pp.push_back(cands[i].centre);
            }
            if (bp.size() < 40) continue;
            const double pitch = block::kPitch * cands[lat.node.begin()->second].unit;
            auto fit = fit_homography(bp, pp, 0.15 * pitch);
            if (!fit) continue;
            const double score = frame_score(grey, fit->h);
            if (!best || score > best->score) best = Hypothesis{*fit, score};
        }
    return best;
}

// Measures all 100 ring centres near where `h` puts them, from the
// candidates, and fits again on them.
std::optional<Fit> refine(const std::vector<Candidate>& cands, const cv::Matx33d& h) {
    const double unit = local_unit(h, {131, 231});
    const double reach = 0.2 * block::kPitch * unit;
    std::vector<cv::Point2d> bp, pp;
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; ++r) {
            const cv::Point2d b = bubble_centre(c, r);
            const cv::Point2d p = map_point(h, b);
            double best = reach * reach;
            const Candidate* found = nullptr;
            for (const auto& cand : cands) {
                const double dx = cand.centre.x - p.x, dy = cand.centre.y - p.y;
                if (std::abs(dx) >= reach || std::abs(dy) >= reach) continue;
                const double d = dx * dx + dy * dy;
                if (d < best) best = d, found = &cand;
            }
            if (found) {
                bp.push_back(b);
                pp.push_back(found->centre);
            }
        }
    auto fit = fit_homography(bp, pp, 0.08 * block::kPitch * unit);
    if (!fit) return std::nullopt;
    // Least squares on the inliers only.
    std::vector<cv::Point2d> bi, pi;
    for (std::size_t i = 0; i < bp.size(); ++i) {
        const cv::Point2d d = map_point(fit->h, bp[i]) - pp[i];
        if (std::hypot(d.x, d.y) < 0.08 * block::kPitch * unit) bi.push_back(bp[i]), pi.push_back(pp[i]);
    }
    auto ls = fit_homography(bi, pi, 0);
    return ls ? ls : fit;
}

Registration make_registration(const cv::Matx33d& h, const Fit& fit, double score) {
    Registration reg;
    reg.block_to_page = h;
    reg.corners = {map_point(h, bubble_centre(0, 0)), map_point(h, bubble_centre(9, 0)),
                   map_point(h, bubble_centre(9, 9)), map_point(h, bubble_centre(0, 9))};
    reg.unit_px = local_unit(h, {block::kWidth / 2.0, block::kHeight / 2.0});
    const cv::Point2d row = reg.corners[1] - reg.corners[0];
    reg.angle_deg = std::atan2(row.y, row.x) * 180 / kPi;
    reg.residual_units = fit.rms_px / std::max(reg.unit_px, 1e-9);
    reg.rings_measured = fit.used;
    reg.score = score;
    return reg;
}

constexpr double kMinFrameScore = 0.3;

// Every lattice's best placement of the block, best first, whatever its
// score; `why` says what was missing when there is none.
std::vector<Registration> placements_on(const cv::Mat& grey, std::string& why, int block_size = 0) {
    std::vector<Candidate> cands = merge_duplicates(find_candidates(grey, block_size));
    if (cands.size() < 50) {
        why = "no grid of bubble rings on the page";
        return {};
    }
    const auto edges = pitch_edges(cands);
    const double angle = dominant_angle(edges);
    const auto lattices = grow_lattices(cands, edges, angle);
    std::vector<Registration> out;
    for (const auto& lat : lattices) {
        auto h = best_placement(grey, cands, lat);
        if (!h) continue;
        auto refined = refine(cands, h->fit.h);
        const Fit& fit = refined ? *refined : h->fit;
        out.push_back(make_registration(fit.h, fit, h->score));
    }
    if (out.empty()) why = "no 10 x 10 grid of bubble rings on the page";
    std::sort(out.begin(), out.end(), [](const Registration& x, const Registration& y) { return x.score > y.score; });
    return out;
}

std::optional<Registration> locate_on(const cv::Mat& grey, std::string& why, int block_size = 0) {
    auto placements = placements_on(grey, why, block_size);
    if (placements.empty()) return std::nullopt;
    if (placements.front().score < kMinFrameScore) {
        why = "bubble rings found, but not the ID block's frame and column numbers above them";
        return std::nullopt;
    }
    return placements.front();
}

// Measures the rings again on the full picture, in the block's own area only,
// and fits anew: a block found on a reduced copy is registered at full
// precision for little more than the block's own pixels.
Registration refine_on_full(const cv::Mat& grey, const Registration& coarse) {
    std::vector<cv::Point2f> corners;
    for (const cv::Point2d b : {cv::Point2d(0, block::kGridTop - 5), cv::Point2d(block::kWidth, block::kGridTop - 5),
                                cv::Point2d(block::kWidth, block::kHeight), cv::Point2d(0, block::kHeight)}) {
        const cv::Point2d p = map_point(coarse.block_to_page, b);
        corners.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
    }
    const cv::Rect box = cv::boundingRect(corners);
    const int margin = static_cast<int>(std::ceil(8 * coarse.unit_px));
    const cv::Rect roi = cv::Rect(box.x - margin, box.y - margin, box.width + 2 * margin, box.height + 2 * margin) &
                         cv::Rect(0, 0, grey.cols, grey.rows);
    if (roi.width < 20 || roi.height < 20) return coarse;
    const int block_size = static_cast<int>(std::lround(1.6 * block::kPitch * coarse.unit_px));
    std::vector<Candidate> cands = merge_duplicates(find_candidates(grey(roi), std::clamp(block_size, 9, 201)));
    for (auto& c : cands) c.centre += cv::Point2d(roi.x, roi.y);
    auto fit = refine(cands, coarse.block_to_page);
    if (!fit || fit->used < 50) return coarse;
    return make_registration(fit->h, *fit, coarse.score);
}

}  // namespace

cv::Point2d bubble_centre(int c, int r) { return {block::bubble_centre_x(c), block::bubble_centre_y(r)}; }

cv::Point2d map_point(const cv::Matx33d& h, cv::Point2d p) {
    const double x = h(0, 0) * p.x + h(0, 1) * p.y + h(0, 2);
    const double y = h(1, 0) * p.x + h(1, 1) * p.y + h(1, 2);
    const double w = h(2, 0) * p.x + h(2, 1) * p.y + h(2, 2);
    return {x / w, y / w};
}

Registration scale_registration(const Registration& reg, double factor) {
    return scale_registration(reg, factor, factor);
}

Registration scale_registration(const Registration& reg, double fx, double fy) {
    // Pixel centres sit at integers: full = (reduced + 0.5) * factor - 0.5.
    const cv::Matx33d s(fx, 0, 0.5 * fx - 0.5, 0, fy, 0.5 * fy - 0.5, 0, 0, 1);
    Registration out = reg;
    out.block_to_page = s * reg.block_to_page;
    for (auto& c : out.corners) c = map_point(s, c);
    out.unit_px = reg.unit_px * std::sqrt(fx * fy);
    return out;
}

LocateResult locate_block(const cv::Mat& grey, const LocateOptions& options) {
    LocateResult result;
    if (grey.empty() || grey.type() != CV_8UC1) {
        result.why_not = "no picture";
        return result;
    }
    if (grey.cols < 40 || grey.rows < 40) {
        result.why_not = "the picture is too small to hold the ID block";
        return result;
    }
    // A reduced copy first (most pages print the block large enough to be
    // found there), the full picture only when that finds nothing.
    const int long_side = std::max(grey.cols, grey.rows);
    std::string why;
    const int k = static_cast<int>(std::lround(static_cast<double>(long_side) / options.coarse_long_side));
    if (k >= 2) {
        // A whole-number factor: averaging k x k squares is several times
        // faster than resampling by a fraction.
        const cv::Mat whole = grey(cv::Rect(0, 0, grey.cols / k * k, grey.rows / k * k));
        cv::Mat small;
        cv::resize(whole, small, cv::Size(whole.cols / k, whole.rows / k), 0, 0, cv::INTER_AREA);
        // The thin frame rules fade more than the rings on the reduced copy:
        // every 10 x 10 lattice found there is confirmed on the full picture.
        auto placements = placements_on(small, why);
        std::optional<Registration> best;
        for (std::size_t i = 0; i < placements.size() && i < 4; ++i) {
            Registration full = refine_on_full(grey, scale_registration(placements[i], k, k));
            full.score = frame_score(grey, full.block_to_page);
            if (full.score >= kMinFrameScore && (!best || full.score > best->score)) best = full;
        }
        if (best) {
            result.registration = best;
            return result;
        }
    }
    // One threshold for the page first (scans are evenly lit), the local
    // mean when that finds nothing (photos, shadows, tinted paper).
    std::string first_why;
    if (auto reg = locate_on(grey, first_why, kOneThreshold)) {
        // The rings measured again against the local mean, in the block's
        // area only: one threshold for a page blurs ring edges unevenly.
        result.registration = refine_on_full(grey, *reg);
        return result;
    }
    if (auto reg = locate_on(grey, why)) {
        result.registration = reg;
        return result;
    }
    result.why_not = why;
    return result;
}

}  // namespace idr::scan
