#include "picture/framed.h"

#include <cassert>
#include <cstddef>
#include <limits>
#include <string>

namespace idr {

namespace {

// N (bytes after itself), the tag, M (bytes of the BMP file).
constexpr std::size_t kFrameHeaderSize = 12;
constexpr std::uint32_t kFrameFieldsAfterLength = 8;  // tag + M

std::uint32_t read_u32(std::span<const std::uint8_t> bytes, std::size_t at) {
    assert(at + 4 <= bytes.size());
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void write_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
    }
}

}  // namespace

PictureResult read_framed_picture(std::span<const std::uint8_t> blob) {
    if (blob.size() < kFrameHeaderSize) {
        return PictureResult::failure("frame header", "is cut short: the picture value has " +
                                        std::to_string(blob.size()) + " bytes, the frame needs 12");
    }
    const std::uint32_t n = read_u32(blob, 0);
    const std::uint32_t m = read_u32(blob, 8);
    // In 64 bits: M + 8 must not wrap around.
    if (static_cast<std::uint64_t>(n) != static_cast<std::uint64_t>(m) + kFrameFieldsAfterLength) {
        return PictureResult::failure("frame length", "is " + std::to_string(n) + ", expected the picture length " +
                                        std::to_string(m) + " + 8");
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (blob[4 + i] != kPictureTag[i]) {
            return PictureResult::failure("frame tag", "is not 6C 74 00 00");
        }
    }
    const std::uint64_t available = blob.size() - kFrameHeaderSize;
    if (m > available) {
        return PictureResult::failure("picture length", "is " + std::to_string(m) + ", but only " +
                                          std::to_string(available) + " bytes follow the frame header");
    }
    if (m < available) {
        return PictureResult::failure("trailing bytes", "follow the picture: " + std::to_string(available - m) +
                                          " bytes after the " + std::to_string(m) +
                                          "-byte picture");
    }
    const auto bmp = blob.subspan(kFrameHeaderSize);
    // A picture too short for a file header is reported by the decoder.
    if (bmp.size() >= kBmpFileHeaderSize) {
        const std::uint32_t file_size = read_u32(bmp, kBmpFileSizeOffset);
        if (file_size != m) {
            return PictureResult::failure("file size", "is " + std::to_string(file_size) +
                                         ", but the frame holds a picture of " + std::to_string(m) +
                                         " bytes");
        }
    }
    return decode_bmp(bmp);
}

std::vector<std::uint8_t> frame_picture(std::span<const std::uint8_t> bmp_file) {
    assert(bmp_file.size() <= std::numeric_limits<std::uint32_t>::max() - kFrameFieldsAfterLength);
    const auto m = static_cast<std::uint32_t>(bmp_file.size());
    std::vector<std::uint8_t> blob;
    blob.reserve(kFrameHeaderSize + bmp_file.size());
    write_u32(blob, m + kFrameFieldsAfterLength);
    blob.insert(blob.end(), std::begin(kPictureTag), std::end(kPictureTag));
    write_u32(blob, m);
    blob.insert(blob.end(), bmp_file.begin(), bmp_file.end());
    return blob;
}

}  // namespace idr
