#pragma once
// The framed picture value: a self-delimiting blob holding one BMP file.
//   offset 0: N, u32 LE, the number of bytes after this field (= M + 8)
//   offset 4: the tag 6C 74 00 00
//   offset 8: M, u32 LE, the length of the BMP file
//   offset 12: the BMP file, M bytes; M equals the BMP's own file-size field
//              and nothing follows it.

#include <cstdint>
#include <span>
#include <vector>

#include "picture/bmp.h"

namespace idr {

inline constexpr std::uint8_t kPictureTag[4] = {0x6C, 0x74, 0x00, 0x00};

// Checks the frame (naming the field that is wrong: "frame length",
// "frame tag", "picture length", "trailing bytes", ...), then decodes the BMP.
PictureResult read_framed_picture(std::span<const std::uint8_t> blob);

// Wraps a BMP file in the frame.
std::vector<std::uint8_t> frame_picture(std::span<const std::uint8_t> bmp_file);

}  // namespace idr
