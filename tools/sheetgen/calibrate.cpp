#include "tools/sheetgen/calibrate.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>

#include "tools/sheetgen/random.h"

namespace idr::sheetgen {
namespace {

constexpr int kDark = 35;  // the default binarization threshold

struct Point2 {
    int x, y;
};

bool is_id_cell(int c, int r) { return kStudentId[c] == r; }

int cell_left(int c) { return kBubbleLeft + kPitch * c; }
int cell_top(int r) { return kBubbleTop + kPitch * r; }

// The 16 sample points of cell (c, r) with the grid moved by (dx, dy).
std::array<Point2, 16> samples(int c, int r, int dx = 0, int dy = 0) {
    std::array<Point2, 16> out{};
    int n = 0;
    for (int j : kSampleOffsets)
        for (int i : kSampleOffsets) out[n++] = {cell_left(c) + i + dx, cell_top(r) + j + dy};
    return out;
}

constexpr std::array<std::array<int, 2>, 8> kShifts = {
    {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}};

// Pixels within one pixel of any sample point of any cell: the steps after
// the cell calibration leave them alone.
std::vector<bool> protected_pixels() {
    std::vector<bool> p(static_cast<std::size_t>(kWidth) * kHeight, false);
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            for (Point2 s : samples(c, r))
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        p[static_cast<std::size_t>(s.y + dy) * kWidth + s.x + dx] = true;
    return p;
}

int brightness_at(const Sheet& s, Point2 p) { return brightness(s.colour(p.x, p.y)); }

// Sets the printing coverage at p so that the pixel's brightness is
// `target`, keeping its paper. Rounding can step over the target; the ink's
// red is then moved by up to 3 and the search repeated. Returns false (and
// leaves the pixel as it was) when nothing reaches the target.
bool set_brightness(Sheet& sheet, Point2 p, int target) {
    PixelLayers& px = sheet.at(p.x, p.y);
    if (px.disc || px.rule_black || px.pen > 0) return false;
    const PixelLayers original = px;
    for (int nudge : {0, 1, -1, 2, -2, 3, -3}) {
        px = original;
        px.ink.r = original.ink.r + nudge;
        auto bright = [&](double a) {
            PixelLayers t = px;
            t.print = a;
            return brightness(Sheet::compose(t));
        };
        if (bright(0) < target || bright(1) > target) continue;
        double lo = 0, hi = 1;  // bright(lo) >= target >= bright(hi)
        for (int i = 0; i < 60; ++i) {
            const double mid = (lo + hi) / 2;
            (bright(mid) <= target ? hi : lo) = mid;
        }
        if (bright(hi) == target) {
            px.print = hi;
            return true;
        }
    }
    px = original;
    return false;
}

// Full coverage with a dark ink: brightness 34 or 35.
void set_dark(Sheet& sheet, Point2 p) {
    PixelLayers& px = sheet.at(p.x, p.y);
    px.print = 1;
    px.ink.r = 106 - px.ink.g - px.ink.b - static_cast<int>(pixel_hash(p.x, p.y, 31) % 3);
}

}  // namespace

// ---- discs ----------------------------------------------------------------

namespace {

// The disc of the given centre offset and radius over bubble (c, r), or
// nothing when it breaks the description (size, centring, place) or marks
// too unreliably.
std::optional<Disc> make_disc(int c, int r, double dx, double dy, double radius) {
    Disc d{c, r, dx, dy, radius, {}, 0};
    const double cx = bubble_centre_x(c) + dx, cy = bubble_centre_y(r) + dy;
    int x0 = 1 << 20, x1 = -1, y0 = 1 << 20, y1 = -1;
    for (int y = cell_top(r) - 3; y <= cell_top(r) + kBubbleSize + 2; ++y) {
        for (int x = cell_left(c) - 3; x <= cell_left(c) + kBubbleSize + 2; ++x) {
            const double ex = x + 0.5 - cx, ey = y + 0.5 - cy;
            if (ex * ex + ey * ey > radius * radius) continue;
            d.pixels.push_back({x, y});
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    }
    const int across_x = x1 - x0 + 1, across_y = y1 - y0 + 1;
    if (across_x < 17 || across_x > 21 || across_y < 17 || across_y > 21) return std::nullopt;
    if (x0 < cell_left(c) - 1 || x1 > cell_left(c) + kBubbleSize || y0 < cell_top(r) - 1 ||
        y1 > cell_top(r) + kBubbleSize)
        return std::nullopt;
    // Centred within a pixel: both the box and the mass.
    double mx = 0, my = 0;
    for (auto [x, y] : d.pixels) mx += x, my += y;
    mx /= static_cast<double>(d.pixels.size()), my /= static_cast<double>(d.pixels.size());
    const double bx = cell_left(c) + 9.5, by = cell_top(r) + 9.5;
    if (std::abs((x0 + x1) / 2.0 - bx) > 1 || std::abs((y0 + y1) / 2.0 - by) > 1 ||
        std::hypot(mx - bx, my - by) > 1)
        return std::nullopt;

    auto inside = [&](Point2 p) {
        const double ex = p.x + 0.5 - cx, ey = p.y + 0.5 - cy;
        return ex * ex + ey * ey <= radius * radius;
    };
    for (Point2 p : samples(c, r)) d.samples += inside(p);
    if (d.samples != 10 && (d.samples < 12 || d.samples > 14)) return std::nullopt;
    for (auto [sx, sy] : kShifts) {
        int n = 0;
        for (Point2 p : samples(c, r, sx, sy)) n += inside(p);
        if (n < 9) return std::nullopt;
    }
    return d;
}

}  // namespace

std::vector<Disc> choose_discs(int total_pixels) {
    Random rng(2898);
    // Candidates per column, one per (size, sample count), in a shuffled order.
    std::array<std::vector<Disc>, kColumns> options;
    for (int c = 0; c < kColumns; ++c) {
        std::map<std::pair<std::size_t, int>, Disc> distinct;
        for (int oy = -4; oy <= 4; ++oy)
            for (int ox = -4; ox <= 4; ++ox) {
                const double dx = ox / 4.0, dy = oy / 4.0;
                if (dx * dx + dy * dy > 1) continue;
                for (int ri = 0; ri <= 48; ++ri)
                    if (auto d = make_disc(c, kStudentId[c], dx, dy, 8.4 + ri * 0.05))
                        distinct.try_emplace({d->pixels.size(), d->samples}, *d);
            }
        for (auto& [key, d] : distinct) options[c].push_back(d);
        for (std::size_t i = options[c].size(); i > 1; --i)
            std::swap(options[c][i - 1], options[c][rng.next() % i]);
    }

    // Choose one per column: pixels adding up to the total, exactly one disc
    // covering 10 samples, at least one covering 14; among those, the discs
    // nearest to a size picked for each column, so that the marks differ
    // from column to column as pencil marks do.
    std::array<double, kColumns> preferred{};
    for (double& p : preferred) p = rng.between(9.0, 10.3);
    struct State {
        int pixels, tens, fourteen;
        auto operator<=>(const State&) const = default;
    };
    struct Step {
        double cost;
        State from;
        int option;
    };
    std::vector<std::map<State, Step>> reach(kColumns + 1);
    reach[0][{0, 0, 0}] = {0, {0, 0, 0}, -1};
    for (int c = 0; c < kColumns; ++c) {
        for (const auto& [s, at] : reach[c]) {
            for (int i = 0; i < static_cast<int>(options[c].size()); ++i) {
                const Disc& d = options[c][i];
                const State n{s.pixels + static_cast<int>(d.pixels.size()), s.tens + (d.samples == 10),
                              s.fourteen | (d.samples == 14)};
                if (n.pixels > total_pixels || n.tens > 1) continue;
                const double cost = at.cost + (d.radius - preferred[c]) * (d.radius - preferred[c]);
                auto [it, fresh] = reach[c + 1].try_emplace(n, Step{cost, s, i});
                if (!fresh && cost < it->second.cost) it->second = {cost, s, i};
            }
        }
    }
    State s{total_pixels, 1, 1};
    if (!reach[kColumns].count(s)) return {};
    std::vector<Disc> chosen(kColumns);
    for (int c = kColumns; c > 0; --c) {
        const Step& at = reach[c].at(s);
        chosen[c - 1] = options[c - 1][at.option];
        s = at.from;
    }
    return chosen;
}

void place_discs(Sheet& sheet, const std::vector<Disc>& discs) {
    for (const Disc& d : discs)
        for (auto [x, y] : d.pixels) sheet.at(x, y).disc = true;
}

// ---- rules and pen --------------------------------------------------------

int saturate_rules(Sheet& sheet) {
    // Where the press laid the ink on heaviest.
    struct Stretch {
        int row, x0, x1;
    };
    constexpr Stretch kStretches[] = {{kGridRuleTop, 62, 104},   {kGridRuleTop + 1, 60, 107},
                                      {kFrameBottomTop, 148, 199}, {kFrameBottomTop + 1, 146, 203}};
    int n = 0;
    for (const Stretch& s : kStretches)
        for (int x = s.x0; x <= s.x1; ++x) {
            PixelLayers& p = sheet.at(x, s.row);
            if (p.print >= 1 && !p.rule_black) p.rule_black = true, ++n;
        }
    return n;
}

bool settle_pen(Sheet& sheet, int black, int near_black) {
    std::vector<std::tuple<double, std::uint64_t, int, int>> solid;
    for (int y = kBoxesTop; y <= kBoxesBottom; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const PixelLayers& p = sheet.at(x, y);
            if (p.pen >= 1 && p.print == 0) solid.emplace_back(p.pen_centre, pixel_hash(x, y, 41), x, y);
        }
    if (static_cast<int>(solid.size()) < black + near_black) return false;
    std::sort(solid.begin(), solid.end());
    for (int i = 0; i < black + near_black; ++i) {
        const auto& [d, h, x, y] = solid[i];
        sheet.at(x, y).pen_ink = i < black ? Rgb{0, 0, 0} : Rgb{0, 0, 1};
    }
    return true;
}

// ---- cells ----------------------------------------------------------------

namespace {

bool settle_cell(Sheet& sheet, int c, int r, int dark, int ninth) {
    std::array<Point2, 16> pts = samples(c, r);
    auto value = [&](Point2 p) { return brightness_at(sheet, p); };
    auto inked = [&](Point2 p) { return sheet.at(p.x, p.y).print > 0.02; };

    // Dark samples: darken the most heavily printed points, or lighten extras.
    std::vector<Point2> order(pts.begin(), pts.end());
    std::stable_sort(order.begin(), order.end(), [&](Point2 a, Point2 b) {
        return sheet.at(a.x, a.y).print > sheet.at(b.x, b.y).print;
    });
    int have = 0;
    for (Point2 p : pts) have += value(p) <= kDark;
    for (Point2 p : order) {
        if (have >= dark) break;
        if (value(p) > kDark) set_dark(sheet, p), ++have;
    }
    for (auto it = order.rbegin(); it != order.rend() && have > dark; ++it)
        if (value(*it) <= kDark) {
            if (!set_brightness(sheet, *it, 38 + static_cast<int>(pixel_hash(it->x, it->y, 51) % 6)))
                return false;
            --have;
        }

    // The ninth darkest sample: at least 9 samples at most `ninth`, at most 8
    // below it.
    auto count = [&](auto pred) {
        return static_cast<int>(std::count_if(pts.begin(), pts.end(), [&](Point2 p) { return pred(value(p)); }));
    };
    // Tries the candidates in order of preference until one takes the value.
    auto move_one = [&](auto eligible, auto better) {
        std::vector<Point2> cand;
        for (Point2 p : pts)
            if (eligible(value(p))) cand.push_back(p);
        std::stable_sort(cand.begin(), cand.end(), better);
        for (Point2 p : cand)
            if (set_brightness(sheet, p, ninth)) return true;
        return false;
    };
    while (count([&](int v) { return v <= ninth; }) < 9) {
        // The smallest change: the darkest sample above, printed ones first.
        if (!move_one([&](int v) { return v > ninth; },
                      [&](Point2 a, Point2 b) {
                          return std::pair{!inked(a), value(a)} < std::pair{!inked(b), value(b)};
                      }))
            return false;
    }
    while (count([&](int v) { return v < ninth; }) > 8) {
        if (!move_one([&](int v) { return v > kDark && v < ninth; },
                      [&](Point2 a, Point2 b) { return value(a) > value(b); }))
            return false;
    }
    return true;
}

int ninth_darkest(const Sheet& sheet, int c, int r) {
    std::array<int, 16> v{};
    int n = 0;
    for (Point2 p : samples(c, r)) v[n++] = brightness_at(sheet, p);
    std::sort(v.begin(), v.end());
    return v[8];
}

}  // namespace

bool settle_cells(Sheet& sheet, const CellTargets& t) {
    Random rng(35);
    std::vector<std::array<int, 2>> cells, white;
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            if (!is_id_cell(c, r)) {
                cells.push_back({c, r});
                if (!is_tinted_column(c)) white.push_back({c, r});
            }
    auto shuffled = [&](std::vector<std::array<int, 2>> v) {
        for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[rng.next() % i]);
        return v;
    };
    std::map<std::array<int, 2>, int> dark, ninth;
    const auto by_dark = shuffled(cells);
    for (int i = 0; i < t.cells_with_dark; ++i) dark[by_dark[i]] = rng.between(1, 2);
    const auto by_ninth = shuffled(cells);
    for (int i = 0; i < t.at_lowest; ++i) ninth[by_ninth[i]] = t.lowest;
    for (const auto& cell : shuffled(white))
        if (!ninth.count(cell)) {
            ninth[cell] = t.highest;
            break;
        }

