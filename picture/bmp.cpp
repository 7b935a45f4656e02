#include "picture/bmp.h"

#include <cassert>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>

namespace idr {

namespace {

// Sizes and values of the one BMP form we read and write.
constexpr std::size_t kFileHeaderSize = kBmpFileHeaderSize;
constexpr std::uint32_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr std::uint16_t kPlanes = 1;
constexpr std::uint16_t kBitsPerPixel = 24;
constexpr std::uint32_t kCompressionNone = 0;   // BI_RGB
constexpr std::int64_t kBytesPerPixel = 3;      // blue, green, red
constexpr std::int32_t kPixelsPerMetre = 7874;  // 200 dots per inch

struct FileHeader {
    std::uint8_t signature[2] = {};
    std::uint32_t file_size = 0;  // often wrong in the wild; not checked here
    std::uint16_t reserved1 = 0;
    std::uint16_t reserved2 = 0;
    std::uint32_t pixel_data_offset = 0;
};

struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows stored top-down
    std::uint16_t planes = 0;
    std::uint16_t bits_per_pixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t image_size = 0;  // may be 0 for uncompressed files; unused
    std::int32_t x_pixels_per_metre = 0;
    std::int32_t y_pixels_per_metre = 0;
    std::uint32_t colours_used = 0;
    std::uint32_t colours_important = 0;
};

// Little-endian reads from a byte span. Every read checks that its bytes are
// there; a read past the end yields 0 and marks the reader as failed, so a
// caller that checked has() first never sees that, and one that did not
// still never reads outside the span.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t position = 0)
        : bytes_(bytes), position_(position) {}

    bool has(std::size_t count) const {
        return position_ <= bytes_.size() && bytes_.size() - position_ >= count;
    }
    bool failed() const { return failed_; }

    std::uint8_t u8() {
        if (!has(1)) {
            failed_ = true;
            return 0;
        }
        return bytes_[position_++];
    }
    std::uint16_t u16() {
        if (!has(2)) {
            failed_ = true;
            return 0;
        }
        const std::uint16_t lo = u8();
        const std::uint16_t hi = u8();
        return static_cast<std::uint16_t>(lo | (hi << 8));
    }
    std::uint32_t u32() {
        if (!has(4)) {
            failed_ = true;
            return 0;
        }
        const std::uint32_t lo = u16();
        const std::uint32_t hi = u16();
        return lo | (hi << 16);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_;
    bool failed_ = false;
};

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v & 0xFF));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v & 0xFFFF));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }

private:
    std::vector<std::uint8_t>& out_;
};

PictureResult fail(std::string field, std::string detail) {
    return PictureResult::failure(std::move(field), std::move(detail));
}

