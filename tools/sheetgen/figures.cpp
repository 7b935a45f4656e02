#include "tools/sheetgen/figures.h"

#include <algorithm>
#include <cstdio>

#include "tools/sheetgen/layout.h"

namespace idr::sheetgen {
namespace {

// Binarization brightness of a colour value, -1 (no pixel) included.
int brightness_of(Int32 v) {
    const int r = v & 255, g = (v / 256) & 255, b = v / 65536;
    return (r + g + b + 1) / 3;
}

bool is_id_cell(int k) { return kStudentId[k / 10] == k % 10; }

// Samples of cell k with its corner moved by (dx, dy) that satisfy `black`.
template <class Black>
int count_samples(const Surface& s, int k, int dx, int dy, Black black) {
    const int left = kBubbleLeft + kPitch * (k / 10) + dx, top = kBubbleTop + kPitch * (k % 10) + dy;
    int n = 0;
    for (int j : kSampleOffsets)
        for (int i : kSampleOffsets)
            if (black(s.Point(static_cast<float>(left + i), static_cast<float>(top + j)))) ++n;
    return n;
}

std::string check(const char* what, long reached, bool ok, const std::string& wanted,
                  std::vector<std::string>& failures) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "%-52s %6ld%s", what, reached, ok ? "" : ("   (wanted " + wanted + ")").c_str());
    if (!ok) failures.push_back(what);
    return buf;
}

std::string line(const char* what, long reached, long wanted, std::vector<std::string>& failures) {
    return check(what, reached, reached == wanted, std::to_string(wanted), failures);
}

}  // namespace

Figures measure(const Surface& s) {
    Figures f;
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            const Int32 v = s.pixel(x, y);
            const int b = brightness_of(v);
            ++f.pixels;
            if (v == 0) {
                ++f.pure_black;
                if (y >= kGridTop && y <= kGridBottom) ++f.pure_black_in_grid;
            }
            f.black_minus1 += b <= -1;
            f.black_0 += b <= 0;
            f.black_35 += b <= 35;
            f.black_254 += b <= 254;
            f.black_255 += b <= 255;
        }
    }

    // A cell is marked at threshold t when its 9th darkest sample is <= t.
    std::array<int, 100> ninth{};
    for (int k = 0; k < 100; ++k) {
        std::vector<int> v;
        const int left = kBubbleLeft + kPitch * (k / 10), top = kBubbleTop + kPitch * (k % 10);
        for (int j : kSampleOffsets)
            for (int i : kSampleOffsets)
                v.push_back(brightness_of(s.Point(static_cast<float>(left + i), static_cast<float>(top + j))));
        std::sort(v.begin(), v.end());
        ninth[k] = v[8];
    }
    f.same_ten_cells_0_to_157 = true;
    for (int t = 0; t < 256; ++t) {
        for (int k = 0; k < 100; ++k) {
            const bool marked = ninth[k] <= t;
            f.marked_at[t] += marked;
            if (t <= 157 && marked != is_id_cell(k)) f.same_ten_cells_0_to_157 = false;
        }
    }

    auto black35 = [](Int32 v) { return brightness_of(v) <= 35; };
    for (int k = 0; k < 100; ++k) f.samples_35[k] = count_samples(s, k, 0, 0, black35);
    for (int n = 0; n <= 16; ++n)
        f.marked_by_count[n] = static_cast<int>(std::count_if(f.samples_35.begin(), f.samples_35.end(),
                                                              [n](int c) { return c > n; }));

    f.shifted_ok = true;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            for (int k = 0; k < 100; ++k)
                if ((count_samples(s, k, dx, dy, black35) > 8) != is_id_cell(k)) f.shifted_ok = false;
    f.colour_ok = true;
    for (int k = 0; k < 100; ++k)
        if ((count_samples(s, k, 0, 0, [](Int32 v) { return v == 0; }) > 8) != is_id_cell(k))
            f.colour_ok = false;
    return f;
}

std::vector<std::string> report(const Figures& f, std::vector<std::string>& failures) {
    std::vector<std::string> out;
    out.push_back(line("pixels", f.pixels, 94844, failures));
    out.push_back(line("pure black pixels", f.pure_black, 3649, failures));
    out.push_back(line("pure black pixels in the discs", f.pure_black_in_grid, 2898, failures));
    out.push_back(line("black after binarization with -1", f.black_minus1, 0, failures));
    out.push_back(line("black after binarization with 0", f.black_0, 3707, failures));
    out.push_back(line("black after binarization with 35", f.black_35, 8537, failures));
    out.push_back(line("black after binarization with 254", f.black_254, 69038, failures));
    out.push_back(line("black after binarization with 255", f.black_255, 94844, failures));
    out.push_back(line("the ID cells alone marked for thresholds 0..157", f.same_ten_cells_0_to_157, 1, failures));
    out.push_back(line("cells marked at 157", f.marked_at[157], 10, failures));
    out.push_back(line("cells marked at 158", f.marked_at[158], 15, failures));
    out.push_back(check("cells marked at 247", f.marked_at[247], f.marked_at[247] < 100, "fewer than 100", failures));
    out.push_back(line("cells marked at 248", f.marked_at[248], 100, failures));

    int least_id = 16, most_id = 0, tens = 0, elevens = 0, fourteens = 0, most_other = 0, some_black = 0;
    for (int k = 0; k < 100; ++k) {
        const int n = f.samples_35[k];
        if (kStudentId[k / 10] == k % 10) {
            least_id = std::min(least_id, n);
            most_id = std::max(most_id, n);
            tens += n == 10;
            elevens += n == 11;
            fourteens += n == 14;
        } else {
            most_other = std::max(most_other, n);
            some_black += n > 0;
        }
    }
    out.push_back(line("fewest black samples in an ID cell at 35", least_id, 10, failures));
    out.push_back(line("most black samples in an ID cell at 35", most_id, 14, failures));
    out.push_back(line("ID cells with 10 black samples", tens, 1, failures));
    out.push_back(check("ID cells with 14 black samples", fourteens, fourteens >= 1, "at least 1", failures));
    out.push_back(line("ID cells with 11 black samples", elevens, 0, failures));
    out.push_back(line("most black samples in another cell at 35", most_other, 2, failures));
    out.push_back(line("other cells with 1 or 2 black samples at 35", some_black, 47, failures));
    out.push_back(line("cells marked with more than 0 black samples", f.marked_by_count[0], 57, failures));
    out.push_back(line("cells marked with more than 9 black samples", f.marked_by_count[9], 10, failures));
    out.push_back(line("cells marked with more than 10 black samples", f.marked_by_count[10], 9, failures));
    out.push_back(line("cells marked with more than 11 black samples", f.marked_by_count[11], 9, failures));
    out.push_back(line("cells marked with more than 14 black samples", f.marked_by_count[14], 0, failures));
    out.push_back(line("the ID cells alone marked with the grid 1 px off", f.shifted_ok, 1, failures));
    out.push_back(line("the ID cells alone marked without binarization", f.colour_ok, 1, failures));
    return out;
}

}  // namespace idr::sheetgen
