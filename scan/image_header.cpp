#include "scan/image_header.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <utility>

namespace idr::scan {
namespace {

constexpr std::string_view kPngSignature{"\x89PNG\r\n\x1a\n", 8};
constexpr std::size_t kPdfSignatureWindow = 1024;  // readers accept "%PDF-" this far in

// Reads integers at absolute offsets; every read says whether the bytes were
// there. Nothing here can read outside the source.
class ByteReader {
public:
    ByteReader(const ByteSource& bytes, bool big_endian) : bytes_(bytes), big_endian_(big_endian) {}

    std::uint64_t size() const { return bytes_.size(); }
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::optional<std::uint64_t> uint(std::uint64_t offset, int length) const {
        std::array<char, 8> raw{};
        if (length > 8 || !has(offset, static_cast<std::uint64_t>(length)) ||
            !bytes_.read(offset, static_cast<std::size_t>(length), raw.data())) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < length; ++i) {
            const auto byte = static_cast<std::uint8_t>(raw[static_cast<std::size_t>(big_endian_ ? i : length - 1 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }
    std::optional<std::uint64_t> u8(std::uint64_t offset) const { return uint(offset, 1); }
    std::optional<std::uint64_t> u16(std::uint64_t offset) const { return uint(offset, 2); }
    std::optional<std::uint64_t> u32(std::uint64_t offset) const { return uint(offset, 4); }
    std::optional<std::uint64_t> u64(std::uint64_t offset) const { return uint(offset, 8); }
    bool matches(std::uint64_t offset, std::string_view text) const {
        std::string found(text.size(), '\0');
        return has(offset, text.size()) && bytes_.read(offset, text.size(), found.data()) && found == text;
    }

private:
    const ByteSource& bytes_;
    bool big_endian_;
};

HeaderError cut_short(const char* what, std::uint64_t needed, std::uint64_t have) {
    return {std::string(what) + " cut short (" + std::to_string(have) + " of " + std::to_string(needed) +
            " bytes)"};
}

std::variant<ImageHeader, HeaderError> one_page(ImageFormat format, PageHeader page) {
    ImageHeader header;
    header.format = format;
    header.pages.push_back(page);
    return header;
}

// --- PNG: the IHDR chunk must come first; tRNS, if any, before IDAT.
std::variant<ImageHeader, HeaderError> read_png(const ByteSource& bytes) {
    const ByteReader in(bytes, true);
    constexpr std::uint64_t kIhdrEnd = 8 + 8 + 13;
    if (!in.has(0, kIhdrEnd)) {
        return cut_short("PNG header", kIhdrEnd, bytes.size());
    }
    if (!in.matches(12, "IHDR") || *in.u32(8) != 13) {
        return HeaderError{"PNG file does not start with its IHDR header chunk"};
    }
    PageHeader page;
    page.width = static_cast<std::int64_t>(*in.u32(16));
    page.height = static_cast<std::int64_t>(*in.u32(20));
    const auto colour_type = *in.u8(25);
    page.may_have_alpha = colour_type == 4 || colour_type == 6;
    page.grey = colour_type == 0 || colour_type == 4;
    // Walk the chunks up to the pixels for a transparency chunk. A chunk that
    // runs off the end just ends the walk: the decoder will say what is wrong.
    std::uint64_t offset = kIhdrEnd + 4;  // past IHDR's CRC
    while (!page.may_have_alpha && in.has(offset, 8)) {
        if (in.matches(offset + 4, "IDAT")) {
            break;
        }
        if (in.matches(offset + 4, "tRNS")) {
            page.may_have_alpha = true;
        }
        offset += 12 + *in.u32(offset);
    }
    return one_page(ImageFormat::Png, page);
}

// --- JPEG: walk the marker segments to the first start-of-frame; note the
// EXIF orientation on the way (it comes in APP1, before the frame).
int exif_orientation(std::string_view bytes) {
    const MemoryBytes segment(bytes);
    // segment: the APP1 payload after "Exif\0\0", a little TIFF structure.
    if (bytes.size() < 8) {
        return 1;
    }
    const bool big = bytes.substr(0, 2) == "MM";
    if (!big && bytes.substr(0, 2) != "II") {
        return 1;
    }
    const ByteReader in(segment, big);
    const auto ifd = in.u32(4);
    const auto count = ifd ? in.u16(*ifd) : std::nullopt;
    if (!count) {
        return 1;
    }
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t entry = *ifd + 2 + 12 * i;
        const auto tag = in.u16(entry);
        if (!tag) {
            return 1;
        }
        if (*tag == 0x0112) {  // Orientation, a SHORT held in the entry itself
            const auto value = in.u16(entry + 8);
            return value && *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 1;
        }
    }
    return 1;
}

bool is_start_of_frame(std::uint64_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::variant<ImageHeader, HeaderError> read_jpeg(const ByteSource& bytes) {
    const ByteReader in(bytes, true);
    int orientation = 1;
    std::uint64_t offset = 2;  // past SOI
    while (true) {
        // Markers may be padded with any number of 0xFF fill bytes.
        if (!in.has(offset, 2)) {
            return HeaderError{"JPEG file ends before its frame header (SOF marker)"};
        }
        if (*in.u8(offset) != 0xFF) {
            return HeaderError{"JPEG marker expected at byte " + std::to_string(offset)};
        }
        while (in.has(offset + 1, 1) && *in.u8(offset + 1) == 0xFF) {
            ++offset;
        }
        const auto marker = in.u8(offset + 1);
        if (!marker) {
            return HeaderError{"JPEG file ends before its frame header (SOF marker)"};
        }
        offset += 2;
        if (*marker == 0x01 || (*marker >= 0xD0 && *marker <= 0xD8)) {
            continue;  // markers without a length
        }
        if (*marker == 0xD9 || *marker == 0xDA) {
            return HeaderError{"JPEG file has no frame header (SOF marker) before its image data"};
        }
        const auto length = in.u16(offset);
        if (!length || *length < 2) {
            return HeaderError{"JPEG segment length at byte " + std::to_string(offset) + " is cut short or invalid"};
        }
        if (is_start_of_frame(*marker)) {
            const auto height = in.u16(offset + 3);
            const auto width = in.u16(offset + 5);
            if (!height || !width) {
                return cut_short("JPEG frame header", offset + 7, bytes.size());
            }
            if (*height == 0) {
                return HeaderError{"JPEG frame header leaves the height to a later DNL marker, which is not supported"};
            }
            PageHeader page;
            page.width = static_cast<std::int64_t>(*width);
            page.height = static_cast<std::int64_t>(*height);
            page.orientation = orientation;
            const auto components = in.u8(offset + 7);
            page.grey = components && *components == 1;
            return one_page(ImageFormat::Jpeg, page);
        }
        if (*marker == 0xE1 && in.matches(offset + 2, std::string_view("Exif\0\0", 6))) {
            const std::uint64_t start = offset + 8;
            const std::uint64_t end = std::min<std::uint64_t>(offset + *length, bytes.size());
            std::string segment(end > start ? end - start : 0, '\0');
            if (bytes.read(start, segment.size(), segment.data())) {
                orientation = exif_orientation(segment);
            }
        }
        offset += *length;
    }
}

// --- TIFF (classic and BigTIFF): one page per image file directory.
std::variant<ImageHeader, HeaderError> read_tiff(const ByteSource& bytes, int max_pages) {
    const bool big_endian = ByteReader(bytes, false).matches(0, "MM");
    const ByteReader in(bytes, big_endian);
    const auto version = in.u16(2);
    const bool big_tiff = version && *version == 43;
    // Sizes of the count field, one entry, the offset fields.
    const int count_size = big_tiff ? 8 : 2;
    const int entry_size = big_tiff ? 20 : 12;
    const int offset_size = big_tiff ? 8 : 4;
    const auto first = big_tiff ? in.u64(8) : in.u32(4);
    if (!first) {
        return cut_short("TIFF header", big_tiff ? 16 : 8, bytes.size());
    }
    ImageHeader header;
    header.format = ImageFormat::Tiff;
    std::set<std::uint64_t> seen;  // a directory chain that loops back is cut there
    std::uint64_t offset = *first;
    while (offset != 0 && std::cmp_less_equal(header.pages.size(), max_pages) && seen.insert(offset).second) {
        const std::string page_name = "TIFF page " + std::to_string(header.pages.size() + 1);
        const auto count = in.uint(offset, count_size);
        if (!count || *count > bytes.size() || !in.has(offset + count_size, *count * entry_size + offset_size)) {
            return HeaderError{page_name + ": directory at byte " + std::to_string(offset) +
                               " lies beyond the end of the file"};
        }
        PageHeader page;
        std::uint64_t samples = 1;
        std::uint64_t photometric = 1;
        for (std::uint64_t i = 0; i < *count; ++i) {
            const std::uint64_t entry = offset + count_size + i * entry_size;
            const auto tag = *in.u16(entry);
            const auto type = *in.u16(entry + 2);
            const std::uint64_t value_at = entry + 4 + offset_size;
            // SHORT, LONG or LONG8, held in the entry itself.
            std::optional<std::uint64_t> value;
            if (type == 3) {
                value = in.u16(value_at);
            } else if (type == 4) {
                value = in.u32(value_at);
            } else if (type == 16 && big_tiff) {
                value = in.u64(value_at);
            }
            if (tag == 256 && value) {
                page.width = static_cast<std::int64_t>(std::min<std::uint64_t>(*value, INT64_MAX / 2));
            } else if (tag == 257 && value) {
                page.height = static_cast<std::int64_t>(std::min<std::uint64_t>(*value, INT64_MAX / 2));
            } else if (tag == 338) {  // ExtraSamples: an alpha channel (or another extra we lay on white)
                page.may_have_alpha = true;
            } else if (tag == 277 && value) {
                samples = *value;
            } else if (tag == 262 && value) {
                photometric = *value;
            } else if (tag == 274 && value) {  // Orientation, as in EXIF
                page.orientation = *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 1;
            }
        }
        // Some writers leave ExtraSamples out: one sample more than grey
        // (photometric 0 or 1) or RGB (2) needs is still alpha. CMYK (5) has
        // four samples and no alpha.
        if ((photometric <= 1 && samples == 2) || (photometric == 2 && samples == 4)) {
            page.may_have_alpha = true;
        }
        page.grey = photometric <= 1 && samples == 1;  // bilevel or grey, no alpha
        if (page.width == 0 || page.height == 0) {
            return HeaderError{page_name + " has no image width or length"};
        }
        page.directory = offset;
        header.pages.push_back(page);
        offset = *in.uint(offset + count_size + *count * entry_size, offset_size);
    }
    if (header.pages.empty()) {
        return HeaderError{"TIFF file holds no image directory"};
    }
    return header;
}

// --- WebP: the first chunk says which of the three kinds this is.
std::variant<ImageHeader, HeaderError> read_webp(const ByteSource& bytes) {
    const ByteReader in(bytes, false);
    if (!in.has(12, 8)) {
        return cut_short("WebP header", 20, bytes.size());
    }
    PageHeader page;
    if (in.matches(12, "VP8X")) {
        if (!in.has(20, 10)) {
            return cut_short("WebP extended header", 30, bytes.size());
        }
        const auto flags = *in.u8(20);
        if (flags & 0x02) {
            return HeaderError{"animated WebP files are not supported"};
        }
        page.may_have_alpha = (flags & 0x10) != 0;
        page.width = static_cast<std::int64_t>(*in.uint(24, 3)) + 1;
        page.height = static_cast<std::int64_t>(*in.uint(27, 3)) + 1;
    } else if (in.matches(12, "VP8L")) {
        if (!in.has(20, 5)) {
            return cut_short("WebP lossless header", 25, bytes.size());
        }
        if (*in.u8(20) != 0x2F) {
            return HeaderError{"WebP lossless signature byte is wrong"};
        }
        const auto bits = *in.u32(21);
        page.width = static_cast<std::int64_t>(bits & 0x3FFF) + 1;
        page.height = static_cast<std::int64_t>((bits >> 14) & 0x3FFF) + 1;
        page.may_have_alpha = ((bits >> 28) & 1) != 0;
    } else if (in.matches(12, "VP8 ")) {
        if (!in.has(20, 10)) {
            return cut_short("WebP lossy header", 30, bytes.size());
        }
        if (!in.matches(23, "\x9D\x01\x2A")) {
            return HeaderError{"WebP lossy frame does not start with a key frame"};
        }
        page.width = static_cast<std::int64_t>(*in.u16(26) & 0x3FFF);
        page.height = static_cast<std::int64_t>(*in.u16(28) & 0x3FFF);
    } else {
        return HeaderError{"WebP file starts with an unknown chunk"};
    }
    return one_page(ImageFormat::Webp, page);
}

// --- BMP: the size of the information header says which layout follows.
std::variant<ImageHeader, HeaderError> read_bmp(const ByteSource& bytes) {
    const ByteReader in(bytes, false);
    const auto info_size = in.u32(14);
    if (!info_size) {
        return cut_short("BMP header", 18, bytes.size());
    }
    PageHeader page;
    if (*info_size == 12) {  // OS/2 1.x core header: 16-bit sizes
        if (!in.has(14, 12)) {
            return cut_short("BMP core header", 26, bytes.size());
        }
        page.width = static_cast<std::int64_t>(*in.u16(18));
        page.height = static_cast<std::int64_t>(*in.u16(20));
    } else if (*info_size >= 16 && *info_size <= 124) {
        if (!in.has(14, 16)) {
            return cut_short("BMP information header", 30, bytes.size());
        }
        page.width = static_cast<std::int32_t>(*in.u32(18));
        // Negative height means rows top-down; the size is its magnitude.
        page.height = std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(*in.u32(22))));
        const auto bits = *in.u16(28);
        const auto compression = in.u32(30).value_or(0);
        const auto alpha_mask = *info_size >= 56 ? in.u32(14 + 52).value_or(0) : 0;
        page.may_have_alpha = bits == 32 && (compression == 6 || (compression == 3 && alpha_mask != 0));
        if (page.width <= 0) {
            return HeaderError{"BMP width is " + std::to_string(page.width) + ", not a positive number"};
        }
    } else {
        return HeaderError{"BMP information header size is " + std::to_string(*info_size) +
                           ", not one of the known layouts"};
    }
    return one_page(ImageFormat::Bmp, page);
}

// --- HEIC and AVIF (ISO base media files): the primary item's properties
// in meta/iprp give its size (ispe) and rotation (irot).
struct Box {
    std::uint64_t body = 0;  // first byte after the box header
    std::uint64_t end = 0;   // one past the box
    std::string type;
};

// The box starting at `offset`, which must end by `limit`.
std::optional<Box> box_at(const ByteReader& in, std::uint64_t offset, std::uint64_t limit) {
    const auto size32 = in.u32(offset);
    if (!size32 || offset + 8 > limit) return std::nullopt;
    Box box;
    box.type.resize(4);
    for (std::size_t k = 0; k < 4; ++k) box.type[k] = static_cast<char>(*in.u8(offset + 4 + k));
    box.body = offset + 8;
    std::uint64_t size = *size32;
    if (size == 1) {
        const auto large = in.u64(offset + 8);
        if (!large) return std::nullopt;
        size = *large;
        box.body += 8;
    } else if (size == 0) {
        size = limit - offset;  // runs to the end of its container
    }
    if (size < box.body - offset || size > limit - offset) return std::nullopt;
    box.end = offset + size;
    return box;
}

// Boxes a file may hold before the reader gives up: each is at least 8
// bytes, so this only cuts off files made of nothing but empty boxes.
constexpr int kMaxHeifBoxes = 100000;

// The children of a container whose children start at `from`.
std::variant<std::vector<Box>, HeaderError> children(const ByteReader& in, std::uint64_t from, std::uint64_t end,
                                                      const char* container, int& budget) {
    std::vector<Box> boxes;
    for (std::uint64_t at = from; at + 8 <= end;) {
        if (--budget < 0) return HeaderError{"HEIF file holds more than " + std::to_string(kMaxHeifBoxes) + " boxes"};
        const auto box = box_at(in, at, end);
        if (!box) {
            return HeaderError{std::string("HEIF ") + container + " box at byte " + std::to_string(at) +
                               " runs past the end of what holds it"};
        }
        boxes.push_back(*box);
        at = box->end;
    }
    return boxes;
}

const Box* find_box(const std::vector<Box>& boxes, std::string_view type) {
    for (const Box& box : boxes)
        if (box.type == type) return &box;
    return nullptr;
}

std::variant<ImageHeader, HeaderError> read_heif(const ByteSource& bytes, ImageFormat format) {
    const ByteReader in(bytes, true);
    int budget = kMaxHeifBoxes;
    auto top = children(in, 0, bytes.size(), "top-level", budget);
    if (const auto* error = std::get_if<HeaderError>(&top)) return *error;
    const Box* meta = find_box(std::get<std::vector<Box>>(top), "meta");
    if (!meta) return HeaderError{"HEIF file has no meta box, so no image in it is described"};
    auto in_meta = children(in, meta->body + 4, meta->end, "meta", budget);  // meta is a full box
    if (const auto* error = std::get_if<HeaderError>(&in_meta)) return *error;
    const auto& meta_boxes = std::get<std::vector<Box>>(in_meta);
    const Box* pitm = find_box(meta_boxes, "pitm");
    const Box* iprp = find_box(meta_boxes, "iprp");
    if (!pitm) return HeaderError{"HEIF file names no primary image (no pitm box)"};
    if (!iprp) return HeaderError{"HEIF file has no item properties (no iprp box)"};
    const auto pitm_version = in.u8(pitm->body);
    const int pitm_id_size = pitm_version && *pitm_version == 0 ? 2 : 4;
    const auto primary = in.uint(pitm->body + 4, pitm_id_size);
    if (!pitm_version || !primary || pitm->body + 4 + pitm_id_size > pitm->end) {
        return HeaderError{"HEIF primary item box (pitm) is cut short"};
    }
    auto in_iprp = children(in, iprp->body, iprp->end, "iprp", budget);
    if (const auto* error = std::get_if<HeaderError>(&in_iprp)) return *error;
    const auto& iprp_boxes = std::get<std::vector<Box>>(in_iprp);
    const Box* ipco = find_box(iprp_boxes, "ipco");
    if (!ipco) return HeaderError{"HEIF file has no property container (no ipco box)"};
    auto properties = children(in, ipco->body, ipco->end, "ipco", budget);
    if (const auto* error = std::get_if<HeaderError>(&properties)) return *error;
    const auto& props = std::get<std::vector<Box>>(properties);

    // Every association list (ipma) names, per item, 1-based indices into ipco.
    std::vector<std::uint64_t> associated;
    for (const Box& ipma : iprp_boxes) {
        if (ipma.type != "ipma") continue;
        const auto version = in.u8(ipma.body);
        const auto flags = in.uint(ipma.body + 1, 3);
        const auto count = in.u32(ipma.body + 4);
        if (!version || !flags || !count) return HeaderError{"HEIF property associations (ipma) are cut short"};
        std::uint64_t at = ipma.body + 8;
        const int id_size = *version < 1 ? 2 : 4;
        const int index_size = (*flags & 1) ? 2 : 1;
        for (std::uint64_t e = 0; e < *count; ++e) {
            const auto item = in.uint(at, id_size);
            const auto n = in.u8(at + id_size);
            if (!item || !n || at + id_size + 1 + *n * index_size > ipma.end) {
                return HeaderError{"HEIF property associations (ipma) run past their box"};
            }
            at += id_size + 1;
            for (std::uint64_t k = 0; k < *n; ++k, at += index_size) {
                const std::uint64_t mask = index_size == 2 ? 0x7FFF : 0x7F;  // the top bit says "essential"
                if (*item == *primary) associated.push_back(*in.uint(at, index_size) & mask);
            }
        }
    }
    PageHeader page;
    bool sized = false;
    int quarter_turns = 0;
    for (const std::uint64_t index : associated) {
        if (index == 0 || index > props.size()) continue;
        const Box& property = props[static_cast<std::size_t>(index - 1)];
        if (property.type == "ispe") {
            const auto width = in.u32(property.body + 4);
            const auto height = in.u32(property.body + 8);
            if (!width || !height || property.body + 12 > property.end) {
                return HeaderError{"HEIF image size property (ispe) is cut short"};
            }
            page.width = static_cast<std::int64_t>(*width);
            page.height = static_cast<std::int64_t>(*height);
            sized = true;
        } else if (property.type == "irot") {
            const auto angle = in.u8(property.body);
            if (angle) quarter_turns = static_cast<int>(*angle & 3);
        }
    }
    if (!sized) return HeaderError{"HEIF primary image has no size property (ispe)"};
    if (quarter_turns % 2 == 1) std::swap(page.width, page.height);
    return one_page(format, page);
}

// The brand family of an ISO base media file, from its ftyp box in `start`:
// AVIF before HEIC, since a file may list both; "mif1" alone (the generic
// still-image brand) is read as HEIC, whose library reads either.
std::optional<ImageFormat> heif_brand(std::string_view start) {
    if (start.size() < 16 || start.substr(4, 4) != "ftyp") return std::nullopt;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(start[i])); };
    const std::size_t size = std::min<std::size_t>((byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3), start.size());
    bool heic = false, avif = false;
    for (std::size_t at = 8; at + 4 <= size; at += at == 8 ? 8 : 4) {  // major brand, minor version, compatible brands
        const std::string_view brand = start.substr(at, 4);
        avif = avif || brand == "avif" || brand == "avis";
        heic = heic || brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis" || brand == "hevc" ||
               brand == "hevx" || brand == "mif1" || brand == "msf1";
    }
    if (avif) return ImageFormat::Avif;
    if (heic) return ImageFormat::Heic;
    return std::nullopt;
}

}  // namespace

