#pragma once
// BMP decoding and encoding. The decoder takes 24-bit uncompressed files with
// a 40-byte information header, rows bottom-up (positive height) or top-down
// (negative height), and honours the pixel-data offset (so a colour table
// that a 24-bit file carries is skipped). Everything else is rejected with an
// error that names the field that was wrong. It never reads outside `bytes`
// and checks every size before allocating.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "picture/surface.h"

namespace idr {

// Largest picture the decoder will allocate for.
inline constexpr std::int64_t kMaxBmpDimension = 16384;         // per side
inline constexpr std::int64_t kMaxBmpPixels = 32 * 1024 * 1024;  // in all

struct PictureError {
    std::string field;   // e.g. "signature", "bits per pixel", "pixel data offset"
    std::string detail;  // e.g. "is 8, only 24 is supported"
    // "<field> <detail>", e.g. "bits per pixel is 8, only 24 is supported".
    std::string message() const;
};

// Either a picture or the reason there is none.
struct PictureResult {
    std::optional<Surface> picture;
    PictureError error;  // meaningful only when !picture
    explicit operator bool() const { return picture.has_value(); }

    static PictureResult failure(std::string field, std::string detail) {
        return {std::nullopt, PictureError{std::move(field), std::move(detail)}};
    }
};

// The BMP file header's size and where it keeps the file's own length; the
// framed picture checks that length against its frame.
inline constexpr std::size_t kBmpFileHeaderSize = 14;  // BITMAPFILEHEADER
inline constexpr std::size_t kBmpFileSizeOffset = 2;

PictureResult decode_bmp(std::span<const std::uint8_t> bytes);

// 24-bit, uncompressed, bottom-up, 40-byte header, 7874 pixels per metre,
// rows padded to 4 bytes with zeros. The top byte of each colour is ignored;
// a surface of 262 x 362 gives a 285310-byte file.
std::vector<std::uint8_t> encode_bmp(const Surface& surface);

}  // namespace idr