    for (const auto& cell : cells) {
        const auto [c, r] = cell;
        int want = 0;
        if (auto it = ninth.find(cell); it != ninth.end()) {
            want = it->second;
        } else {
            // Keep what the drawing gave, inside the free range.
            const int natural = ninth_darkest(sheet, c, r);
            want = std::clamp(natural, t.lowest + 1, t.highest);
        }
        if (!settle_cell(sheet, c, r, dark.count(cell) ? dark[cell] : 0, want)) return false;
    }
    return true;
}

void settle_shifted(Sheet& sheet) {
    std::vector<bool> sample(static_cast<std::size_t>(kWidth) * kHeight, false);
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            for (Point2 p : samples(c, r)) sample[static_cast<std::size_t>(p.y) * kWidth + p.x] = true;
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r) {
            if (is_id_cell(c, r)) continue;
            for (auto [sx, sy] : kShifts) {
                const auto pts = samples(c, r, sx, sy);
                int n = 0;
                for (Point2 p : pts) n += brightness_at(sheet, p) <= kDark;
                for (Point2 p : pts) {
                    if (n <= 8) break;
                    if (brightness_at(sheet, p) <= kDark && !sample[static_cast<std::size_t>(p.y) * kWidth + p.x] &&
                        set_brightness(sheet, p, 37))
                        --n;
                }
            }
        }
}

