#include "scan/load.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include "scan/image_header.h"

namespace idr::scan {
namespace {

constexpr double kPointsPerInch = 72.0;

LoadError file_error(const std::string& name, const std::string& reason) { return {name + ": " + reason}; }

LoadError page_error(const std::string& name, int number, const std::string& reason) {
    return {name + ": page " + std::to_string(number) + " " + reason};
}

std::string megapixels(std::uint64_t pixels) {
    if (pixels % 1'000'000 == 0) {
        return std::to_string(pixels / 1'000'000) + " MP";
    }
    return std::to_string(pixels) + " pixels";
}

// Checked before anything is decoded: the pixel limit, and a floor below which
// a page cannot hold a sheet (a 1 x 1 picture is a mistake, not a scan).
std::optional<LoadError> check_page_size(const std::string& name, int number, std::int64_t width,
                                         std::int64_t height, const LoadLimits& limits) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width <= 0 || height <= 0) {
        return page_error(name, number, "is " + size + ", an empty picture");
    }
    const auto w = static_cast<std::uint64_t>(width);
    const auto h = static_cast<std::uint64_t>(height);
    if (w > limits.max_page_pixels / h) {  // w * h > limit, without overflowing
        return page_error(name, number, "is " + size + ", more than the limit of " + megapixels(limits.max_page_pixels));
    }
    if (width < limits.min_page_side || height < limits.min_page_side) {
        return page_error(name, number,
                          "is " + size + ", too small to be a scanned sheet (less than " +
                              std::to_string(limits.min_page_side) + " pixels on a side)");
    }
    return std::nullopt;
}

std::optional<LoadError> check_request(const std::string& name, int number, int page_count, int reduction) {
    if (number < 1 || number > page_count) {
        return page_error(name, number, "does not exist: the file has " + std::to_string(page_count) + " page(s)");
    }
    if (reduction != 1 && reduction != 2 && reduction != 4 && reduction != 8) {
        return page_error(name, number, "asked for at a reduction of " + std::to_string(reduction) +
                                            "; only 1, 2, 4 and 8 are possible");
    }
    return std::nullopt;
}

// Lays colour over white by its alpha: a transparent background is paper, not
// ink. An alpha channel that is zero everywhere is taken as unused padding
// (some writers leave the fourth byte at zero), else the page would be blank.
cv::Mat over_white(const cv::Mat& colour, const cv::Mat& alpha) {
    double most = 0;
    cv::minMaxLoc(alpha, nullptr, &most);
    if (most == 0) {
        return colour;
    }
    cv::Mat out(colour.size(), colour.type());
    const int channels = colour.channels();
    for (int y = 0; y < colour.rows; ++y) {
        const auto* c = colour.ptr<std::uint8_t>(y);
        const auto* a = alpha.ptr<std::uint8_t>(y);
        auto* o = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < colour.cols; ++x) {
            const int opacity = a[x];
            for (int k = 0; k < channels; ++k) {
                const int i = x * channels + k;
                o[i] = static_cast<std::uint8_t>((c[i] * opacity + 255 * (255 - opacity) + 127) / 255);
            }
        }
    }
    return out;
}

// Whatever the decoder returned (8/16-bit or float, 1 to 4 channels) as 8-bit
// grey or BGR.
cv::Mat to_page_pixels(cv::Mat decoded, PixelKind kind) {
    if (decoded.depth() == CV_16U) {
        decoded.convertTo(decoded, CV_8U, 1.0 / 257.0);
    } else if (decoded.depth() == CV_32F || decoded.depth() == CV_64F) {
        decoded.convertTo(decoded, CV_8U, 255.0);  // float samples run 0..1
    } else if (decoded.depth() != CV_8U) {
        decoded.convertTo(decoded, CV_8U);
    }
    cv::Mat flat;
    switch (decoded.channels()) {
        case 1: flat = decoded; break;
        case 2: {
            std::vector<cv::Mat> planes;
            cv::split(decoded, planes);
            flat = over_white(planes[0], planes[1]);
            break;
        }
        case 3: flat = decoded; break;
        default: {
            std::vector<cv::Mat> planes;
            cv::split(decoded, planes);
            cv::Mat alpha = planes[3];
            planes.resize(3);
            cv::Mat colour;
            cv::merge(planes, colour);
            flat = over_white(colour, alpha);
            break;
        }
    }
    if (kind == PixelKind::Grey && flat.channels() == 3) {
        cv::cvtColor(flat, flat, cv::COLOR_BGR2GRAY);
    } else if (kind == PixelKind::Colour && flat.channels() == 1) {
        cv::cvtColor(flat, flat, cv::COLOR_GRAY2BGR);
    }
    return flat;
}

