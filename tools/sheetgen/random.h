#pragma once
// A small deterministic generator (SplitMix64). The sheet must come out the
// same on every run, so nothing here reads the clock or the environment.

#include <cstdint>

namespace idr::sheetgen {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in lo..hi, both included.
    int between(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }

private:
    std::uint64_t state_;
};

// A stable per-pixel value, independent of drawing order.
inline std::uint64_t pixel_hash(int x, int y, std::uint64_t salt) {
    Random r(salt * 0x100000001B3ull + static_cast<std::uint64_t>(y) * 4096u +
             static_cast<std::uint64_t>(x));
    return r.next();
}

}  // namespace idr::sheetgen
