#pragma once
// The pages of scan files, decoded for reading the way id-reader-cli reads
// them, so that both front-ends read a file alike: a file that starts as a
// BMP is decoded by the program's own decoder, exactly (and by the scan
// loader when that one refuses it), any other by the scan loader; a JPEG
// page of 3,000 pixels or more is decoded at half size, with a way back to
// full size for a second look.

#include <memory>
#include <string>
#include <variant>

#include "picture/surface.h"
#include "scan/load.h"
#include "scan/read_page.h"

namespace idr::review {

class PageDecoder {
public:
    // How many pages the file holds, from its headers only (a BMP is one
    // page without being opened), or why it cannot be read ("cannot load:
    // ...", without the file's name).
    static std::variant<int, std::string> page_count(const std::string& path);

    // Page `number` (1-based) of the file, or why there is none ("cannot
    // load: ...", without the file's name). The file stays open for the
    // next page of it; the picture's full_resolution reads from it, so it
    // must be used before the next call (scan::read_page does). One decoder
    // per thread.
    std::variant<scan::PagePicture, std::string> picture(const std::string& path, int number);

    // Lets go of the open file.
    void close();

private:
    std::string path_;
    std::unique_ptr<scan::PageSource> source_;
};

// The picture in a 24-bit BMP file read by the program's own decoder, or why
// there is none ("is a directory", "bits per pixel is 8, only 24 is
// supported", ...).
std::variant<Surface, std::string> load_sheet_file(const std::string& path);

}  // namespace idr::review