// Turns a picture stored in EXIF orientation `orientation` upright.
cv::Mat upright(cv::Mat image, int orientation) {
    cv::Mat out;
    switch (orientation) {
        case 2: cv::flip(image, out, 1); return out;
        case 3: cv::rotate(image, out, cv::ROTATE_180); return out;
        case 4: cv::flip(image, out, 0); return out;
        case 5: cv::transpose(image, out); return out;
        case 6: cv::rotate(image, out, cv::ROTATE_90_CLOCKWISE); return out;
        case 7: cv::transpose(image, out); cv::flip(out, out, -1); return out;
        case 8: cv::rotate(image, out, cv::ROTATE_90_COUNTERCLOCKWISE); return out;
        default: return image;
    }
}

int jpeg_flags(PixelKind kind, int reduction) {
    const bool grey = kind == PixelKind::Grey;
    switch (reduction) {
        case 2: return grey ? cv::IMREAD_REDUCED_GRAYSCALE_2 : cv::IMREAD_REDUCED_COLOR_2;
        case 4: return grey ? cv::IMREAD_REDUCED_GRAYSCALE_4 : cv::IMREAD_REDUCED_COLOR_4;
        case 8: return grey ? cv::IMREAD_REDUCED_GRAYSCALE_8 : cv::IMREAD_REDUCED_COLOR_8;
        default: return grey ? cv::IMREAD_GRAYSCALE : cv::IMREAD_COLOR;
    }
}

// A temporary copy of in-memory bytes for the one decoder call that only
// takes a file name (later pages of a TIFF). Removed when it goes out of scope.
class TempFile {
public:
    explicit TempFile(std::string_view bytes) {
        std::error_code ignored;
        std::string pattern = (std::filesystem::temp_directory_path(ignored) / "idr-scan-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            return;
        }
        path_ = pattern;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (n <= 0) {
                break;
            }
            written += static_cast<std::size_t>(n);
        }
        ok_ = written == bytes.size();
        ::close(fd);
    }
    ~TempFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool ok_ = false;
};

// PNG, JPEG, TIFF, WebP and BMP through OpenCV's decoders. The compressed
// bytes are kept (one copy, moved in), except a TIFF opened from a path, which
// is read page by page from its file.
class RasterSource final : public PageSource {
public:
    RasterSource(std::string name, ImageHeader header, std::string bytes, std::string path)
        : name_(std::move(name)), header_(std::move(header)), bytes_(std::move(bytes)), path_(std::move(path)) {}

    int page_count() const override { return static_cast<int>(header_.pages.size()); }

    cv::Size declared_size(int number) const override {
        if (number < 1 || number > page_count()) return {};
        const PageHeader& h = header_.pages[static_cast<std::size_t>(number - 1)];
        if (h.width > (1 << 30) || h.height > (1 << 30)) return {};
        const bool turned = header_.format == ImageFormat::Jpeg && h.orientation >= 5;
        return turned ? cv::Size(static_cast<int>(h.height), static_cast<int>(h.width))
                      : cv::Size(static_cast<int>(h.width), static_cast<int>(h.height));
    }

    bool can_reduce() const override { return header_.format == ImageFormat::Jpeg; }

    bool declared_grey(int number) const override {
        return number >= 1 && number <= page_count() && header_.pages[static_cast<std::size_t>(number - 1)].grey;
    }

    void set_limits(const LoadLimits& limits) { limits_ = limits; }

