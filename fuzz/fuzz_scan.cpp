// Feeds arbitrary bytes to the scan loader as a file, decodes every page and
// looks for the ID block on it;
// in grey at full size and in colour at half size, under small limits (so a
// declared-huge picture must be refused, not decoded). A refusal must name
// the file (and the page); a page that loads must be 8-bit, of the kind
// asked for, and of the size its header declared. Anything else, a crash or
// a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <opencv2/core/utils/logger.hpp>

#include "scan/load.h"
#include "scan/locate.h"

namespace {

using idr::scan::LoadError;
using idr::scan::Page;
using idr::scan::PixelKind;

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

void check_error(const LoadError& error, const std::string& prefix) {
    if (error.message.rfind(prefix, 0) != 0 || error.message.size() <= prefix.size() + 3) {
        finding("refusal without a name or reason: \"" + error.message + "\"");
    }
}

void check_page(const Page& page, int number, PixelKind kind, const idr::scan::LoadLimits& limits) {
    const int channels = kind == PixelKind::Grey ? 1 : 3;
    if (page.number != number || page.image.empty() || page.image.depth() != CV_8U ||
        page.image.channels() != channels) {
        finding("page " + std::to_string(number) + " has the wrong number or pixel type");
    }
    const std::uint64_t full = static_cast<std::uint64_t>(page.full_size.width) * page.full_size.height;
    if (full > limits.max_page_pixels || page.full_size.width < limits.min_page_side ||
        page.full_size.height < limits.min_page_side) {
        finding("page " + std::to_string(number) + " is outside the limits yet loaded");
    }
    const int r = page.reduction;
    if (page.image.cols != (page.full_size.width + r - 1) / r || page.image.rows != (page.full_size.height + r - 1) / r) {
        finding("page " + std::to_string(number) + " image size does not match its full size and reduction");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        // Decoders' warnings about damaged input would drown the fuzzer's own output.
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
        return true;
    }();
    (void)quiet;
    idr::scan::LoadLimits limits;
    limits.max_page_pixels = 4'000'000;
    limits.max_pages = 4;
    limits.pdf_dpi = 72;
    limits.min_page_side = 8;
    auto opened = idr::scan::open_scan_bytes(std::string(reinterpret_cast<const char*>(data), size), "f", limits);
    if (const auto* error = std::get_if<LoadError>(&opened)) {
        check_error(*error, "f: ");
        return 0;
    }
    auto& source = *std::get<std::unique_ptr<idr::scan::PageSource>>(opened);
    if (source.page_count() < 1 || source.page_count() > limits.max_pages) {
        finding("opened with " + std::to_string(source.page_count()) + " pages");
    }
    for (int number = 1; number <= source.page_count(); ++number) {
        for (const auto& [kind, reduction] :
             {std::pair{PixelKind::Grey, 1}, std::pair{PixelKind::Colour, 2}, std::pair{PixelKind::Grey, 2}}) {
            auto page = source.page(number, kind, reduction);
            if (const auto* error = std::get_if<LoadError>(&page)) {
                check_error(*error, "f: page " + std::to_string(number) + " ");
            } else {
                const Page& loaded = std::get<Page>(page);
                check_page(loaded, number, kind, limits);
                // Whatever the picture, locating ends with a block or a
                // reason, and a block it reports lies on the picture.
                if (kind == PixelKind::Grey && reduction == 1) {
                    const auto found = idr::scan::locate_block(loaded.image);
                    if (!found.registration && found.why_not.empty()) finding("nothing found and no reason given");
                    if (found.registration) {
                        for (const auto& c : found.registration->corners)
                            if (!(c.x > -1 && c.y > -1 && c.x < loaded.image.cols && c.y < loaded.image.rows))
                                finding("a corner bubble off the picture");
                    }
                }
            }
        }
    }
    return 0;
}
