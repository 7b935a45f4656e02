#include "scan/load.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scan/bmp_decoder.h"
#include "scan/image_header.h"
#include "scan/jpeg_decoder.h"
#include "scan/load_checks.h"
#include "scan/page_pixels.h"
#include "scan/plugin.h"
#include "scan/png_decoder.h"
#include "scan/webp_decoder.h"

namespace idr::scan {
namespace {

// JPEG, PNG, WebP and BMP: one page, whose compressed bytes are kept (one
// copy, moved in) and decoded on request.
class RasterSource final : public PageSource {
public:
    RasterSource(std::string name, ImageHeader header, std::string bytes, const LoadLimits& limits)
        : name_(std::move(name)), header_(std::move(header)), bytes_(std::move(bytes)), limits_(limits) {}

    int page_count() const override { return static_cast<int>(header_.pages.size()); }

    cv::Size declared_size(int number) const override {
        if (number < 1 || number > page_count()) return {};
        return shown_size(header_.pages[static_cast<std::size_t>(number - 1)]);
    }

    bool can_reduce() const override { return header_.format == ImageFormat::Jpeg; }

    bool declared_grey(int number) const override { return scan::declared_grey(header_, number); }

    std::variant<Page, LoadError> page(int number, PixelKind kind, int reduction) override {
        const auto checked = declared_page(name_, header_, number, reduction, limits_);
        if (const auto* error = std::get_if<LoadError>(&checked)) return *error;
        const PageHeader& declared = *std::get<const PageHeader*>(checked);
        if (header_.format != ImageFormat::Jpeg) {
            reduction = 1;
        }
        return guarded(name_, number, [&]() -> std::variant<Page, LoadError> {
            std::variant<cv::Mat, std::string> decoded = decode(kind, reduction);
            if (const auto* why = std::get_if<std::string>(&decoded)) {
                return page_error(name_, number, "could not be decoded: " + *why);
            }
            cv::Mat& pixels = std::get<cv::Mat>(decoded);
            if (auto error = check_decoded_size(name_, number, pixels.size(), declared.width, declared.height, reduction)) {
                return *error;
            }
            Page page;
            page.number = number;
            page.reduction = reduction;
            page.image = upright(to_page_pixels(std::move(pixels), kind), declared.orientation);
            page.full_size = shown_size(declared);
            return page;
        });
    }

private:
    std::variant<cv::Mat, std::string> decode(PixelKind kind, int reduction) const {
        switch (header_.format) {
            case ImageFormat::Jpeg: return decode_jpeg(bytes_, kind, reduction);
            case ImageFormat::Png: return decode_png(bytes_, kind);
            case ImageFormat::Webp: return decode_webp(bytes_);
            case ImageFormat::Bmp: return decode_bmp_page(bytes_);
            default: return std::string("no decoder for ") + format_name(header_.format);
        }
    }