    std::variant<Page, LoadError> page(int number, PixelKind kind, int reduction) override {
        if (auto error = check_request(name_, number, page_count(), reduction)) {
            return *error;
        }
        const PageHeader& declared = header_.pages[static_cast<std::size_t>(number - 1)];
        if (auto error = check_page_size(name_, number, declared.width, declared.height, limits_)) {
            return *error;
        }
        const bool jpeg = header_.format == ImageFormat::Jpeg;
        if (!jpeg) {
            reduction = 1;
        }
        // Alpha needs the unchanged decode so it can be laid on white; the
        // others decode straight to the kind asked for (8-bit either way).
        const int flags = jpeg ? jpeg_flags(kind, reduction)
                               : declared.may_have_alpha ? cv::IMREAD_UNCHANGED
                                                         : (kind == PixelKind::Grey ? cv::IMREAD_GRAYSCALE
                                                                                    : cv::IMREAD_COLOR);
        cv::Mat decoded;
        try {
            decoded = decode(number, flags | (flags == cv::IMREAD_UNCHANGED ? 0 : cv::IMREAD_IGNORE_ORIENTATION));
        } catch (const cv::Exception& e) {
            return page_error(name_, number, "could not be decoded: " + std::string(e.err));
        } catch (const std::bad_alloc&) {
            return page_error(name_, number, "could not be decoded: out of memory");
        } catch (const std::exception& e) {
            return page_error(name_, number, std::string("could not be decoded: ") + e.what());
        }
        if (decoded.empty()) {
            return page_error(name_, number, std::string("could not be decoded: the ") + format_name(header_.format) +
                                                 " data is damaged or of a kind this program cannot read");
        }
        // The limits were checked against the header; a decoder that produced
        // another size read a different picture than the header declared.
        const std::int64_t expect_w = (declared.width + reduction - 1) / reduction;
        const std::int64_t expect_h = (declared.height + reduction - 1) / reduction;
        if (decoded.cols != expect_w || decoded.rows != expect_h) {
            return page_error(name_, number,
                              "decoded as " + std::to_string(decoded.cols) + " x " + std::to_string(decoded.rows) +
                                  " pixels, not the " + std::to_string(expect_w) + " x " + std::to_string(expect_h) +
                                  " its header declares");
        }
        Page page;
        page.number = number;
        page.reduction = reduction;
        try {
            page.image = upright(to_page_pixels(std::move(decoded), kind), jpeg ? declared.orientation : 1);
        } catch (const cv::Exception& e) {
            return page_error(name_, number, "could not be converted: " + std::string(e.err));
        } catch (const std::bad_alloc&) {
            return page_error(name_, number, "could not be converted: out of memory");
        }
        const bool turned = jpeg && declared.orientation >= 5;
        page.full_size = turned ? cv::Size(static_cast<int>(declared.height), static_cast<int>(declared.width))
                                : cv::Size(static_cast<int>(declared.width), static_cast<int>(declared.height));
        return page;
    }

private:
    cv::Mat decode(int number, int flags) {
        if (header_.format != ImageFormat::Tiff || (number == 1 && path_.empty())) {
            const cv::Mat raw(1, static_cast<int>(bytes_.size()), CV_8UC1, bytes_.data());
            return cv::imdecode(raw, flags);
        }
        // One TIFF page at a time: OpenCV reads a page range only from a file.
        std::optional<TempFile> temp;
        std::string path = path_;
        if (path.empty()) {
            temp.emplace(bytes_);
            if (!temp->ok()) {
                throw std::runtime_error("no room for a temporary copy of the file");
            }
            path = temp->path();
        }
        std::vector<cv::Mat> pages;
        if (!cv::imreadmulti(path, pages, number - 1, 1, flags) || pages.empty()) {
            return {};
        }
        return pages.front();
    }

    std::string name_;
    ImageHeader header_;
    std::string bytes_;
    std::string path_;
    LoadLimits limits_;
};

void ignore_poppler_message(const std::string&, void*) {}

// PDF through poppler: each page rendered on request at the resolution
// asked for. Poppler keeps a pointer to in-memory bytes, so they live here.
class PdfSource final : public PageSource {
public:
    static std::variant<std::unique_ptr<PageSource>, LoadError> open(std::string name, std::string bytes,
                                                                      const std::string& path,
                                                                      const LoadLimits& limits) {
        static std::once_flag quiet;
        // Poppler writes its complaints about damaged files to stderr; the
        // caller gets the reason as an error instead.
        std::call_once(quiet, [] { poppler::set_debug_error_function(ignore_poppler_message, nullptr); });
        if (!(limits.pdf_dpi > 0 && limits.pdf_dpi <= 2400)) {
            return file_error(name, "cannot be rendered at " + std::to_string(limits.pdf_dpi) +
                                        " dpi: the PDF resolution must be above 0 and at most 2400 dpi");
        }
        auto source = std::unique_ptr<PdfSource>(new PdfSource(std::move(name), limits));
        if (path.empty() && bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
            return file_error(source->name_, "is too large a PDF to read from memory");
        }
        source->bytes_ = std::move(bytes);
        source->document_.reset(path.empty() ? poppler::document::load_from_raw_data(
                                                   source->bytes_.data(), static_cast<int>(source->bytes_.size()))
                                             : poppler::document::load_from_file(path));
        if (!source->document_) {
            return file_error(source->name_, "is not a readable PDF (damaged, or not a PDF after all)");
        }
        if (source->document_->is_locked()) {
            return file_error(source->name_, "is a PDF locked with a password");
        }
        const int pages = source->document_->pages();
        if (pages <= 0) {
            return file_error(source->name_, "is a PDF with no pages");
        }
        if (pages > limits.max_pages) {
            return file_error(source->name_, "holds " + std::to_string(pages) + " pages, more than the limit of " +
                                                 std::to_string(limits.max_pages));
        }
        return std::unique_ptr<PageSource>(std::move(source));
    }

    int page_count() const override { return document_->pages(); }

