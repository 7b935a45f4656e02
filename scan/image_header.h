#pragma once
// Reading a scan file's own headers without decoding a pixel: which format it
// is, how many pages it holds and how large each page says it is. This is
// what the loader checks its limits against, so a file that declares a huge
// picture in a few bytes is refused before any decoder allocates for it.
// Every read is bounds-checked; a header that runs past the end of the bytes
// is an error, never a read outside them.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace idr::scan {

enum class ImageFormat { Png, Jpeg, Tiff, Webp, Bmp, Pdf, Heic, Avif };

const char* format_name(ImageFormat format);

// One page as its header declares it. Sizes are 64-bit so that a declared
// 4 G x 4 G picture is counted, not wrapped. HEIC and AVIF: the primary
// image's size, turned by its rotation property (a crop the file also
// declares can only make the decoded picture smaller).
struct PageHeader {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool may_have_alpha = false;  // transparency is declared (decode with alpha, lay it on white)
    int orientation = 1;          // EXIF orientation 1..8 (JPEG; TIFF's own tag); 1 = as stored
    bool grey = false;            // declared as one grey channel (JPEG, PNG, TIFF)
    // TIFF: where the page's image file directory starts, so a decoder can go
    // straight to page n instead of walking the n - 1 before it.
    std::uint64_t directory = 0;
};

struct ImageHeader {
    ImageFormat format = ImageFormat::Png;
    std::vector<PageHeader> pages;  // empty for PDF: the PDF library counts those
};

// Where header bytes come from: memory, or a file read piece by piece (a
// TIFF's directories are spread through the file; reading a large one whole
// just to find them would cost its size in memory and time).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Copies `length` bytes at `offset` to `out`; false when they are not all
    // there or could not be read.
    virtual bool read(std::uint64_t offset, std::size_t length, char* out) const = 0;
};

class MemoryBytes final : public ByteSource {
public:
    explicit MemoryBytes(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::size_t length, char* out) const override;

private:
    std::string_view bytes_;
};

// Why the headers could not be read, in plain words without the file's name
// (the caller adds it), e.g. "PNG header cut short (12 of 33 bytes)".
struct HeaderError {
    std::string reason;
};

// Format from the first bytes (up to 1 KiB is looked at), whatever the file
// is called; an error when none matches.
std::variant<ImageFormat, HeaderError> sniff_format(std::string_view bytes);

// Reads the headers of every page. `max_pages` bounds the TIFF directory walk
// so that a file with millions of directories (or a loop of them) is cut off:
// more than `max_pages` pages gives max_pages + 1 entries and stops there.
std::variant<ImageHeader, HeaderError> read_image_header(const ByteSource& bytes, int max_pages);
std::variant<ImageHeader, HeaderError> read_image_header(std::string_view bytes, int max_pages);

}  // namespace idr::scan
