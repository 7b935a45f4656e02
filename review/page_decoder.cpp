#include "review/page_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

#include "picture/bmp.h"

namespace idr::review {

namespace {

// The largest file that can hold a picture the decoder accepts: 3 bytes a
// pixel, up to 3 bytes of row padding, and room for headers and a colour
// table. Anything bigger is refused before it is read into memory.
constexpr std::uintmax_t kMaxSheetFileBytes =
    3 * static_cast<std::uintmax_t>(kMaxBmpPixels) + 3 * static_cast<std::uintmax_t>(kMaxBmpDimension) + (1u << 20);

// ": Permission denied" for an errno value, nothing for 0.
std::string reason(int error) { return error != 0 ? std::string(": ") + std::strerror(error) : std::string(); }

bool starts_with_bm(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    char sig[2] = {0, 0};
    f.read(sig, 2);
    return f.gcount() == 2 && sig[0] == 'B' && sig[1] == 'M';
}

// The loader's message names the file; the caller's line already does.
std::string without_path(std::string message, const std::string& path) {
    if (message.rfind(path + ": ", 0) == 0) message.erase(0, path.size() + 2);
    return message;
}

// Decodes at half size a page big enough that the block keeps rings of
// about ten pixels and more (a 300-dpi page or finer): decoding JPEG at a
// reduced size is the cheapest part of the whole read.
int reduction_for(const scan::PageSource& source, int number) {
    if (!source.can_reduce()) return 1;
    const cv::Size s = source.declared_size(number);
    return std::max(s.width, s.height) >= 3000 ? 2 : 1;
}

}  // namespace

std::variant<Surface, std::string> load_sheet_file(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty()) return std::string("the file name is empty");
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return std::string("no such file");
    // Permission denied on a folder, a name too long, a loop of links, ...
    if (ec) return "cannot be opened: " + ec.message();
    if (fs::is_directory(status)) return std::string("is a directory, not a BMP file");
    if (!fs::is_regular_file(status)) return std::string("is not a regular file");
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return "cannot be read: " + ec.message();
    const std::string limit = "more than any picture the reader accepts (" + std::to_string(kMaxSheetFileBytes) + " bytes)";
    if (size > kMaxSheetFileBytes) return "is " + std::to_string(size) + " bytes, " + limit;

    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot be opened for reading" + reason(errno);
    // Read in pieces with read(): a read error then sets badbit instead of
    // throwing out of the stream buffer, and a file that reports a size of 0
    // but has no end (as some under /proc do) stops at the cap.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    std::vector<char> piece(1 << 16);
    while (file) {
        errno = 0;
        file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        bytes.insert(bytes.end(), piece.data(), piece.data() + file.gcount());
        if (file.bad()) return "could not be read" + reason(errno);
        if (bytes.size() > kMaxSheetFileBytes) return "holds " + limit;
    }

    PictureResult picture = decode_bmp(bytes);
    if (!picture) return picture.error.message();
    return std::move(*picture.picture);
}

std::variant<int, std::string> PageDecoder::page_count(const std::string& path) {
    if (starts_with_bm(path)) return 1;  // decoded by our own decoder, or the loader when that refuses
    auto counted = scan::count_pages(path);
    if (auto* e = std::get_if<scan::LoadError>(&counted)) return "cannot load: " + without_path(e->message, path);
    const int n = std::get<int>(counted);
    if (n < 1) return std::string("cannot load: the file holds no pages");
    return n;
}

void PageDecoder::close() {
    source_.reset();
    path_.clear();
}

std::variant<scan::PagePicture, std::string> PageDecoder::picture(const std::string& path, int number) {
    scan::PagePicture picture;
    std::string own_refusal;
    if (starts_with_bm(path)) {
        // The program's own decoder reads the 24-bit BMP form exactly; any
        // other picture goes to the scan loader.
        try {
            auto loaded = load_sheet_file(path);
            if (auto* s = std::get_if<Surface>(&loaded)) {
                picture.full_size = {s->width(), s->height()};
                picture.exact = std::move(*s);
                return picture;
            }
            own_refusal = std::get<std::string>(loaded);
        } catch (const std::bad_alloc&) {
            own_refusal = "not enough memory for the picture";
        }
    }
    if (path_ != path || !source_) {
        close();
        auto opened = scan::open_scan(path);
        if (auto* e = std::get_if<scan::LoadError>(&opened))
            return "cannot load: " + (own_refusal.empty() ? without_path(e->message, path) : own_refusal);
        path_ = path;
        source_ = std::move(std::get<std::unique_ptr<scan::PageSource>>(opened));
    }
    scan::PageSource& source = *source_;
    const int reduction = reduction_for(source, number);
    // A grey page stays one channel: no colour to convert and three times
    // less to warp.
    const scan::PixelKind kind = source.declared_grey(number) ? scan::PixelKind::Grey : scan::PixelKind::Colour;
    std::variant<scan::Page, scan::LoadError> decoded = [&]() -> std::variant<scan::Page, scan::LoadError> {
        try {
            return source.page(number, kind, reduction);
        } catch (const std::bad_alloc&) {
            return scan::LoadError{"page " + std::to_string(number) + ": not enough memory"};
        }
    }();
    if (auto* e = std::get_if<scan::LoadError>(&decoded)) return "cannot load: " + without_path(e->message, path);
    scan::Page& page = std::get<scan::Page>(decoded);
    picture.image = std::move(page.image);
    picture.full_size = page.full_size;
    picture.reduction = page.reduction;
    if (page.reduction > 1) {
        // Called within read_page, while this decoder still holds the source.
        scan::PageSource* src = source_.get();
        picture.full_resolution = [src, number, kind]() -> std::optional<cv::Mat> {
            auto again = src->page(number, kind, 1);
            if (auto* p = std::get_if<scan::Page>(&again)) return std::move(p->image);
            return std::nullopt;
        };
    }
    return picture;
}

}  // namespace idr::review
