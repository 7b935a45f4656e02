#pragma once
// Loading scan files page by page: PNG, JPEG, TIFF (several pages), WebP,
// BMP, HEIC and AVIF (phone photos) and PDF, each through its format's own
// library (PDF, HEIC, AVIF and TIFF through plugins loaded with the first
// such file, see plugin.h). Limits are checked from the file's own headers before
// any pixel is decoded, so a decompression bomb is refused in bounded memory.
// Pages are decoded one at a time, on request: a caller holds one page, never
// the whole file.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include <opencv2/core.hpp>

namespace idr::scan {

struct LoadLimits {
    std::uint64_t max_file_bytes = 1ull << 30;      // 1 GiB
    std::uint64_t max_page_pixels = 120'000'000;   // e.g. A3 at 600 dpi is 70 MP
    int max_pages = 2000;
    double pdf_dpi = 300;  // PDF pages without a better resolution to go by
    // Pixels; smaller pages are refused as unreadable. By default every
    // picture is decoded: a tiny one is simply a page without the block.
    int min_page_side = 1;
};

// Why a file or page could not be loaded; `message` names the file (and the
// page, where there is one) and says what was wrong, in plain words.
struct LoadError {
    std::string message;
};

enum class PixelKind {
    Grey,    // 8-bit, 1 channel
    Colour,  // 8-bit, 3 channels, BGR
};

struct Page {
    int number = 1;             // 1-based page number within the file
    cv::Mat image;              // CV_8UC1 or CV_8UC3 (BGR)
    cv::Size full_size;         // the page's size at full resolution, upright
    int reduction = 1;          // image is full_size / reduction (JPEG scaled decoding)
    double dpi = 0;             // the resolution the page was rendered at (PDF), else 0
};

// An open scan file. Cheap to open: only the headers are read.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual int page_count() const = 0;
    // Decodes page `number` (1-based), turned upright by its orientation (EXIF
    // in JPEG, the Orientation tag in TIFF, the rotation and mirroring of
    // HEIC and AVIF). `kind` asks for grey or colour pixels (a grey file
    // asked for colour gives grey pixels repeated). `reduction` (1, 2, 4 or
    // 8) allows a format that can decode at a smaller size to do so (JPEG, in
    // the DCT domain: 1/2 costs about half a full decode); others decode at
    // full size and report reduction 1.
    virtual std::variant<Page, LoadError> page(int number, PixelKind kind, int reduction = 1) = 0;
    // The page's size as its headers declare it, before decoding; 0 x 0 where
    // the format does not say (PDF).
    virtual cv::Size declared_size(int /*number*/) const { return {}; }
    // Whether the page's headers declare one grey channel (JPEG, PNG and
    // TIFF say so; other formats answer false), so that a caller can ask for
    // grey pixels and skip the colour conversion.
    virtual bool declared_grey(int /*number*/) const { return false; }
    // Whether page() can decode at a reduced size (JPEG).
    virtual bool can_reduce() const { return false; }
};

// Opens a file: the format is chosen by the file's first bytes, not its name.
std::variant<std::unique_ptr<PageSource>, LoadError> open_scan(const std::string& path,
                                                                const LoadLimits& limits = {});

// How many pages the file holds, with the refusals open_scan would give; a
// file decoded from its bytes in memory (PNG, JPEG, WebP, BMP) is counted
// from its headers alone, not read whole, so that a batch listing its files
// first does not read each twice.
std::variant<int, LoadError> count_pages(const std::string& path, const LoadLimits& limits = {});

// The same from bytes in memory (for tests and fuzzing); `name` is used in
// messages.
std::variant<std::unique_ptr<PageSource>, LoadError> open_scan_bytes(std::string bytes, const std::string& name,
                                                                      const LoadLimits& limits = {});

// Whether a file name has one of the extensions that a folder listing picks up
// (.png .jpg .jpeg .tif .tiff .webp .bmp .pdf .heic .heif .avif, any case).
bool has_scan_extension(const std::string& path);

}  // namespace idr::scan