const char* format_name(ImageFormat format) {
    switch (format) {
        case ImageFormat::Png: return "PNG";
        case ImageFormat::Jpeg: return "JPEG";
        case ImageFormat::Tiff: return "TIFF";
        case ImageFormat::Webp: return "WebP";
        case ImageFormat::Bmp: return "BMP";
        case ImageFormat::Pdf: return "PDF";
        case ImageFormat::Heic: return "HEIC";
        case ImageFormat::Avif: return "AVIF";
    }
    return "?";
}

std::variant<ImageFormat, HeaderError> sniff_format(std::string_view bytes) {
    if (bytes.empty()) {
        return HeaderError{"the file is empty"};
    }
    const auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
    if (starts(kPngSignature)) {
        return ImageFormat::Png;
    }
    if (starts("\xFF\xD8\xFF")) {
        return ImageFormat::Jpeg;
    }
    if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4)) ||
        starts(std::string_view("II+\0", 4)) || starts(std::string_view("MM\0+", 4))) {
        return ImageFormat::Tiff;
    }
    if (starts("RIFF") && bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP") {
        return ImageFormat::Webp;
    }
    if (starts("BM")) {
        return ImageFormat::Bmp;
    }
    if (const auto heif = heif_brand(bytes)) {
        return *heif;
    }
    if (bytes.substr(0, kPdfSignatureWindow).find("%PDF-") != std::string_view::npos) {
        return ImageFormat::Pdf;
    }
    return HeaderError{"not a PNG, JPEG, TIFF, WebP, BMP, HEIC, AVIF or PDF file (its first bytes match none of them)"};
}