    std::variant<Page, LoadError> page(int number, PixelKind kind, int reduction) override {
        if (auto error = check_request(name_, number, page_count(), reduction)) {
            return *error;
        }
        const std::unique_ptr<poppler::page> pdf_page(document_->create_page(number - 1));
        if (!pdf_page) {
            return page_error(name_, number, "could not be read from the PDF");
        }
        const poppler::rectf box = pdf_page->page_rect(poppler::crop_box);
        double width = box.width() / kPointsPerInch * limits_.pdf_dpi;
        double height = box.height() / kPointsPerInch * limits_.pdf_dpi;
        const auto orientation = pdf_page->orientation();
        if (orientation == poppler::page::landscape || orientation == poppler::page::seascape) {
            std::swap(width, height);
        }
        if (!std::isfinite(width) || !std::isfinite(height) || width > 1e9 || height > 1e9) {
            return page_error(name_, number, "has no usable size in the PDF");
        }
        // The renderer rounds up; the limit is checked on the larger size.
        if (auto error = check_page_size(name_, number, static_cast<std::int64_t>(std::ceil(width)),
                                         static_cast<std::int64_t>(std::ceil(height)), limits_)) {
            return *error;
        }
        poppler::page_renderer renderer;
        renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
        renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
        renderer.set_paper_color(0xFFFFFFFF);
        const bool grey = kind == PixelKind::Grey;
        renderer.set_image_format(grey ? poppler::image::format_gray8 : poppler::image::format_argb32);
        Page page;
        page.number = number;
        page.dpi = limits_.pdf_dpi;
        try {
            poppler::image rendered = renderer.render_page(pdf_page.get(), limits_.pdf_dpi, limits_.pdf_dpi);
            if (!rendered.is_valid() || rendered.width() <= 0 || rendered.height() <= 0) {
                return page_error(name_, number, "could not be rendered from the PDF");
            }
            // argb32 is 0xAARRGGBB in native order: B, G, R, A in memory on
            // little-endian machines, which is OpenCV's BGRA.
            const cv::Mat view(rendered.height(), rendered.width(), grey ? CV_8UC1 : CV_8UC4, rendered.data(),
                               static_cast<std::size_t>(rendered.bytes_per_row()));
            if (grey) {
                page.image = view.clone();
            } else {
                cv::cvtColor(view, page.image, cv::COLOR_BGRA2BGR);
            }
        } catch (const cv::Exception& e) {
            return page_error(name_, number, "could not be rendered: " + std::string(e.err));
        } catch (const std::bad_alloc&) {
            return page_error(name_, number, "could not be rendered: out of memory");
        }
        page.full_size = page.image.size();
        return page;
    }

private:
    PdfSource(std::string name, const LoadLimits& limits) : name_(std::move(name)), limits_(limits) {}

    std::string name_;
    LoadLimits limits_;
    std::string bytes_;
    std::unique_ptr<poppler::document> document_;
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

// `path` is set when pages are to be read from the file (TIFF, PDF); then
// `bytes` is empty. Otherwise the bytes are the whole file.
std::variant<std::unique_ptr<PageSource>, LoadError> make_source(ImageHeader header, std::string bytes,
                                                                  const std::string& name, const std::string& path,
                                                                  const LoadLimits& limits) {
    if (header.format == ImageFormat::Pdf) {
        return PdfSource::open(name, std::move(bytes), path, limits);
    }
    if (std::cmp_greater(header.pages.size(), limits.max_pages)) {
        return file_error(name, "holds more than " + std::to_string(limits.max_pages) + " pages, the limit");
    }
    auto source = std::make_unique<RasterSource>(name, std::move(header), std::move(bytes), path);
    source->set_limits(limits);
    return std::unique_ptr<PageSource>(std::move(source));
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

}  // namespace

std::variant<std::unique_ptr<PageSource>, LoadError> open_scan(const std::string& path, const LoadLimits& limits) {
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
    // decoder needs whole, so they are read now.
    const FileBytes file(fd, size);
    auto header = read_image_header(file, limits.max_pages);
    if (const auto* error = std::get_if<HeaderError>(&header)) {
        return file_error(path, error->reason);
    }
    ImageHeader& image = std::get<ImageHeader>(header);
    if (image.format == ImageFormat::Tiff || image.format == ImageFormat::Pdf) {
        return make_source(std::move(image), std::string(), path, path, limits);
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
    static constexpr std::string_view kExtensions[] = {".png", ".jpg", ".jpeg", ".tif", ".tiff", ".webp", ".bmp", ".pdf"};
    return std::find(std::begin(kExtensions), std::end(kExtensions), lower) != std::end(kExtensions);
}

}  // namespace idr::scan
