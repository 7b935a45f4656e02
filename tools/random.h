#pragma once
// A small deterministic generator (SplitMix64) for the tools that draw test
// pictures: the built-in sheet and the test pages must come out the same on
// every run and machine, so nothing here reads the clock or the environment.

#include <cmath>
#include <cstdint>

namespace idr::tools {

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
    // Uniform in the logarithm: as many pages at 0.5-1 as at 2-4.
    double log_between(double lo, double hi) { return lo * std::exp(unit() * std::log(hi / lo)); }
    bool chance(double p) { return unit() < p; }
    // Roughly normal, mean 0, deviation 1 (sum of four uniforms).
    double normal() { return (unit() + unit() + unit() + unit() - 2.0) * 1.7320508; }

    // A generator for a separate stream (one per page, per stage), so adding
    // draws to one stage does not shift another's.
    Random fork(std::uint64_t salt) { return Random(next() ^ (salt * 0xD6E8FEB86659FD93ull)); }

private:
    std::uint64_t state_;
};

// A stable per-pixel value, independent of drawing order.
inline std::uint64_t pixel_hash(int x, int y, std::uint64_t salt) {
    Random r(salt * 0x100000001B3ull + static_cast<std::uint64_t>(y) * 4096u +
             static_cast<std::uint64_t>(x));
    return r.next();
}

}  // namespace idr::tools
