#pragma once
// Helpers for building and patching picture files inside tests.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "picture/surface.h"

namespace idr::test {

using Bytes = std::vector<std::uint8_t>;

inline void put_u16(Bytes& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v & 0xFF);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}

inline void put_u32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.at(at + i) = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    }
}

inline std::uint32_t get_u32(const Bytes& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | b.at(at + i);
    }
    return v;
}

// A surface whose every pixel differs from its neighbours, so a row or
// column taken from the wrong place shows up.
inline Surface patterned_surface(int width, int height) {
    Surface s(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            s.set_pixel(x, y, (x * 7 + 1) % 256 + 256 * ((y * 13 + 5) % 256) + 65536 * ((x + y) % 256));
        }
    }
    return s;
}

inline bool read_file(const std::string& path, Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace idr::test
