#include "scan/locate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <tuple>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "scan/level_histogram.h"
#include "scan/orientation.h"
#include "scan/outline_measures.h"
#include "scan/outline_tracer.h"
#include "scan/placement.h"
#include "scan/rectify.h"
#include "scan/ring_filter.h"

namespace idr::scan {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Work that grows with the picture's clutter is bounded: a page with more
// ring-like shapes than this is noise or dense dots, not an exam page (a
// full answer sheet has a few thousand).
constexpr std::size_t kMaxCandidates = 30000;
// Pitch links kept per candidate, nearest to a pitch first.
constexpr std::size_t kMaxLinks = 8;
// Placements fitted and scored per picture, most rings first.
constexpr std::size_t kMaxWindows = 60;
// A placement this well confirmed by the frame is the block: the search
// stops there.
constexpr double kSureScore = 0.6;
// Placements per pass measured again on the full picture.
constexpr std::size_t kConfirmed = 4;
// Rings a 10 x 10 window needs (of 100) to be fitted at all.
constexpr int kMinWindowRings = 45;
// Changes between dark and light per pixel beyond which a whole page is
// noise or dots (a page of print has 0.02-0.1, the block alone 0.1-0.22).
constexpr double kMaxTransitions = 0.25;
// A black-and-white page with no more changes than this is cleanly
// thresholded; more, and its grey is in dots.
constexpr double kCleanTransitions = 0.06;
// Outlines on a reduced page beyond which it is dots or noise: a page of
// print has a few thousand.
constexpr std::size_t kClutteredOutlines = 40000;

// Why the search stopped early.
enum class Stop { None, Clutter, Time };

// A ring (or a filled bubble) seen on the page: its centre in working-image
// pixels and the block unit its size implies.
struct Candidate {
    cv::Point2d centre;
    double unit;  // working-image pixels per block unit
};

struct Candidates {
    std::vector<Candidate> list;
    Stop stop = Stop::None;
    std::size_t outlines = 0;  // outlines traced
};

// ---------------------------------------------------------------- candidates

// Outer edges of rings and filled bubbles are circles 20 units across; the
// holes inside rings are circles 2 x kRingInnerRadius across.
// Dark against the local mean (`block_size` pixels around, 0: from the
// picture's size), or, with kOneThreshold, against one threshold for the whole
// picture (Otsu's): a tenth of the cost, and enough for an evenly lit scan.
constexpr int kOneThreshold = -1;

// Changes between dark and light per pixel along rows (every eighth row):
// a page of print has a few in a hundred, noise and dots tens.
double transition_density(const cv::Mat& binary) {
    std::size_t changes = 0, pixels = 0;
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full, kHigh = 0x8080808080808080ull;
    for (int y = 0; y < binary.rows; y += 8) {
        const std::uint8_t* p = binary.ptr<std::uint8_t>(y);
        int x = 1;
        // Eight neighbour pairs at a time: the high bit of each byte of
        // `differ` says whether that pair differs.
        for (; x + 8 <= binary.cols; x += 8) {
            std::uint64_t here, before;
            std::memcpy(&here, p + x, 8);
            std::memcpy(&before, p + x - 1, 8);
            const std::uint64_t d = here ^ before;
            const std::uint64_t differ = (((d & kLow7) + kLow7) | d) & kHigh;
            // Their number: the eight bits moved to the bytes' low ends and
            // summed into the top byte (the build targets CPUs without a
            // popcount instruction, where std::popcount is a library call).
            changes += static_cast<std::size_t>(((differ >> 7) * 0x0101010101010101ull) >> 56);
        }
        for (; x < binary.cols; ++x) changes += (p[x] != p[x - 1]);
        pixels += static_cast<std::size_t>(binary.cols);
    }
    return pixels ? static_cast<double>(changes) / static_cast<double>(pixels) : 0.0;
}

// `max_transitions` > 0: give up on a picture busier than that (a whole page).
// `close`: join strokes broken by a pixel (a clean black-and-white page
// breaks thin ring strokes where they run between pixels).
// `levels`: the picture's histogram when it was counted already, for the
// one threshold (Otsu's).
Candidates find_candidates(const cv::Mat& grey, const Deadline& deadline, int block_size, double max_transitions,
                           int close = 0, const LevelHistogram* levels = nullptr) {
    Candidates out;
    const int long_side = std::max(grey.cols, grey.rows);
    // The dark pixels are written inside a frame of one background pixel,
    // which the outline tracer needs round the picture: no padded copy.
    cv::Mat framed(grey.rows + 2, grey.cols + 2, CV_8UC1);
    std::fill_n(framed.ptr<std::uint8_t>(0), framed.cols, std::uint8_t{0});
    std::fill_n(framed.ptr<std::uint8_t>(framed.rows - 1), framed.cols, std::uint8_t{0});
    for (int y = 1; y + 1 < framed.rows; ++y) {
        std::uint8_t* row = framed.ptr<std::uint8_t>(y);
        row[0] = row[framed.cols - 1] = 0;
    }
    cv::Mat dark = framed(cv::Rect(1, 1, grey.cols, grey.rows));
    // The closing below sees the picture alone, not the frame round it.
    cv::Mat unframed;
    cv::Mat& binary = close > 0 ? unframed : dark;
    if (block_size == kOneThreshold) {
        // Otsu's level from one count of the picture, then the plain
        // threshold: what THRESH_OTSU does, with the count shared.
        const int level = otsu_level(levels ? *levels : count_levels(grey));
        cv::threshold(grey, binary, level, 255, cv::THRESH_BINARY_INV);
    } else {
        if (block_size <= 0) block_size = std::clamp(long_side / 45, 9, 101);
        block_size |= 1;
        cv::adaptiveThreshold(grey, binary, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, block_size, 12);
    }
    if (deadline.passed()) {
        out.stop = Stop::Time;
        return out;
    }
    // Tracing the outlines of noise or of a field of dots takes time that
    // grows faster than the picture; such a page holds no block anyway.
    if (max_transitions > 0 && transition_density(binary) > max_transitions) {
        out.stop = Stop::Clutter;
        return out;
    }
    if (close > 0) {
        cv::morphologyEx(unframed, unframed, cv::MORPH_CLOSE,
                         cv::getStructuringElement(close <= 3 ? cv::MORPH_RECT : cv::MORPH_ELLIPSE, {close, close}));
        unframed.copyTo(dark);
    }

    // The outer outlines and the holes' (two levels), each outline followed
    // by the holes inside it, exactly as OpenCV's tracer lists them: which
    // outlines pass the filters below, and so every candidate, depends on
    // that. Runs of pixels are kept as their ends: the same outlines, a
    // fraction of the points to store.
    OutlineTracer tracer;
    tracer.trace(framed);
    const std::vector<TracedOutline>& outlines = tracer.outlines();
    bool full = false;  // enough candidates: the rest are only counted

    for (std::size_t i = 0; i < outlines.size(); ++i) {
        ++out.outlines;
        if (full) continue;
        if ((i & 4095) == 4095 && deadline.passed()) {
            out.stop = Stop::Time;
            return out;
        }
        const TracedOutline& outline = outlines[i];
        if (outline.count < 4) continue;
        // The tracer's own box of the outline: that of its points.
        const cv::Rect box = outline.box;
        if (box.width < 5 || box.height < 5 || box.width > 200 || box.height > 200) continue;
        const double aspect = static_cast<double>(box.width) / box.height;
        if (aspect < 0.7 || aspect > 1.43) continue;
        // A circle's outline is about pi times its width long; letters and
        // lines are much longer or shorter.
        const OutlineMeasures m = measure_outline(tracer.points_of(outline), outline.count);
        const double perimeter = m.perimeter;
        const double length_per_width = perimeter / box.width;
        if (length_per_width < 2.2 || length_per_width > 4.8) continue;
        const double area = std::abs(m.m00);
        if (area < 12) continue;
        const double circularity = 4 * kPi * area / (perimeter * perimeter);
        if (circularity < 0.55) continue;
        const double fill = area / (static_cast<double>(box.width) * box.height);
        if (fill < 0.55 || fill > 0.95) continue;
        const bool hole = outline.hole;  // a hole's outline lies inside an outer one
        const double diameter = 2 * std::sqrt(area / kPi);
        // A traced hole boundary runs along the dark pixels around the hole,
        // half a pixel outside it; a traced outer boundary half a pixel inside.
        const double unit = hole ? (diameter + 1.0) / (2 * block::kRingInnerRadius)
                                 : (diameter + 1.0) / (2 * block::kRingOuterRadius);
        if (unit < 0.3 || unit > 8) continue;
        out.list.push_back({{m.m10 / m.m00, m.m01 / m.m00}, unit});
        if (out.list.size() > 2 * kMaxCandidates) full = true;
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

// Links between candidates of about the same size one pitch apart. The
// candidates are bucketed by size, and each bucket by place in cells of its
// own largest pitch, so a link search looks at the few candidates that could
// be one pitch away and of a size to match, however cluttered the page.
std::vector<std::vector<Edge>> pitch_edges(const std::vector<Candidate>& cands, const Deadline& deadline,
                                           Stop& stop) {
    constexpr double kBinRatio = 1.3;
    auto bin_of = [&](double unit) { return static_cast<int>(std::floor(std::log(unit) / std::log(kBinRatio))); };
    auto cell_of_bin = [&](int bin) { return 1.3 * block::kPitch * std::pow(kBinRatio, bin + 1); };
    // Every size bin's cells as one array over the cells its candidates
    // span, each cell's candidates in index order: a look-up is an index,
    // and a cell outside the span is empty.
    struct BinGrid {
        int gx0 = 0, gy0 = 0, width = 0, height = 0;
        double cell = 0;
        std::vector<int> start;    // per cell: where its candidates begin in `members` (one more at the end)
        std::vector<int> members;  // candidate indices, cell by cell
        std::pair<const int*, const int*> at(int gx, int gy) const {
            const int x = gx - gx0, y = gy - gy0;
            if (x < 0 || y < 0 || x >= width || y >= height) return {nullptr, nullptr};
            const std::size_t k = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
            return {members.data() + start[k], members.data() + start[k + 1]};
        }
    };
    struct Place {
        int bin, gx, gy;
    };
    std::vector<Place> places(cands.size());
    int bin_min = 0, bin_max = -1;
    for (std::size_t i = 0; i < cands.size(); ++i) {
        const int bin = bin_of(cands[i].unit);
        const double cell = cell_of_bin(bin);
        places[i] = {bin, static_cast<int>(std::floor(cands[i].centre.x / cell)),
                     static_cast<int>(std::floor(cands[i].centre.y / cell))};
        if (i == 0 || bin < bin_min) bin_min = bin;
        if (i == 0 || bin > bin_max) bin_max = bin;
    }
    std::vector<BinGrid> grids(static_cast<std::size_t>(std::max(bin_max - bin_min + 1, 0)));
    {
        std::vector<int> gx1(grids.size()), gy1(grids.size());
        std::vector<bool> seen(grids.size(), false);
        for (const Place& p : places) {
            const auto b = static_cast<std::size_t>(p.bin - bin_min);
            BinGrid& g = grids[b];
            if (!seen[b]) {
                seen[b] = true;
                g.gx0 = gx1[b] = p.gx;
                g.gy0 = gy1[b] = p.gy;
            }
            g.gx0 = std::min(g.gx0, p.gx), gx1[b] = std::max(gx1[b], p.gx);
            g.gy0 = std::min(g.gy0, p.gy), gy1[b] = std::max(gy1[b], p.gy);
        }
        for (std::size_t b = 0; b < grids.size(); ++b) {
            BinGrid& g = grids[b];
            g.cell = cell_of_bin(bin_min + static_cast<int>(b));
            if (!seen[b]) continue;
            g.width = gx1[b] - g.gx0 + 1;
            g.height = gy1[b] - g.gy0 + 1;
            g.start.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height) + 1, 0);
        }
        auto cell_index = [&](const Place& p) {
            const BinGrid& g = grids[static_cast<std::size_t>(p.bin - bin_min)];
            return static_cast<std::size_t>(p.gy - g.gy0) * static_cast<std::size_t>(g.width) +
                   static_cast<std::size_t>(p.gx - g.gx0);
        };
        for (const Place& p : places) ++grids[static_cast<std::size_t>(p.bin - bin_min)].start[cell_index(p) + 1];
        for (BinGrid& g : grids) {
            for (std::size_t k = 1; k < g.start.size(); ++k) g.start[k] += g.start[k - 1];
            g.members.resize(g.start.empty() ? 0 : static_cast<std::size_t>(g.start.back()));
        }
        std::vector<std::vector<int>> filled(grids.size());
        for (std::size_t b = 0; b < grids.size(); ++b) filled[b].assign(grids[b].start.begin(), grids[b].start.end());
        for (int i = 0; i < static_cast<int>(places.size()); ++i) {
            const Place& p = places[static_cast<std::size_t>(i)];
            const auto b = static_cast<std::size_t>(p.bin - bin_min);
            grids[b].members[static_cast<std::size_t>(filled[b][cell_index(p)]++)] = i;
        }
    }

    std::vector<std::vector<Edge>> edges(cands.size());
    std::vector<std::pair<double, Edge>> found;
    for (int i = 0; i < static_cast<int>(cands.size()); ++i) {
        if ((i & 1023) == 1023 && deadline.passed()) {
            stop = Stop::Time;
            return edges;
        }
        const auto& a = cands[i];
        const double pitch = block::kPitch * a.unit;
        const int bin = bin_of(a.unit);
        found.clear();
        for (int b = bin - 1; b <= bin + 1; ++b) {
            if (b < bin_min || b > bin_max) continue;  // no candidate of that size
            const BinGrid& g = grids[static_cast<std::size_t>(b - bin_min)];
            const double cell = g.cell;
            const int reach = static_cast<int>(std::ceil(1.25 * pitch / cell));
            const int gx = static_cast<int>(std::floor(a.centre.x / cell));
            const int gy = static_cast<int>(std::floor(a.centre.y / cell));
            for (int dy = -reach; dy <= reach; ++dy)
                for (int dx = -reach; dx <= reach; ++dx) {
                    const auto [first, last] = g.at(gx + dx, gy + dy);
                    for (const int* it = first; it != last; ++it) {
                        const int j = *it;
                        if (j == i) continue;
                        const auto& c = cands[j];
                        if (std::abs(c.unit / a.unit - 1) > 0.35) continue;
                        const cv::Point2d d = c.centre - a.centre;
                        const double len2 = d.dot(d);
                        if (len2 < 0.61 * pitch * pitch || len2 > 1.5625 * pitch * pitch) continue;
                        found.push_back({std::abs(std::sqrt(len2) / pitch - 1), Edge{j, d}});
                    }
                }
        }
        if (found.size() > kMaxLinks) {
            std::partial_sort(found.begin(), found.begin() + kMaxLinks, found.end(),
                              [](const auto& x, const auto& y) { return x.first < y.first; });
            found.resize(kMaxLinks);
        }
        auto& links = edges[static_cast<std::size_t>(i)];
        links.reserve(found.size());  // one allocation, not one per doubling
        for (const auto& f : found) links.push_back(f.second);
    }
    return edges;
}

// The lattice's direction: the commonest edge angle, folded into a quarter turn.
double dominant_angle(const std::vector<std::vector<Edge>>& edges) {
    std::array<double, 90> hist{};
    // Each link's angle once, for both passes.
    std::vector<double> angles;
    for (const auto& list : edges)
        for (const auto& e : list) {
            const double a = wrap_quarter(std::atan2(e.vec.y, e.vec.x) * 180 / kPi);
            angles.push_back(a);
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
    for (const double a : angles) {
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
    std::vector<std::pair<int, int>> coord(cands.size());
    std::vector<Lattice> out;
    for (int start = 0; start < static_cast<int>(cands.size()); ++start) {
        if (seen[start] || edges[start].empty()) continue;
        Lattice lat;
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

// ---------------------------------------------------------------- placements

double local_unit(const cv::Matx33d& h, cv::Point2d b) {
    const cv::Point2d o = map_point(h, b);
    const cv::Point2d ex = map_point(h, b + cv::Point2d(1, 0)) - o;
    const cv::Point2d ey = map_point(h, b + cv::Point2d(0, 1)) - o;
    return std::sqrt(std::abs(ex.x * ey.y - ex.y * ey.x));
}

struct Placement {
    cv::Matx33d h;  // block to working-image pixels, turn included
    PlacementFit fit;
    double score = 0;
};

// A 10 x 10 window of a lattice, by the number of candidates in it.
struct Window {
    int ou, ov, count;
};

// The windows of a lattice that hold enough rings to be the block, most first.
std::vector<Window> windows_of(const Lattice& lat) {
    int umin = 1 << 30, umax = -(1 << 30), vmin = umin, vmax = umax;
    for (const auto& [uv, i] : lat.node) {
        umin = std::min(umin, uv.first), umax = std::max(umax, uv.first);
        vmin = std::min(vmin, uv.second), vmax = std::max(vmax, uv.second);
    }
    if (umax - umin + 1 < 8 || vmax - vmin + 1 < 8) return {};
    // Lattices are walks over linked candidates; one that spans more than
    // a page of pitches is clutter linked by chance.
    const int w = umax - umin + 1, hgt = vmax - vmin + 1;
    if (w > 400 || hgt > 400) return {};
    // Counts in every window from a summed-area table.
    std::vector<int> sum(static_cast<std::size_t>(w + 1) * (hgt + 1), 0);
    auto s = [&](int u, int v) -> int& { return sum[static_cast<std::size_t>(v) * (w + 1) + u]; };
    for (const auto& [uv, i] : lat.node) s(uv.first - umin + 1, uv.second - vmin + 1) += 1;
    for (int v = 1; v <= hgt; ++v)
        for (int u = 1; u <= w; ++u) s(u, v) += s(u - 1, v) + s(u, v - 1) - s(u - 1, v - 1);
    auto count = [&](int u0, int v0) {
        const int u1 = std::clamp(u0 + 10, 0, w), v1 = std::clamp(v0 + 10, 0, hgt);
        u0 = std::clamp(u0, 0, w), v0 = std::clamp(v0, 0, hgt);
        return s(u1, v1) - s(u0, v1) - s(u1, v0) + s(u0, v0);
    };
    std::vector<Window> out;
    // Windows may stick out of a lattice narrower than 10 (rings missed at
    // its edge), by at most two.
    for (int ou = std::min(0, w - 10); ou <= std::max(0, w - 10); ++ou)
        for (int ov = std::min(0, hgt - 10); ov <= std::max(0, hgt - 10); ++ov) {
            const int n = count(ou, ov);
            if (n >= kMinWindowRings) out.push_back({ou + umin, ov + vmin, n});
        }
    std::sort(out.begin(), out.end(), [](const Window& a, const Window& b) { return a.count > b.count; });
    return out;
}

// Fits every window of every lattice and scores it in each of the four
// turns (a mirrored block scores as its mirror image does: the frame is
// symmetric, so the mirror is told later by the printed digits). Best first.
std::vector<Placement> place(const cv::Mat& grey, const std::vector<Candidate>& cands,
                             const std::vector<Lattice>& lattices, bool dashed, const Deadline& deadline, Stop& stop) {
    struct Job {
        const Lattice* lat;
        Window win;
    };
    std::vector<Job> jobs;
    for (const auto& lat : lattices)
        for (const Window& w : windows_of(lat)) jobs.push_back({&lat, w});
    std::stable_sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.win.count > b.win.count; });
    if (jobs.size() > kMaxWindows) jobs.resize(kMaxWindows);

    std::vector<Placement> out;
    for (const Job& job : jobs) {
        if (deadline.passed()) {
            stop = Stop::Time;
            break;
        }
        std::vector<cv::Point2d> bp, pp;
        for (const auto& [uv, i] : job.lat->node) {
            const int c = uv.first - job.win.ou, r = uv.second - job.win.ov;
            if (c < 0 || c > 9 || r < 0 || r > 9) continue;
            bp.push_back(bubble_centre(c, r));
            pp.push_back(cands[static_cast<std::size_t>(i)].centre);
        }
        const double pitch = block::kPitch * cands[static_cast<std::size_t>(job.lat->node.begin()->second)].unit;
        auto fit = fit_placement(bp, pp, 0.15 * pitch);
        if (!fit) continue;
        std::optional<Placement> best;
        for (int q = 0; q < 4; ++q) {
            const cv::Matx33d h = fit->h * block_symmetry(q, false);
            const PlacementScore ps = score_placement(grey, h, dashed);
            const double score = ps.total;
            if (!best || score > best->score) best = Placement{h, *fit, score};
        }
        out.push_back(*best);
        // Windows come most rings first, and nothing else on a page has the
        // block's frame: one that plainly has it ends the search.
        if (best->score >= kSureScore) break;
    }
    std::stable_sort(out.begin(), out.end(), [](const Placement& a, const Placement& b) { return a.score > b.score; });
    return out;
}

// The fit on measured ring centres: RANSAC to drop a ring measured wrong (a
// mark spilling over, a stray blob), then least squares on the rest.
std::optional<PlacementFit> fit_measured(const std::vector<cv::Point2d>& bp, const std::vector<cv::Point2d>& pp,
                                         double unit) {
    const double inlier = 0.08 * block::kPitch * unit;
    auto fit = fit_placement(bp, pp, inlier);
    if (!fit) return std::nullopt;
    std::vector<cv::Point2d> bi, pi;
    for (std::size_t i = 0; i < bp.size(); ++i) {
        const cv::Point2d d = map_point(fit->h, bp[i]) - pp[i];
        if (std::hypot(d.x, d.y) < inlier) bi.push_back(bp[i]), pi.push_back(pp[i]);
    }
    auto ls = fit_placement(bi, pi, 0);
    return ls ? ls : fit;
}

// Measures all 100 ring centres near where `h` puts them, from the
// candidates, and fits again on them.
std::optional<PlacementFit> refine(const std::vector<Candidate>& cands, const cv::Matx33d& h) {
    const double unit = local_unit(h, {131, 231});
    const double reach = 0.2 * block::kPitch * unit;
    // The candidates by place, in cells of the search reach: only the cells
    // round where the rings should be, as one array over their span, each
    // cell's candidates in index order (the nearest is the first found at
    // its distance, so the order of the search decides a tie).
    const double cell = std::max(reach, 1.0);
    auto cell_of = [&](cv::Point2d p) {
        return std::pair<int, int>{static_cast<int>(std::floor(p.x / cell)), static_cast<int>(std::floor(p.y / cell))};
    };
    struct Ring {
        cv::Point2d b, p;
        int gx, gy;
    };
    std::array<Ring, block::kColumns * block::kRows> rings;
    long long gx0 = 0, gx1 = -1, gy0 = 0, gy1 = -1;
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; ++r) {
            Ring& ring = rings[static_cast<std::size_t>(c * block::kRows + r)];
            ring.b = bubble_centre(c, r);
            ring.p = map_point(h, ring.b);
            std::tie(ring.gx, ring.gy) = cell_of(ring.p);
            if (c == 0 && r == 0) gx0 = gx1 = ring.gx, gy0 = gy1 = ring.gy;
            gx0 = std::min<long long>(gx0, ring.gx), gx1 = std::max<long long>(gx1, ring.gx);
            gy0 = std::min<long long>(gy0, ring.gy), gy1 = std::max<long long>(gy1, ring.gy);
        }
    --gx0, ++gx1, --gy0, ++gy1;
    const long long width = gx1 - gx0 + 1, height = gy1 - gy0 + 1;
    // A map that spreads the rings far wider than the candidates' page
    // (nonsense from a bad fit) is searched cell by cell over the list.
    const long long most_cells = 4 * static_cast<long long>(cands.size()) + 65536;
    const bool dense = width <= most_cells && height <= most_cells && width * height <= most_cells;
    std::vector<int> start, members;
    auto index_of = [&](long long gx, long long gy) -> long long {
        if (gx < gx0 || gx > gx1 || gy < gy0 || gy > gy1) return -1;
        return (gy - gy0) * width + (gx - gx0);
    };
    if (dense) {
        std::vector<long long> at(cands.size());
        start.assign(static_cast<std::size_t>(width * height) + 1, 0);
        for (std::size_t i = 0; i < cands.size(); ++i) {
            const auto [gx, gy] = cell_of(cands[i].centre);
            at[i] = index_of(gx, gy);
            if (at[i] >= 0) ++start[static_cast<std::size_t>(at[i]) + 1];
        }
        for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
        members.resize(static_cast<std::size_t>(start.back()));
        std::vector<int> filled(start.begin(), start.end() - 1);
        for (std::size_t i = 0; i < cands.size(); ++i)
            if (at[i] >= 0)
                members[static_cast<std::size_t>(filled[static_cast<std::size_t>(at[i])]++)] = static_cast<int>(i);
    }
    std::vector<cv::Point2d> bp, pp;
    for (const Ring& ring : rings) {
        const cv::Point2d p = ring.p;
        double best = reach * reach;
        const Candidate* found = nullptr;
        auto consider = [&](const Candidate& cand) {
            const double ex = cand.centre.x - p.x, ey = cand.centre.y - p.y;
            const double d = ex * ex + ey * ey;
            if (d < best) best = d, found = &cand;
        };
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if (dense) {
                    const long long k =
                        index_of(static_cast<long long>(ring.gx) + dx, static_cast<long long>(ring.gy) + dy);
                    if (k < 0) continue;
                    for (int m = start[static_cast<std::size_t>(k)]; m < start[static_cast<std::size_t>(k) + 1]; ++m)
                        consider(cands[static_cast<std::size_t>(members[static_cast<std::size_t>(m)])]);
                } else {
                    for (const Candidate& cand : cands) {
                        const auto [gx, gy] = cell_of(cand.centre);
                        if (gx == static_cast<long long>(ring.gx) + dx && gy == static_cast<long long>(ring.gy) + dy)
                            consider(cand);
                    }
                }
            }
        if (found) {
            bp.push_back(ring.b);
            pp.push_back(found->centre);
        }
    }
    return fit_measured(bp, pp, unit);
}

// Ring centres measured near where `h` puts them by the ring filter (for
// strokes too broken to trace), and the fit on them.
std::optional<PlacementFit> refine_by_response(const cv::Mat& grey, const cv::Matx33d& h) {
    const double unit = local_unit(h, {131, 231});
    std::vector<cv::Point2d> bp, guesses;
    for (int c = 0; c < block::kColumns; ++c)
        for (int r = 0; r < block::kRows; ++r) {
            bp.push_back(bubble_centre(c, r));
            guesses.push_back(map_point(h, bp.back()));
        }
    const auto found = ring_centres_near(grey, guesses, unit, 0.2 * block::kPitch * unit);
    std::vector<cv::Point2d> b, p;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (found[i]) b.push_back(bp[i]), p.push_back(*found[i]);
    return fit_measured(b, p, unit);
}

Registration make_registration(const cv::Matx33d& h, const PlacementFit& fit, double score) {
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
    const Orientation o = orientation_of(h);
    reg.turn = o.turn;
    reg.mirrored = o.mirrored;
    return reg;
}

// What the page's pixels are: grey levels, or black and white, either
// cleanly thresholded (print and marks solid, paper bare) or dotted (error
// diffusion, or a threshold through noise: grey is in the density of dots).
enum class Ink { Grey, Clean, Dots };

struct Search {
    std::vector<Registration> found;  // best first, whatever the score
    std::string why;
    Stop stop = Stop::None;
    std::size_t outlines = 0;
};

// Every lattice's best placement of the block on `grey`, best first.
// How a pass finds its candidates.
struct Finder {
    int block_size = 0;  // kOneThreshold, or the local mean's window (0: from the picture's size)
    double max_transitions = kMaxTransitions;
    int close = 0;       // pixels across of the closing that joins broken strokes
    bool by_response = false;  // rings by the ring filter instead of outlines
    bool dashed = false;       // a black-and-white page: rules count by how much of them is there
    double min_unit = 0.45, max_unit = 0;  // sizes the ring filter looks for (0: up to the picture's)
};

Candidates candidates_by_response(const cv::Mat& grey, const Finder& finder, const Deadline& deadline) {
    Candidates out;
    const double max_unit = finder.max_unit > 0 ? finder.max_unit
                                                : std::clamp(std::max(grey.cols, grey.rows) / 300.0, 1.0, 6.0);
    for (const RingPeak& p : find_ring_circles(grey, finder.min_unit, max_unit, deadline)) {
        out.list.push_back({p.centre, p.unit});
        if (out.list.size() > 2 * kMaxCandidates) break;
    }
    if (deadline.passed()) out.stop = Stop::Time;
    return out;
}

// Candidates on `grey`, placements scored on `scored` (the same picture, or
// a smoothed copy of it). `levels`: `grey`'s histogram, when counted already.
Search placements_on(const cv::Mat& grey, const cv::Mat& scored, const Deadline& deadline, const Finder& finder,
                     const LevelHistogram* levels = nullptr) {
    Search out;
    Candidates raw = finder.by_response
                         ? candidates_by_response(grey, finder, deadline)
                         : find_candidates(grey, deadline, finder.block_size, finder.max_transitions, finder.close,
                                           levels);
    out.stop = raw.stop;
    out.outlines = raw.outlines;
    if (out.stop == Stop::Clutter) out.why = "no grid of bubble rings on the page (it is covered in small dots or noise)";
    if (out.stop != Stop::None) return out;
    std::vector<Candidate> cands = merge_duplicates(std::move(raw.list));
    if (cands.size() > kMaxCandidates) {
        out.stop = Stop::Clutter;
        out.why = "no grid of bubble rings on the page (it is covered in small dots or noise)";
        return out;
    }
    if (cands.size() < 50) {
        out.why = "no grid of bubble rings on the page";
        return out;
    }
    const auto edges = pitch_edges(cands, deadline, out.stop);
    if (out.stop != Stop::None) return out;
    const double angle = dominant_angle(edges);
    const auto lattices = grow_lattices(cands, edges, angle);
    // Only the best few are confirmed; the rest are not worth measuring.
    std::vector<Placement> placed = place(scored, cands, lattices, finder.dashed, deadline, out.stop);
    if (placed.size() > kConfirmed) placed.resize(kConfirmed);
    for (const Placement& p : placed) {
        auto refined = refine(cands, p.h);
        // A refit keeps the placement's turn: it maps the same rings.
        const PlacementFit& fit = refined ? *refined : p.fit;
        const cv::Matx33d h = refined ? refined->h : p.h;
        out.found.push_back(make_registration(h, fit, p.score));
    }
    if (out.found.empty() && out.why.empty()) out.why = "no 10 x 10 grid of bubble rings on the page";
    return out;
}

// The part of `grey` around a registration's block, smoothed when the page
// is black and white, with the map into it.
struct Area {
    cv::Mat grey;        // for scoring: smoothed when the page is black and white
    cv::Mat candidates;  // for finding the rings: as it is when its black and white is clean
    cv::Rect roi;
};

Area block_area(const cv::Mat& grey, const Registration& reg, Ink ink) {
    std::vector<cv::Point2f> corners;
    for (const cv::Point2d b : {cv::Point2d(-4, -4), cv::Point2d(block::kWidth + 4, -4),
                                cv::Point2d(block::kWidth + 4, block::kHeight + 4), cv::Point2d(-4, block::kHeight + 4)}) {
        const cv::Point2d p = map_point(reg.block_to_page, b);
        corners.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
    }
    const int margin = static_cast<int>(std::ceil(4 * reg.unit_px)) + 2;
    const cv::Rect box = cv::boundingRect(corners);
    Area out;
    out.roi = cv::Rect(box.x - margin, box.y - margin, box.width + 2 * margin, box.height + 2 * margin) &
              cv::Rect(0, 0, grey.cols, grey.rows);
    if (out.roi.width < 20 || out.roi.height < 20) return out;
    out.grey = grey(out.roi);
    out.candidates = out.grey;
    if (ink != Ink::Grey) {
        // Dots and single pixels say nothing; what a ring's stroke covers does.
        cv::Mat smooth;
        cv::GaussianBlur(out.grey, smooth, cv::Size(), std::max(0.8, 0.45 * reg.unit_px));
        out.grey = smooth;
        // A clean threshold's thin ring strokes are best traced as they are:
        // smoothing joins them to the digits inside and the rules beside.
        if (ink == Ink::Dots) out.candidates = smooth;
    }
    return out;
}

cv::Matx33d shifted(const cv::Matx33d& h, double dx, double dy) {
    return cv::Matx33d(1, 0, dx, 0, 1, dy, 0, 0, 1) * h;
}

// Measures the rings again on the full picture, in the block's own area only,
// fits anew and scores the fit there: a block found on a reduced or smoothed
// copy is registered at full precision for little more than its own pixels.
Registration confirm_on_full(const cv::Mat& grey, const Registration& coarse, Ink ink, const Deadline& deadline) {
    Area area = block_area(grey, coarse, ink);
    Registration out = coarse;
    if (area.grey.empty()) {
        out.score = 0;
        return out;
    }
    const cv::Matx33d to_area = shifted(coarse.block_to_page, -area.roi.x, -area.roi.y);
    const int block_size = static_cast<int>(std::lround(1.6 * block::kPitch * coarse.unit_px));
    Candidates raw = find_candidates(area.candidates, deadline, std::clamp(block_size, 9, 201), 0, ink == Ink::Clean ? 3 : 0);
    std::vector<Candidate> cands = merge_duplicates(std::move(raw.list));
    auto fit = refine(cands, to_area);
    if (ink != Ink::Grey && (!fit || fit->used < 80)) {
        // Strokes broken by the black and white: the ring filter measures
        // what the outlines could not.
        auto by_response = refine_by_response(grey(area.roi), to_area);
        if (by_response && (!fit || by_response->used > fit->used)) fit = by_response;
    }
    // A block has its rings where the placement puts them; without most of
    // them measured there, it is something else. Black and white leaves
    // every ring measurable by the ring filter, and its dots make false
    // grids that hold fewer.
    if (!fit || fit->used < (ink == Ink::Grey ? 50 : 75)) {
        out.score = 0;
        return out;
    }
    out = make_registration(shifted(fit->h, area.roi.x, area.roi.y), *fit, 0);
    // The turn again, on the full picture: the reduced copy may have lost
    // the thin rules that tell it.
    const cv::Matx33d in_area = shifted(out.block_to_page, -area.roi.x, -area.roi.y);
    PlacementScore ps;
    int best_turn = 0;
    for (int q = 0; q < 4; ++q) {
        const PlacementScore s = score_placement(area.grey, in_area * block_symmetry(q, false), ink != Ink::Grey);
        if (q == 0 || s.total > ps.total) ps = s, best_turn = q;
    }
    if (best_turn != 0) {
        PlacementFit kept;
        kept.used = out.rings_measured;
        kept.rms_px = out.residual_units * out.unit_px;
        out = make_registration(out.block_to_page * block_symmetry(best_turn, false), kept, 0);
    }
    out.score = ps.total;
    return out;
}

// Tells a mirrored block from an upright one by its printed digits, on the
// block rectified from the full picture, and turns the registration round
// when it is mirrored. The block it looked at, while the registration still
// maps it (none when the registration was turned round).
cv::Mat settle_mirror(const cv::Mat& grey, Registration& reg, Ink ink) {
    const double smooth = ink != Ink::Grey ? 1.0 : 0;
    cv::Mat block = rectify_block(grey, reg.block_to_page, smooth);
    const double evidence = mirror_evidence(block);
    if (evidence < 0) {
        block.release();
        const double score = reg.score;
        PlacementFit fit;
        fit.used = reg.rings_measured;
        fit.rms_px = reg.residual_units * reg.unit_px;
        reg = make_registration(reg.block_to_page * block_symmetry(0, true), fit, score);
    }
    reg.mirror_evidence = std::abs(evidence);
    return block;
}

}  // namespace

