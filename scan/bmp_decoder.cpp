#include "scan/bmp_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <optional>
#include <vector>

namespace idr::scan {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr std::uint32_t kInfoHeaderSize = 40;

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,  // also OS/2 2.x Huffman 1D for 1-bit pictures
    kJpeg = 4,       // also OS/2 2.x RLE24 for 24-bit pictures
    kPng = 5,
    kAlphaBitFields = 6,
};

class Bytes {
public:
    explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
    std::size_t size() const { return bytes_.size(); }
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::uint32_t u8(std::uint64_t at) const { return static_cast<std::uint8_t>(bytes_[static_cast<std::size_t>(at)]); }
    std::uint32_t u16(std::uint64_t at) const { return u8(at) | (u8(at + 1) << 8); }
    std::uint32_t u32(std::uint64_t at) const { return u16(at) | (u16(at + 2) << 16); }

private:
    std::string_view bytes_;
};

// One colour channel held in some bits of a 16- or 32-bit pixel.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t top = 0;  // the largest value the bits hold

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (mask != 0) {
            shift = std::countr_zero(mask);
            top = (std::uint64_t{mask} >> shift);
        }
    }
    std::uint8_t of(std::uint32_t pixel, std::uint8_t none) const {
        if (mask == 0) return none;
        const std::uint64_t v = (std::uint64_t{pixel} & mask) >> shift;
        return static_cast<std::uint8_t>((v * 255 + top / 2) / top);
    }
};

struct Header {
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive: rows bottom-up
    bool top_down = false;
    std::uint32_t bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t info_size = 0;
    std::uint64_t data_offset = 0;
    std::uint64_t palette_offset = 0;
    std::uint32_t palette_entry = 4;
    std::uint64_t colours_used = 0;
    std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
};

std::variant<Header, std::string> read_header(const Bytes& in) {
    if (!in.has(0, kFileHeaderSize + 4)) return std::string("BMP header cut short");
    Header h;
    h.data_offset = in.u32(10);
    h.info_size = in.u32(14);
    if (h.info_size == kCoreHeaderSize) {
        if (!in.has(14, kCoreHeaderSize)) return std::string("BMP core header cut short");
        h.width = in.u16(18);
        h.height = in.u16(20);
        h.bits = in.u16(24);
        h.palette_entry = 3;
    } else if (h.info_size >= 16 && h.info_size <= 124) {
        if (!in.has(14, std::min<std::uint32_t>(h.info_size, kInfoHeaderSize))) {
            return std::string("BMP information header cut short");
        }
        h.width = static_cast<std::int32_t>(in.u32(18));
        h.height = static_cast<std::int32_t>(in.u32(22));
        h.bits = in.u16(28);
        if (h.info_size >= 20) h.compression = in.u32(30);
        if (h.info_size >= 36) h.colours_used = in.u32(46);
    } else {
        return "BMP information header size is " + std::to_string(h.info_size) + ", not one of the known layouts";
    }
    if (h.height < 0) {
        h.top_down = true;
        h.height = -h.height;
    }
    if (h.width <= 0 || h.height <= 0) {
        return "BMP size is " + std::to_string(h.width) + " x " + std::to_string(h.height) + ", an empty picture";
    }
    const auto b = h.bits;
    // A JPEG or PNG inside declares 0 bits per pixel: say what it is.
    if (h.compression == kPng) return std::string("BMP compression is 5 (a PNG inside the BMP), which is not supported");
    if (h.compression == kJpeg && b != 24) {
        return std::string("BMP compression is 4 (a JPEG inside the BMP), which is not supported");
    }
    if (b != 1 && b != 2 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) {
        return "BMP bits per pixel is " + std::to_string(b) + ", not 1, 2, 4, 8, 16, 24 or 32";
    }
    switch (h.compression) {
        case kRgb: break;
        case kRle8:
            if (b != 8) return "BMP compression is 1 (8-bit run lengths) for a " + std::to_string(b) + "-bit picture";
            break;
        case kRle4:
            if (b != 4) return "BMP compression is 2 (4-bit run lengths) for a " + std::to_string(b) + "-bit picture";
            break;
        case kBitFields:
        case kAlphaBitFields:
            if (b == 1) return std::string("BMP compression is 3 (OS/2 Huffman coding), which is not supported");
            if (b != 16 && b != 32) {
                return "BMP compression is " + std::to_string(h.compression) + " (bit fields) for a " +
                       std::to_string(b) + "-bit picture";
            }
            break;
        case kJpeg: return std::string("BMP compression is 4 (OS/2 24-bit run lengths), which is not supported");
        default: return "BMP compression is " + std::to_string(h.compression) + ", not a known method";
    }
    // Masks: inside a larger header, or right after a 40-byte one.
    const std::uint64_t masks_at = kFileHeaderSize + kInfoHeaderSize;
    std::uint64_t after_masks = kFileHeaderSize + h.info_size;
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
        const int count = h.compression == kAlphaBitFields || h.info_size >= 56 ? 4 : 3;
        if (!in.has(masks_at, 4u * count)) return std::string("BMP colour masks cut short");
        for (int k = 0; k < count; ++k) h.masks[static_cast<std::size_t>(k)] = in.u32(masks_at + 4u * k);
        if (h.info_size == kInfoHeaderSize) after_masks += 4u * count;
    } else if (b == 16) {
        h.masks = {0x7C00, 0x03E0, 0x001F, 0};  // 5 bits each
    } else if (b == 32) {
        h.masks = {0xFF0000, 0xFF00, 0xFF, 0};  // the top byte is unused
    }
    h.palette_offset = after_masks;
    return h;
}

