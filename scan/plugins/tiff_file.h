#pragma once
// TIFF pages through libtiff: any page by its directory, strips and tiles,
// every compression libtiff has (none, CCITT G3 and G4, LZW, deflate,
// PackBits, JPEG, ...), bilevel, grey, palette, RGB, CMYK and YCbCr, 8 and 16
// bits, with or without alpha. Bilevel, grey and RGB pages are read straight
// into the page's own buffer; the other kinds through libtiff's RGBA reader.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include <opencv2/core.hpp>

#include "scan/load.h"
#include "scan/page_pixels.h"

typedef struct tiff TIFF;

namespace idr::scan {

// One decoded page, before to_page_pixels() and upright().
struct TiffPage {
    cv::Mat pixels;  // 8-bit grey, grey + alpha, BGR or BGRA
    AlphaKind alpha = AlphaKind::Straight;
    int orientation = 1;  // the page's Orientation tag, 1..8
};

class TiffFile {
public:
    // Over bytes the caller keeps alive, or a file read as pages are asked
    // for. Only the first directory is read here; `max_allocation` bounds any
    // one buffer libtiff allocates for itself (bytes).
    static std::variant<std::unique_ptr<TiffFile>, std::string> open_bytes(std::string_view bytes,
                                                                            std::uint64_t max_allocation);
    static std::variant<std::unique_ptr<TiffFile>, std::string> open_path(const std::string& path,
                                                                           std::uint64_t max_allocation);
    ~TiffFile();
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    // The page whose directory starts at byte `directory`. `kind` lets an RGB
    // page go straight to grey. On failure the reason, in libtiff's words
    // where it gave some.
    std::variant<TiffPage, std::string> page(std::uint64_t directory, PixelKind kind);

    struct Memory;  // the bytes of a file held in memory, as libtiff reads them

private:
    TiffFile() = default;
    std::variant<TiffPage, std::string> read_samples(PixelKind kind);
    std::variant<TiffPage, std::string> read_rgba();
    std::string failure(const char* what) const;

    TIFF* tiff_ = nullptr;
    std::unique_ptr<Memory> memory_;
    std::string first_error_;
};

}  // namespace idr::scan