std::variant<ImageHeader, HeaderError> read_image_header(const ByteSource& bytes, int max_pages) {
    std::string start(std::min<std::uint64_t>(bytes.size(), kPdfSignatureWindow), '\0');
    if (!bytes.read(0, start.size(), start.data())) {
        return HeaderError{"the first bytes could not be read"};
    }
    const auto format = sniff_format(start);
    if (const auto* error = std::get_if<HeaderError>(&format)) {
        return *error;
    }
    switch (std::get<ImageFormat>(format)) {
        case ImageFormat::Png: return read_png(bytes);
        case ImageFormat::Jpeg: return read_jpeg(bytes);
        case ImageFormat::Tiff: return read_tiff(bytes, max_pages);
        case ImageFormat::Webp: return read_webp(bytes);
        case ImageFormat::Bmp: return read_bmp(bytes);
        case ImageFormat::Pdf: return ImageHeader{ImageFormat::Pdf, {}};
        case ImageFormat::Heic:
        case ImageFormat::Avif: return read_heif(bytes, std::get<ImageFormat>(format));
    }
    return HeaderError{"unknown format"};
}

std::variant<ImageHeader, HeaderError> read_image_header(std::string_view bytes, int max_pages) {
    return read_image_header(MemoryBytes(bytes), max_pages);
}

bool MemoryBytes::read(std::uint64_t offset, std::size_t length, char* out) const {
    if (offset > bytes_.size() || length > bytes_.size() - offset) {
        return false;
    }
    std::memcpy(out, bytes_.data() + offset, length);
    return true;
}

}  // namespace idr::scan