std::string describe_signature(const std::uint8_t (&sig)[2]) {
    auto printable = [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; };
    if (printable(sig[0]) && printable(sig[1])) {
        return std::string("\"") + static_cast<char>(sig[0]) + static_cast<char>(sig[1]) + "\"";
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "the bytes ";
    for (int i = 0; i < 2; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kHex[sig[i] >> 4];
        text += kHex[sig[i] & 0xF];
    }
    return text;
}

std::string compression_name(std::uint32_t compression) {
    switch (compression) {
        case 1: return " (RLE8)";
        case 2: return " (RLE4)";
        case 3: return " (bit fields)";
        case 4: return " (JPEG)";
        case 5: return " (PNG)";
        case 6: return " (alpha bit fields)";
        default: return "";
    }
}

// Bytes in one stored row: 3 per pixel, padded to a multiple of 4.
std::int64_t row_stride(std::int64_t width) { return (width * kBytesPerPixel + 3) / 4 * 4; }

// The decoder's stages, in the order a file is checked. Each returns the
// failure it found, or nothing to go on.
using Failure = std::optional<PictureResult>;

struct Headers {
    FileHeader file;
    InfoHeader info;
};

// Stage 1: both headers, whole. A file cut short inside them is reported by
// where it ends.
Failure read_headers(ByteReader& reader, std::int64_t file_length, Headers& h) {
    if (!reader.has(kFileHeaderSize)) {
        return fail("file header", "is cut short: the file has " + std::to_string(file_length) +
                                       " bytes, a BMP file needs at least 14");
    }
    h.file.signature[0] = reader.u8();
    h.file.signature[1] = reader.u8();
    h.file.file_size = reader.u32();
    h.file.reserved1 = reader.u16();
    h.file.reserved2 = reader.u16();
    h.file.pixel_data_offset = reader.u32();

    if (h.file.signature[0] != 'B' || h.file.signature[1] != 'M') {
        return fail("signature", "is " + describe_signature(h.file.signature) + ", expected \"BM\"");
    }
    if (!reader.has(4)) {
        return fail("information header size",
                    "is missing: the file ends " + std::to_string(file_length - 14) +
                        " bytes after the file header");
    }
    h.info.size = reader.u32();
    if (h.info.size != kInfoHeaderSize) {
        return fail("information header size",
                    "is " + std::to_string(h.info.size) + ", only 40 (BITMAPINFOHEADER) is supported");
    }
    if (!reader.has(kInfoHeaderSize - 4)) {
        return fail("information header", "is cut short: the file has " + std::to_string(file_length) +
                                              " bytes, the headers need 54");
    }
    h.info.width = reader.i32();
    h.info.height = reader.i32();
    h.info.planes = reader.u16();
    h.info.bits_per_pixel = reader.u16();
    h.info.compression = reader.u32();
    h.info.image_size = reader.u32();
    h.info.x_pixels_per_metre = reader.i32();
    h.info.y_pixels_per_metre = reader.i32();
    h.info.colours_used = reader.u32();
    h.info.colours_important = reader.u32();
    assert(!reader.failed());
    return std::nullopt;
}

// Stage 2: the one form we read (24-bit, uncompressed, one plane), with an
// offset inside the file. The offset is checked only once the headers are
// known to be whole, so that a file cut short inside them is reported as
// such and not as a bad offset; an offset right at the end is a file cut
// short before its pixels.
Failure check_format(const Headers& h, std::int64_t file_length) {
    if (static_cast<std::int64_t>(h.file.pixel_data_offset) > file_length) {
        return fail("pixel data offset", "is " + std::to_string(h.file.pixel_data_offset) +
                                             ", beyond the end of the " +
                                             std::to_string(file_length) + "-byte file");
    }
    if (h.info.planes != kPlanes) {
        return fail("planes", "is " + std::to_string(h.info.planes) + ", must be 1");
    }
    if (h.info.bits_per_pixel != kBitsPerPixel) {
        return fail("bits per pixel",
                    "is " + std::to_string(h.info.bits_per_pixel) + ", only 24 is supported");
    }
    if (h.info.compression != kCompressionNone) {
        return fail("compression", "is " + std::to_string(h.info.compression) +
                                       compression_name(h.info.compression) +
                                       ", only 0 (none) is supported");
    }
    return std::nullopt;
}

struct PixelLayout {
    std::int64_t width = 0, height = 0;
    bool top_down = false;
    std::int64_t offset = 0, stride = 0;
};

// Stage 3: the picture's size within the caps, before anything is
// allocated. The sign of the height says which row comes first.
Failure check_size(const InfoHeader& info, PixelLayout& layout) {
    if (info.width < 1) {
        return fail("width", "is " + std::to_string(info.width) + ", must be at least 1");
    }
    if (info.height == 0) {
        return fail("height", "is 0, a picture needs at least one row");
    }
    if (info.height == std::numeric_limits<std::int32_t>::min()) {
        return fail("height", "is " + std::to_string(info.height) + ", out of range");
    }
    layout.top_down = info.height < 0;
    layout.width = info.width;
    layout.height = layout.top_down ? -static_cast<std::int64_t>(info.height) : info.height;
    if (layout.width > kMaxBmpDimension || layout.height > kMaxBmpDimension ||
        layout.width * layout.height > kMaxBmpPixels) {
        return fail("picture size", "is " + std::to_string(layout.width) + " x " +
                                        std::to_string(layout.height) + ", larger than the supported " +
                                        std::to_string(kMaxBmpDimension) + " per side and " +
                                        std::to_string(kMaxBmpPixels) + " pixels in all");
    }
    return std::nullopt;
}

// Stage 4: every pixel byte is in the file, after the headers.
Failure check_pixel_data(std::uint32_t pixel_data_offset, std::int64_t file_length, PixelLayout& layout) {
    layout.offset = pixel_data_offset;
    if (layout.offset < static_cast<std::int64_t>(kHeadersSize)) {
        return fail("pixel data offset", "is " + std::to_string(layout.offset) +
                                             ", inside the 54 bytes of headers");
    }
    // The padding after the last stored row is not needed to read the picture,
    // and some writers leave it out; every pixel byte must be there.
    layout.stride = row_stride(layout.width);
    const std::int64_t needed = layout.stride * (layout.height - 1) + layout.width * kBytesPerPixel;
    if (needed > file_length - layout.offset) {
        return fail("pixel data", "is cut short: " + std::to_string(layout.height) + " rows of " +
                                      std::to_string(layout.width) + " pixels need " +
                                      std::to_string(needed) + " bytes from offset " +
                                      std::to_string(layout.offset) + ", the file has " +
                                      std::to_string(file_length - layout.offset));
    }
    return std::nullopt;
}

// Stage 5: the pixels, blue-green-red bytes into colour values.
Surface read_pixels(std::span<const std::uint8_t> bytes, const PixelLayout& layout) {
    Surface surface(static_cast<int>(layout.width), static_cast<int>(layout.height));
    for (std::int64_t s = 0; s < layout.height; ++s) {
        const std::int64_t row_start = layout.offset + s * layout.stride;
        const int y = static_cast<int>(layout.top_down ? s : layout.height - 1 - s);
        for (std::int64_t x = 0; x < layout.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(row_start + x * kBytesPerPixel);
            const Int32 blue = bytes[at];
            const Int32 green = bytes[at + 1];
            const Int32 red = bytes[at + 2];
            surface.set_pixel(static_cast<int>(x), y, red + 256 * green + 65536 * blue);
        }
    }
    return surface;
}

}  // namespace

