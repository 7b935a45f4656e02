#include "picture/bmp.h"

#include <cassert>
#include <cstddef>
#include <limits>

namespace idr {

namespace {

// Sizes and values of the one BMP form we read and write.
constexpr std::size_t kFileHeaderSize = 14;     // BITMAPFILEHEADER
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
    return PictureResult{std::nullopt, PictureError{std::move(field), std::move(detail)}};
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

}  // namespace

std::string PictureError::message() const { return field + " " + detail; }

PictureResult decode_bmp(std::span<const std::uint8_t> bytes) {
    const std::int64_t file_length = static_cast<std::int64_t>(bytes.size());
    ByteReader reader(bytes);

    if (!reader.has(kFileHeaderSize)) {
        return fail("file header", "is cut short: the file has " + std::to_string(file_length) +
                                       " bytes, a BMP file needs at least 14");
    }
    FileHeader file;
    file.signature[0] = reader.u8();
    file.signature[1] = reader.u8();
    file.file_size = reader.u32();
    file.reserved1 = reader.u16();
    file.reserved2 = reader.u16();
    file.pixel_data_offset = reader.u32();

    if (file.signature[0] != 'B' || file.signature[1] != 'M') {
        return fail("signature", "is " + describe_signature(file.signature) + ", expected \"BM\"");
    }
    if (!reader.has(4)) {
        return fail("information header size",
                    "is missing: the file ends " + std::to_string(file_length - 14) +
                        " bytes after the file header");
    }
    InfoHeader info;
    info.size = reader.u32();
    if (info.size != kInfoHeaderSize) {
        return fail("information header size",
                    "is " + std::to_string(info.size) + ", only 40 (BITMAPINFOHEADER) is supported");
    }
    if (!reader.has(kInfoHeaderSize - 4)) {
        return fail("information header", "is cut short: the file has " + std::to_string(file_length) +
                                              " bytes, the headers need 54");
    }
    info.width = reader.i32();
    info.height = reader.i32();
    info.planes = reader.u16();
    info.bits_per_pixel = reader.u16();
    info.compression = reader.u32();
    info.image_size = reader.u32();
    info.x_pixels_per_metre = reader.i32();
    info.y_pixels_per_metre = reader.i32();
    info.colours_used = reader.u32();
    info.colours_important = reader.u32();
    assert(!reader.failed());

    // Checked once the headers are known to be whole, so that a file cut
    // short inside them is reported as such and not as a bad offset; an
    // offset right at the end is a file cut short before its pixels.
    if (static_cast<std::int64_t>(file.pixel_data_offset) > file_length) {
        return fail("pixel data offset", "is " + std::to_string(file.pixel_data_offset) +
                                             ", beyond the end of the " +
                                             std::to_string(file_length) + "-byte file");
    }
    if (info.planes != kPlanes) {
        return fail("planes", "is " + std::to_string(info.planes) + ", must be 1");
    }
    if (info.bits_per_pixel != kBitsPerPixel) {
        return fail("bits per pixel",
                    "is " + std::to_string(info.bits_per_pixel) + ", only 24 is supported");
    }
    if (info.compression != kCompressionNone) {
        return fail("compression", "is " + std::to_string(info.compression) +
                                       compression_name(info.compression) +
                                       ", only 0 (none) is supported");
    }
    if (info.width < 1) {
        return fail("width", "is " + std::to_string(info.width) + ", must be at least 1");
    }
    if (info.height == 0) {
        return fail("height", "is 0, a picture needs at least one row");
    }
    if (info.height == std::numeric_limits<std::int32_t>::min()) {
        return fail("height", "is " + std::to_string(info.height) + ", out of range");
    }

    const bool top_down = info.height < 0;
    const std::int64_t width = info.width;
    const std::int64_t height = top_down ? -static_cast<std::int64_t>(info.height) : info.height;
    if (width > kMaxBmpDimension || height > kMaxBmpDimension || width * height > kMaxBmpPixels) {
        return fail("picture size", "is " + std::to_string(width) + " x " + std::to_string(height) +
                                        ", larger than the supported " +
                                        std::to_string(kMaxBmpDimension) + " per side and " +
                                        std::to_string(kMaxBmpPixels) + " pixels in all");
    }

    const std::int64_t offset = file.pixel_data_offset;
    if (offset < static_cast<std::int64_t>(kHeadersSize)) {
        return fail("pixel data offset", "is " + std::to_string(offset) +
                                             ", inside the 54 bytes of headers");
    }
    // The padding after the last stored row is not needed to read the picture,
    // and some writers leave it out; every pixel byte must be there.
    const std::int64_t stride = row_stride(width);
    const std::int64_t needed = stride * (height - 1) + width * kBytesPerPixel;
    if (needed > file_length - offset) {
        return fail("pixel data", "is cut short: " + std::to_string(height) + " rows of " +
                                      std::to_string(width) + " pixels need " +
                                      std::to_string(needed) + " bytes from offset " +
                                      std::to_string(offset) + ", the file has " +
                                      std::to_string(file_length - offset));
    }

    Surface surface(static_cast<int>(width), static_cast<int>(height));
    for (std::int64_t s = 0; s < height; ++s) {
        const std::int64_t row_start = offset + s * stride;
        const int y = static_cast<int>(top_down ? s : height - 1 - s);
        for (std::int64_t x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(row_start + x * kBytesPerPixel);
            const Int32 blue = bytes[at];
            const Int32 green = bytes[at + 1];
            const Int32 red = bytes[at + 2];
            surface.set_pixel(static_cast<int>(x), y, red + 256 * green + 65536 * blue);
        }
    }
    return PictureResult{std::move(surface), {}};
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
