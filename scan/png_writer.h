#pragma once
// PNG files of drawn pictures (the review pictures), written quickly.
//
// A review picture is mostly flat paper, pixels repeated (the block is drawn
// enlarged, each of its pixels a square), and rows repeated. zlib at its
// fastest level spends about 7 ms on such a 0.75-megapixel picture, nearly
// half of what a review picture costs a page, because it looks for repeats
// everywhere in its window and codes every symbol through general tables.
// This writer looks for repeats only where drawn pictures have them (the
// pixel before, the pixel above, and the last place the same four bytes were
// seen) and codes each stretch of the picture with its own Huffman codes: a
// valid PNG (8-bit, unfiltered rows, one zlib stream) that any reader opens.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace idr::scan {

// Largest picture written, in bytes of pixels (a review picture is about
// 2.3 MB).
inline constexpr std::size_t kMaxDrawnPngBytes = std::size_t{1} << 30;

// `height` rows of `width` pixels, `channels` bytes each (1: grey; 3: red,
// green, blue), rows `stride` bytes apart. Empty when there is nothing to
// write or the picture is larger than kMaxDrawnPngBytes.
std::vector<std::uint8_t> write_drawn_png(const std::uint8_t* pixels, int width, int height, int channels,
                                          std::size_t stride);

}  // namespace idr::scan
