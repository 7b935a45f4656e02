#pragma once
// The luma of a baseline JPEG at half size, decoded by our own code: the
// page's only scan read with a wider Huffman table than the library's and
// the reduced inverse transform done as the library does it, to the bit.
// Most pages of a batch are such files, and their decoding was half of a
// page's time.

#include <cstddef>
#include <cstdint>

#include <opencv2/core.hpp>

#include <jpeglib.h>

namespace idr::scan {

// `info` has read the header and started decompression (grey output, scaled
// to 1/2, the accurate integer method); its source holds the whole file in
// memory, ending at `end`. Fills `out` (CV_8UC1, the output size) and returns
// true when the file is one this decoder reads exactly as the library would:
// one interleaved or grey Huffman scan, 8-bit, the luma not subsampled, the
// data clean up to its end (restart markers where they belong, no damage,
// nothing but EOI, APPn or COM markers after it) and the processor has
// AVX2. Otherwise returns false and the caller decodes the file with the
// library from the start.
bool decode_luma_half(jpeg_decompress_struct& info, const std::uint8_t* end, cv::Mat& out);

}  // namespace idr::scan