// ---- global counts --------------------------------------------------------

bool settle_dark_count(Sheet& sheet, int target) {
    const std::vector<bool> keep = protected_pixels();
    int have = 0;
    std::vector<std::tuple<int, std::uint64_t, int, int>> darker, lighter;  // (distance, hash, x, y)
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const PixelLayers& p = sheet.at(x, y);
            const Rgb col = Sheet::compose(p);
            const int sum = col.sum();
            have += brightness(col) <= kDark;
            if (keep[static_cast<std::size_t>(y) * kWidth + x] || p.print < 1 || p.pen > 0 || p.disc ||
                p.rule_black)
                continue;
            const std::uint64_t h = pixel_hash(x, y, 61);
            if (sum > 106) darker.emplace_back(sum - 106, h, x, y);
            else lighter.emplace_back(107 - sum, h, x, y);
        }
    auto& pool = have < target ? darker : lighter;
    std::sort(pool.begin(), pool.end());
    for (const auto& [dist, h, x, y] : pool) {
        if (have == target) break;
        PixelLayers& p = sheet.at(x, y);
        if (have < target) p.ink.r -= p.ink.sum() - 106, ++have;
        else p.ink.r += 107 - p.ink.sum(), --have;
    }
    return have == target;
}

bool settle_white_count(Sheet& sheet, int target) {
    const std::vector<bool> keep = protected_pixels();
    int have = 0;
    std::vector<std::tuple<int, std::uint64_t, int, int>> raise, lower;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const PixelLayers& p = sheet.at(x, y);
            const int sum = Sheet::compose(p).sum();
            have += sum >= 764;
            if (keep[static_cast<std::size_t>(y) * kWidth + x] || p.print > 0 || p.pen > 0 || p.disc ||
                p.rule_black || p.tinted)
                continue;
            const std::uint64_t h = pixel_hash(x, y, 71);
            if (sum < 764) raise.emplace_back(764 - sum, h, x, y);
            else lower.emplace_back(sum - 763, h, x, y);
        }
    auto& pool = have < target ? raise : lower;
    std::sort(pool.begin(), pool.end());
    for (const auto& [dist, h, x, y] : pool) {
        if (have == target) break;
        Rgb& c = sheet.at(x, y).paper;
        if (have < target) {
            for (int* ch : {&c.r, &c.g, &c.b})
                while (*ch < 255 && c.sum() < 764) ++*ch;
            ++have;
        } else {
            for (int* ch : {&c.b, &c.g, &c.r})
                while (*ch > 252 && c.sum() > 763) --*ch;
            --have;
        }
    }
    return have == target;
}

}  // namespace idr::sheetgen