std::vector<cv::Vec3b> read_palette(const Bytes& in, const Header& h) {
    std::vector<cv::Vec3b> palette(256, cv::Vec3b(0, 0, 0));  // entries a file leaves out are black
    if (h.bits > 8) return palette;
    const std::uint64_t wanted = h.colours_used != 0 && h.colours_used < (1u << h.bits) ? h.colours_used : (1u << h.bits);
    for (std::uint64_t k = 0; k < wanted; ++k) {
        const std::uint64_t at = h.palette_offset + k * h.palette_entry;
        if (!in.has(at, 3)) break;
        palette[static_cast<std::size_t>(k)] = cv::Vec3b(static_cast<std::uint8_t>(in.u8(at)),
                                                         static_cast<std::uint8_t>(in.u8(at + 1)),
                                                         static_cast<std::uint8_t>(in.u8(at + 2)));
    }
    return palette;
}

// Run-length coded palette indices. Pixels the runs skip or never reach are
// index 0; runs past the right edge are cut off there. Data that ends early
// leaves the rest unset, as viewers show it.
void decode_rle(const Bytes& in, const Header& h, std::vector<std::uint8_t>& indices) {
    const bool four = h.compression == kRle4;
    std::uint64_t at = h.data_offset;
    std::int64_t x = 0, y = 0;
    const auto put = [&](std::uint32_t index) {
        if (x < h.width && y < h.height) indices[static_cast<std::size_t>(y * h.width + x)] = static_cast<std::uint8_t>(index);
        ++x;
    };
    while (y < h.height && in.has(at, 2)) {
        const std::uint32_t count = in.u8(at), value = in.u8(at + 1);
        at += 2;
        if (count > 0) {  // a run of one index (two alternating for 4 bits)
            for (std::uint32_t k = 0; k < count; ++k) put(four ? ((k % 2 == 0) ? value >> 4 : value & 15) : value);
        } else if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // move right and down
            if (!in.has(at, 2)) break;
            x += in.u8(at);
            y += in.u8(at + 1);
            at += 2;
        } else {  // `value` indices as they are, padded to whole 16-bit words
            const std::uint64_t bytes = four ? (value + 1) / 2 : value;
            if (!in.has(at, bytes)) break;
            for (std::uint32_t k = 0; k < value; ++k) {
                const std::uint32_t byte = in.u8(at + (four ? k / 2 : k));
                put(four ? ((k % 2 == 0) ? byte >> 4 : byte & 15) : byte);
            }
            at += (bytes + 1) / 2 * 2;
        }
    }
}

}  // namespace