std::string PictureError::message() const { return field + " " + detail; }

PictureResult decode_bmp(std::span<const std::uint8_t> bytes) {
    const std::int64_t file_length = static_cast<std::int64_t>(bytes.size());
    ByteReader reader(bytes);
    Headers headers;
    PixelLayout layout;
    if (Failure f = read_headers(reader, file_length, headers)) return std::move(*f);
    if (Failure f = check_format(headers, file_length)) return std::move(*f);
    if (Failure f = check_size(headers.info, layout)) return std::move(*f);
    if (Failure f = check_pixel_data(headers.file.pixel_data_offset, file_length, layout)) return std::move(*f);
    return PictureResult{read_pixels(bytes, layout), {}};
}

std::vector<std::uint8_t> encode_bmp(const Surface& surface) {
    const std::int64_t width = surface.width();
    const std::int64_t height = surface.height();
    const std::int64_t stride = row_stride(width);
    const std::int64_t image_size = stride * height;
    const std::int64_t file_size = static_cast<std::int64_t>(kHeadersSize) + image_size;
    // The format stores sizes in 32 bits; a surface that large is a caller's mistake.
    assert(file_size <= std::numeric_limits<std::uint32_t>::max());
    assert(width <= std::numeric_limits<std::int32_t>::max() &&
           height <= std::numeric_limits<std::int32_t>::max());

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(file_size));
    ByteWriter w(out);

    w.u8('B');
    w.u8('M');
    w.u32(static_cast<std::uint32_t>(file_size));
    w.u16(0);
    w.u16(0);
    w.u32(static_cast<std::uint32_t>(kHeadersSize));

    w.u32(kInfoHeaderSize);
    w.i32(static_cast<std::int32_t>(width));
    w.i32(static_cast<std::int32_t>(height));  // positive: bottom-up
    w.u16(kPlanes);
    w.u16(kBitsPerPixel);
    w.u32(kCompressionNone);
    w.u32(static_cast<std::uint32_t>(image_size));
    w.i32(kPixelsPerMetre);
    w.i32(kPixelsPerMetre);
    w.u32(0);
    w.u32(0);

    const std::int64_t padding = stride - width * kBytesPerPixel;
    for (std::int64_t s = 0; s < height; ++s) {
        const int y = static_cast<int>(height - 1 - s);
        for (int x = 0; x < width; ++x) {
            const auto colour = static_cast<std::uint32_t>(surface.pixel(x, y));
            w.u8(static_cast<std::uint8_t>((colour >> 16) & 0xFF));  // blue
            w.u8(static_cast<std::uint8_t>((colour >> 8) & 0xFF));   // green
            w.u8(static_cast<std::uint8_t>(colour & 0xFF));          // red
        }
        for (std::int64_t p = 0; p < padding; ++p) {
            w.u8(0);
        }
    }
    assert(static_cast<std::int64_t>(out.size()) == file_size);
    return out;
}

}  // namespace idr
