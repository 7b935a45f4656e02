#include "printing/png_resolution.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace idr::printing {

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
constexpr std::size_t kIhdrLength = 13;
constexpr std::size_t kChunkOverhead = 12;  // length, type, CRC
constexpr std::size_t kIhdrEnd = kSignature.size() + kChunkOverhead + kIhdrLength;
constexpr double kMetresPerInch = 0.0254;

// CRC-32 as PNG defines it (reflected, polynomial 0xEDB88320).
std::uint32_t crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put_u32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

}  // namespace

std::string with_png_resolution(const std::string& png, double dpi) {
    if (png.size() < kIhdrEnd || std::string_view(png).substr(0, kSignature.size()) != kSignature ||
        png.compare(kSignature.size() + 4, 4, "IHDR") != 0)
        return png;
    if (png.size() >= kIhdrEnd + 8 && png.compare(kIhdrEnd + 4, 4, "pHYs") == 0) return png;
    if (!(dpi > 0) || !std::isfinite(dpi)) return png;

    const auto per_metre = static_cast<std::uint32_t>(std::lround(dpi / kMetresPerInch));
    std::string body = "pHYs";
    put_u32(body, per_metre);
    put_u32(body, per_metre);
    body.push_back(1);  // unit: metre
    std::string chunk;
    put_u32(chunk, static_cast<std::uint32_t>(body.size() - 4));
    chunk += body;
    put_u32(chunk, crc32(body));

    std::string out = png.substr(0, kIhdrEnd);
    out += chunk;
    out.append(png, kIhdrEnd, std::string::npos);
    return out;
}

}  // namespace idr::printing