std::variant<cv::Mat, std::string> decode_bmp_page(std::string_view bytes) {
    const Bytes in(bytes);
    auto parsed = read_header(in);
    if (const auto* error = std::get_if<std::string>(&parsed)) return *error;
    const Header& h = std::get<Header>(parsed);
    if (h.data_offset >= in.size()) {
        return "BMP pixel data offset is " + std::to_string(h.data_offset) + ", beyond the end of the file (" +
               std::to_string(in.size()) + " bytes)";
    }
    const std::vector<cv::Vec3b> palette = read_palette(in, h);
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    const std::uint64_t stride = (static_cast<std::uint64_t>(h.width) * h.bits + 31) / 32 * 4;
    if (static_cast<std::uint64_t>(h.height) > UINT64_MAX / stride) return std::string("BMP size overflows");
    if (!rle) {
        const std::uint64_t needed = stride * static_cast<std::uint64_t>(h.height);
        if (!in.has(h.data_offset, needed)) {
            return "BMP pixel data cut short (" + std::to_string(in.size() - h.data_offset) + " of " +
                   std::to_string(needed) + " bytes)";
        }
    }
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
    const bool with_alpha = h.bits >= 16 && h.masks[3] != 0;
    cv::Mat out;
    std::vector<std::uint8_t> indices;
    try {
        out.create(static_cast<int>(h.height), static_cast<int>(h.width), with_alpha ? CV_8UC4 : CV_8UC3);
        if (rle) indices.assign(static_cast<std::size_t>(h.width * h.height), 0);
    } catch (const std::exception&) {
        return std::string("out of memory for the picture");
    }
    if (rle) decode_rle(in, h, indices);
    const int channels = out.channels();
    for (std::int64_t row = 0; row < h.height; ++row) {
        // A negative height puts the first row on top. (Run-length data is
        // meant to be stored bottom-up only, but writers that store it the
        // other way round mean it so.)
        const std::int64_t y = h.top_down ? row : h.height - 1 - row;
        auto* o = out.ptr<std::uint8_t>(static_cast<int>(y));
        const std::uint64_t line = h.data_offset + static_cast<std::uint64_t>(row) * stride;
        for (std::int64_t x = 0; x < h.width; ++x, o += channels) {
            if (rle || h.bits <= 8) {
                std::uint32_t index = 0;
                if (rle) {
                    index = indices[static_cast<std::size_t>(row * h.width + x)];
                } else {
                    const std::uint64_t bit = static_cast<std::uint64_t>(x) * h.bits;
                    const std::uint32_t byte = in.u8(line + bit / 8);
                    index = (byte >> (8 - h.bits - bit % 8)) & ((1u << h.bits) - 1);
                }
                const cv::Vec3b& c = palette[index];
                o[0] = c[0], o[1] = c[1], o[2] = c[2];
            } else if (h.bits == 24) {
                const std::uint64_t at = line + static_cast<std::uint64_t>(x) * 3;
                o[0] = static_cast<std::uint8_t>(in.u8(at));
                o[1] = static_cast<std::uint8_t>(in.u8(at + 1));
                o[2] = static_cast<std::uint8_t>(in.u8(at + 2));
            } else {
                const std::uint64_t at = line + static_cast<std::uint64_t>(x) * (h.bits / 8);
                const std::uint32_t pixel = h.bits == 16 ? in.u16(at) : in.u32(at);
                o[0] = blue.of(pixel, 0);
                o[1] = green.of(pixel, 0);
                o[2] = red.of(pixel, 0);
                if (with_alpha) o[3] = alpha.of(pixel, 255);
            }
        }
    }
    return out;
}

}  // namespace idr::scan