cv::Point2d bubble_centre(int c, int r) { return {block::bubble_centre_x(c), block::bubble_centre_y(r)}; }

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

namespace {

// A sample of rows is enough to tell black and white: a grey page has
// hundreds of levels on every row, a black-and-white one two.
int bilevel_row_step(const cv::Mat& grey) { return std::max(1, grey.rows / 200); }

bool two_levels(const LevelHistogram& sampled) {
    std::array<std::uint64_t, 256> sorted = sampled.count;
    std::partial_sort(sorted.begin(), sorted.begin() + 2, sorted.end(), std::greater<>());
    return sampled.total > 0 &&
           static_cast<double>(sorted[0] + sorted[1]) >= 0.98 * static_cast<double>(sampled.total);
}

}  // namespace

bool is_bilevel(const cv::Mat& grey) {
    if (grey.empty() || grey.type() != CV_8UC1) return false;
    return two_levels(count_levels(grey, bilevel_row_step(grey)));
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
    const Deadline& deadline = options.deadline;
    const LevelHistogram sampled = count_levels(grey, bilevel_row_step(grey));
    result.bilevel = two_levels(sampled);
    auto timed_out = [&] {
        result.timed_out = true;
        result.why_not = "the time limit passed while locating the block";
        return result;
    };
    Ink ink = Ink::Grey;
    if (result.bilevel) {
        cv::Mat dark;
        cv::threshold(grey, dark, 127, 255, cv::THRESH_BINARY_INV);
        ink = transition_density(dark) <= kCleanTransitions ? Ink::Clean : Ink::Dots;
    }
    auto finish = [&](Registration reg) {
        result.rectified = settle_mirror(grey, reg, ink);
        result.registration = reg;
        return result;
    };

    // A reduced copy first (most pages print the block large enough to be
    // found there), the full picture only when that finds nothing. A black-
    // and-white page is smoothed first: its grey is in the density of dots.
    const int long_side = std::max(grey.cols, grey.rows);
    const int k = static_cast<int>(std::lround(static_cast<double>(long_side) / options.coarse_long_side));
    cv::Mat reduced;
    if (k >= 2 && !(ink == Ink::Grey && options.reduced_searched)) {
        // A whole-number factor: averaging k x k squares is several times
        // faster than resampling by a fraction.
        const cv::Mat whole = grey(cv::Rect(0, 0, grey.cols / k * k, grey.rows / k * k));
        cv::resize(whole, reduced, cv::Size(whole.cols / k, whole.rows / k), 0, 0, cv::INTER_AREA);
    }
    auto smoothed = [](const cv::Mat& m, double sigma) {
        cv::Mat out;
        cv::GaussianBlur(m, out, cv::Size(), sigma);
        return out;
    };
    struct Pass {
        cv::Mat picture{};
        int factor = 1;  // full-size pixels per pixel of the picture
        Finder finder{};
        cv::Mat scored{};  // where the placements are scored, when not on the picture itself
        bool scored_smooth = false;  // on the full page smoothed
        double smoothing = 0;        // > 0: the picture is the first copy smoothed this much, made when the pass runs
        const LevelHistogram* levels = nullptr;  // the picture's histogram, when counted already
    };
    cv::Mat full_smooth;  // the full page smoothed, made when a pass needs it
    auto smooth_full = [&]() -> const cv::Mat& {
        if (full_smooth.empty()) full_smooth = smoothed(grey, 1.0);
        return full_smooth;
    };
    const int f = k >= 2 ? k : 1;
    const cv::Mat& first = k >= 2 ? reduced : grey;
    std::vector<Pass> passes;
    // The whole page's histogram, when its one threshold is the first pass:
    // the rows the black-and-white test counted are not counted again.
    LevelHistogram whole;
    if (ink == Ink::Grey) {
        // One threshold for the page first (scans are evenly lit), the local
        // mean when that finds nothing (photos, shadows, tinted paper).
        const bool reduced_first = k >= 2 && !options.reduced_searched;
        if (reduced_first) passes.push_back({reduced, k, {}});
        passes.push_back({grey, 1, {kOneThreshold}});
        if (!reduced_first) {
            whole = sampled;
            whole += count_levels(grey, bilevel_row_step(grey), RowSample::Between);
            passes.back().levels = &whole;
        }
        passes.push_back({grey, 1, {}});
    } else {
        // A clean black and white as it is (its rings are whole strokes),
        // then smoothed, one threshold first: the smoothed dots of the paper
        // stay well above it, while against the local mean they come out as
        // specks.
        const cv::Mat work = smoothed(first, k >= 2 ? 0.7 : 1.0);
        if (ink == Ink::Clean) passes.push_back({first, f, {kOneThreshold, kMaxTransitions, 3, false, true}, work});
        passes.push_back({work, f, {kOneThreshold, kMaxTransitions, 0, false, true}});
        // Strokes broken by a threshold or made of dots: rings by what
        // covers them.
        passes.push_back({first, f, {0, 0, 0, true, true, 0.6}, work});
        if (ink == Ink::Dots) {
            // Dots on shaded or tinted paper: smoothed further they read as
            // the grey they stand for, and the local mean follows the shade.
            passes.push_back({cv::Mat(), f, {0, kMaxTransitions, 0, false, false}, cv::Mat(), false, k >= 2 ? 1.0 : 1.5});
        }
        if (k >= 2) {
            // Small printing on a large page, at full size: the page as it
            // is, its strokes joined where a pixel or two is missing (thin
            // rings a threshold left in dashes), then by the ring filter.
            if (ink == Ink::Clean) passes.push_back({grey, 1, {kOneThreshold, kMaxTransitions, 3, false, true}, cv::Mat(), true});
            // (Up to 8 megapixels: on a larger page a ring too small for the
            // reduced copy is printed smaller than anyone fills by hand, and
            // the circle search there would cost seconds.)
            if (grey.total() <= 8'000'000)
                passes.push_back({grey, 1, {0, 0, 0, true, true, 0.6, 0.6 * k}, cv::Mat(), true});
        }
    }

    const double least_score = ink == Ink::Grey ? kMinPlacementScore : kMinDashedPlacementScore;
    std::string why;
    // Once a page proves to be noise or dots, a closer look only costs more.
    int cluttered_at = 0;
    for (Pass& pass : passes) {
        if (deadline.passed()) return timed_out();
        if (cluttered_at > pass.factor) continue;
        if (pass.picture.empty()) pass.picture = pass.smoothing > 0 ? smoothed(first, pass.smoothing) : smooth_full();
        if (pass.scored_smooth) pass.scored = smooth_full();
        Search search = placements_on(pass.picture, pass.scored.empty() ? pass.picture : pass.scored, deadline,
                                      pass.finder, pass.levels);
        if (search.stop == Stop::Time) return timed_out();
        if (search.stop == Stop::Clutter || search.outlines > kClutteredOutlines)
            cluttered_at = std::max(cluttered_at, pass.factor);
        // The thin frame rules fade more than the rings on a reduced or
        // smoothed copy, and one threshold for a page blurs ring edges
        // unevenly: every placement found is measured again and confirmed on
        // the full picture, in the block's own area.
        std::optional<Registration> best;
        for (std::size_t i = 0; i < search.found.size() && i < kConfirmed; ++i) {
            if (deadline.passed()) return timed_out();
            const Registration at_full =
                pass.factor >= 2 ? scale_registration(search.found[i], pass.factor, pass.factor) : search.found[i];
            Registration full = confirm_on_full(grey, at_full, ink, deadline);
            if (full.score >= least_score && (!best || full.score > best->score)) best = full;
            if (best && best->score >= kSureScore) break;
        }
        if (best) return finish(*best);
        if (!search.found.empty())
            why = "bubble rings found, but not the ID block's frame and column numbers around them";
        else if (why.empty() || search.stop == Stop::Clutter)
            why = search.why;
    }
    result.why_not = why.empty() ? "no grid of bubble rings on the page" : why;
    return result;
}

}  // namespace idr::scan