    std::string name_;
    ImageHeader header_;
    std::string bytes_;
    LoadLimits limits_;
};

// A file's bytes read piece by piece for its headers, through a small cache
// so a TIFF's directory walk costs a few reads, not one per field.
class FileBytes final : public ByteSource {
public:
    FileBytes(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::size_t length, char* out) const override {
        if (offset > size_ || length > size_ - offset) {
            return false;
        }
        while (length > 0) {
            const std::uint64_t block = offset / kBlock * kBlock;
            if (block != cached_at_ || cache_.empty()) {
                cache_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, size_ - block)));
                if (!read_fully(block, cache_)) {
                    cache_.clear();
                    return false;
                }
                cached_at_ = block;
            }
            const std::size_t from = static_cast<std::size_t>(offset - block);
            const std::size_t n = std::min(length, cache_.size() - from);
            std::memcpy(out, cache_.data() + from, n);
            out += n;
            offset += n;
            length -= n;
        }
        return true;
    }
    // Reads `into.size()` bytes at `offset`; false on an error or a file that
    // became shorter.
    bool read_fully(std::uint64_t offset, std::string& into) const {
        std::size_t got = 0;
        while (got < into.size()) {
            const ssize_t n = ::pread(fd_, into.data() + got, into.size() - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    static constexpr std::uint64_t kBlock = 64 * 1024;
    int fd_;
    std::uint64_t size_;
    mutable std::string cache_;
    mutable std::uint64_t cached_at_ = 0;
};

// More pages than a file may hold (a PDF's pages are counted as they are
// read, not from a header).
std::optional<LoadError> too_many_pages(const ImageHeader& header, const std::string& name, const LoadLimits& limits) {
    if (header.format == ImageFormat::Pdf || !std::cmp_greater(header.pages.size(), limits.max_pages)) return std::nullopt;
    return file_error(name, "holds more than " + std::to_string(limits.max_pages) + " pages, the limit");
}

// `path` is set when pages are to be read from the file (TIFF, PDF); then
// `bytes` is empty. Otherwise the bytes are the whole file.
std::variant<std::unique_ptr<PageSource>, LoadError> make_source(ImageHeader header, std::string bytes,
                                                                  const std::string& name, const std::string& path,
                                                                  const LoadLimits& limits) {
    const ImageFormat format = header.format;
    if (auto error = too_many_pages(header, name, limits)) return *error;
    if (format == ImageFormat::Heic || format == ImageFormat::Avif) {
        // Checked here, before the file's own library parses anything of it.
        const PageHeader& page = header.pages.front();
        if (auto error = check_page_size(name, 1, page.width, page.height, limits)) return *error;
    }
    if (format == ImageFormat::Pdf || format == ImageFormat::Heic || format == ImageFormat::Avif ||
        format == ImageFormat::Tiff) {
        auto open = plugin_for(format == ImageFormat::Pdf    ? PluginKind::Pdf
                               : format == ImageFormat::Tiff ? PluginKind::Tiff
                                                             : PluginKind::Heif);
        if (const auto* problem = std::get_if<std::string>(&open)) {
            return file_error(name, "cannot be read: " + *problem);
        }
        plugin::OpenRequest request{name, std::move(bytes), path, limits, std::move(header)};
        plugin::OpenResult result;
        std::get<plugin::OpenFunction>(open)(&request, &result);
        return result;
    }
    return std::unique_ptr<PageSource>(std::make_unique<RasterSource>(name, std::move(header), std::move(bytes), limits));
}

std::optional<LoadError> check_file_size(const std::string& name, std::uint64_t size, const LoadLimits& limits) {
    if (size > limits.max_file_bytes) {
        return file_error(name, "is " + std::to_string(size) + " bytes, more than the limit of " +
                                    std::to_string(limits.max_file_bytes) + " bytes");
    }
    return std::nullopt;
}

// Closes a file descriptor however the function returns.
struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// Opens `path` as open_scan does; but given `raster_pages`, a file whose
// pages would be decoded from its bytes in memory (PNG, JPEG, WebP, BMP) is
// only counted from its headers: *raster_pages is set and no source made.
std::variant<std::unique_ptr<PageSource>, LoadError> open_path(const std::string& path, const LoadLimits& limits,
                                                               int* raster_pages) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return file_error(path, errno == ENOENT ? std::string("does not exist")
                                                : std::string("cannot be opened: ") + std::strerror(errno));
    }
    const FdCloser closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return file_error(path, std::string("cannot be read: ") + std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return file_error(path, "is a folder, not a file");
    }
    if (!S_ISREG(status.st_mode)) {
        return file_error(path, "is not a regular file");
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (auto error = check_file_size(path, size, limits)) {
        return *error;
    }
    // Only the headers are read here. TIFF and PDF pages are read from the
    // file when asked for; the other formats hold one page, whose bytes the
    // decoder needs whole, so they are read now (HEIC and AVIF included:
    // their library reads them from memory).
    const FileBytes file(fd, size);
    auto header = read_image_header(file, limits.max_pages);
    if (const auto* error = std::get_if<HeaderError>(&header)) {
        return file_error(path, error->reason);
    }
    ImageHeader& image = std::get<ImageHeader>(header);
    if (image.format == ImageFormat::Tiff || image.format == ImageFormat::Pdf) {
        return make_source(std::move(image), std::string(), path, path, limits);
    }
    if (raster_pages != nullptr && image.format != ImageFormat::Heic && image.format != ImageFormat::Avif) {
        if (auto error = too_many_pages(image, path, limits)) return *error;
        *raster_pages = static_cast<int>(image.pages.size());
        return std::unique_ptr<PageSource>();
    }
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return file_error(path, "cannot be read: out of memory");
    }
    errno = 0;
    if (!file.read_fully(0, bytes)) {
        return file_error(path, errno != 0 ? std::string("cannot be read: ") + std::strerror(errno)
                                           : std::string("became shorter while it was read"));
    }
    return make_source(std::move(image), std::move(bytes), path, std::string(), limits);
}

}  // namespace

std::variant<std::unique_ptr<PageSource>, LoadError> open_scan(const std::string& path, const LoadLimits& limits) {
    return open_path(path, limits, nullptr);
}

std::variant<int, LoadError> count_pages(const std::string& path, const LoadLimits& limits) {
    int raster_pages = 0;
    auto opened = open_path(path, limits, &raster_pages);
    if (auto* error = std::get_if<LoadError>(&opened)) return std::move(*error);
    const auto& source = std::get<std::unique_ptr<PageSource>>(opened);
    return source ? source->page_count() : raster_pages;
}

std::variant<std::unique_ptr<PageSource>, LoadError> open_scan_bytes(std::string bytes, const std::string& name,
                                                                      const LoadLimits& limits) {
    if (auto error = check_file_size(name, bytes.size(), limits)) {
        return *error;
    }
    auto header = read_image_header(bytes, limits.max_pages);
    if (const auto* error = std::get_if<HeaderError>(&header)) {
        return file_error(name, error->reason);
    }
    return make_source(std::move(std::get<ImageHeader>(header)), std::move(bytes), name, std::string(), limits);
}

bool has_scan_extension(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    std::string lower;
    for (const char c : extension) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    static constexpr std::string_view kExtensions[] = {".png",  ".jpg", ".jpeg", ".tif",  ".tiff", ".webp",
                                                       ".bmp",  ".pdf", ".heic", ".heif", ".avif"};
    return std::find(std::begin(kExtensions), std::end(kExtensions), lower) != std::end(kExtensions);
}

}  // namespace idr::scan
