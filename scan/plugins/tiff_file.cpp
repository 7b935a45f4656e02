#include "scan/plugins/tiff_file.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <tiffio.h>

namespace idr::scan {

// The bytes of a TIFF held in memory, read through libtiff's client calls.
struct TiffFile::Memory {
    std::string_view bytes;
    toff_t at = 0;
};

namespace {

tmsize_t memory_read(thandle_t handle, void* out, tmsize_t size) {
    auto& m = *static_cast<TiffFile::Memory*>(static_cast<void*>(handle));
    if (size <= 0 || m.at >= m.bytes.size()) return 0;
    const auto n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), m.bytes.size() - m.at);
    std::memcpy(out, m.bytes.data() + m.at, n);
    m.at += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t memory_write(thandle_t, void*, tmsize_t) { return 0; }

toff_t memory_seek(thandle_t handle, toff_t offset, int whence) {
    auto& m = *static_cast<TiffFile::Memory*>(static_cast<void*>(handle));
    toff_t base = 0;
    if (whence == SEEK_CUR) base = m.at;
    if (whence == SEEK_END) base = m.bytes.size();
    if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
    m.at = base + offset;  // past the end is allowed; reads there find nothing
    return m.at;
}

int memory_close(thandle_t) { return 0; }
toff_t memory_size(thandle_t handle) { return static_cast<TiffFile::Memory*>(static_cast<void*>(handle))->bytes.size(); }
int no_map(thandle_t, tdata_t*, toff_t*) { return 0; }
void no_unmap(thandle_t, tdata_t, toff_t) {}

// libtiff's complaints go to the file being read, not to stderr: the first
// error of a page becomes its reason, warnings are dropped.
int keep_error(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto& first = *static_cast<std::string*>(user);
    if (first.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        first = text;
    }
    return 1;
}

int drop_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

void quiet_global_handlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

std::unique_ptr<TIFFOpenOptions, OptionsFree> options_for(std::string& first_error, std::uint64_t max_allocation) {
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) return options;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(std::min<std::uint64_t>(max_allocation, INT64_MAX)));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keep_error, &first_error);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), drop_warning, nullptr);
    return options;
}

// Eight bilevel pixels of a byte as eight grey bytes, first pixel in the
// top bit. `white_bit` is the value of a white pixel.
std::array<std::uint64_t, 256> bilevel_table(int white_bit) {
    std::array<std::uint64_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        std::array<std::uint8_t, 8> grey{};
        for (int k = 0; k < 8; ++k) grey[static_cast<std::size_t>(k)] = ((byte >> (7 - k)) & 1) == white_bit ? 255 : 0;
        std::memcpy(&table[static_cast<std::size_t>(byte)], grey.data(), 8);
    }
    return table;
}

cv::Mat expand_bilevel(const cv::Mat& packed, int width, bool min_is_white) {
    static const std::array<std::uint64_t, 256> kBlackIsZero = bilevel_table(1), kWhiteIsZero = bilevel_table(0);
    const auto& table = min_is_white ? kWhiteIsZero : kBlackIsZero;
    cv::Mat grey(packed.rows, width, CV_8UC1);
    const int whole = width / 8;
    for (int y = 0; y < packed.rows; ++y) {
        const std::uint8_t* in = packed.ptr<std::uint8_t>(y);
        std::uint8_t* out = grey.ptr<std::uint8_t>(y);
        for (int b = 0; b < whole; ++b) std::memcpy(out + 8 * b, &table[in[b]], 8);
        if (width % 8 != 0) {
            std::uint8_t last[8];
            std::memcpy(last, &table[in[whole]], 8);
            std::memcpy(out + 8 * whole, last, static_cast<std::size_t>(width % 8));
        }
    }
    return grey;
}

}  // namespace

std::variant<std::unique_ptr<TiffFile>, std::string> TiffFile::open_bytes(std::string_view bytes,
                                                                          std::uint64_t max_allocation) {
    quiet_global_handlers();
    auto file = std::unique_ptr<TiffFile>(new TiffFile());
    file->memory_ = std::make_unique<Memory>();
    file->memory_->bytes = bytes;
    auto options = options_for(file->first_error_, max_allocation);
    // "m": libtiff must not map the bytes, it would decode in place in them.
    file->tiff_ = TIFFClientOpenExt("TIFF", "rm", static_cast<thandle_t>(static_cast<void*>(file->memory_.get())),
                                    memory_read, memory_write, memory_seek, memory_close, memory_size, no_map,
                                    no_unmap, options.get());
    if (!file->tiff_) return file->failure("is not a TIFF libtiff can open");
    return file;
}

std::variant<std::unique_ptr<TiffFile>, std::string> TiffFile::open_path(const std::string& path,
                                                                         std::uint64_t max_allocation) {
    quiet_global_handlers();
    auto file = std::unique_ptr<TiffFile>(new TiffFile());
    auto options = options_for(file->first_error_, max_allocation);
    // Not mapped: a file that shrinks while mapped kills the process.
    file->tiff_ = TIFFOpenExt(path.c_str(), "rm", options.get());
    if (!file->tiff_) return file->failure("is not a TIFF libtiff can open");
    return file;
}

TiffFile::~TiffFile() {
    if (tiff_) TIFFClose(tiff_);
}

std::string TiffFile::failure(const char* what) const {
    return first_error_.empty() ? std::string(what) : std::string(what) + ": " + first_error_;
}

std::variant<TiffPage, std::string> TiffFile::page(std::uint64_t directory, PixelKind kind) {
    first_error_.clear();
    if (!TIFFSetSubDirectory(tiff_, directory)) return failure("its directory could not be read");
    try {
        return read_samples(kind);
    } catch (const std::exception&) {  // std::bad_alloc, or OpenCV's out-of-memory error
        return std::string("out of memory for the picture");
    }
}

// Bilevel, grey and RGB pages of 1, 8 or 16 bits, in one plane: decoded by
// strip or tile straight into the rows of the page. Anything else goes
// through libtiff's RGBA reader.
std::variant<TiffPage, std::string> TiffFile::read_samples(PixelKind kind) {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    std::uint16_t format = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE, orientation = ORIENTATION_TOPLEFT;
    std::uint16_t extra_count = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_EXTRASAMPLES, &extra_count, &extra);
    const bool has_photometric = TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric) == 1;
    if (width == 0 || height == 0) return failure("has no image width or length");
    if (has_photometric && photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG) {
        // libjpeg converts to RGB while it decodes, as libtiff recommends.
        TIFFSetField(tiff_, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }
    const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    const bool direct = has_photometric && planar == PLANARCONFIG_CONTIG && format == SAMPLEFORMAT_UINT &&
                        (bits == 1 ? grey && samples == 1 : bits == 8 || bits == 16) &&
                        ((grey && (samples == 1 || samples == 2)) ||
                         (photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4)));
    const bool tiled = TIFFIsTiled(tiff_) != 0;
    std::uint32_t tile_width = 0, tile_length = 0;
    if (tiled) {
        TIFFGetField(tiff_, TIFFTAG_TILEWIDTH, &tile_width);
        TIFFGetField(tiff_, TIFFTAG_TILELENGTH, &tile_length);
    }
    const std::uint64_t row_bytes = bits == 1 ? (std::uint64_t{width} + 7) / 8 : std::uint64_t{width} * samples * (bits / 8);
    if (!direct || static_cast<std::uint64_t>(TIFFScanlineSize64(tiff_)) != row_bytes ||
        (tiled && (tile_width == 0 || tile_length == 0 || (bits == 1 && tile_width % 8 != 0)))) {
        return read_rgba();
    }
    TiffPage page;
    page.orientation = orientation;
    const int depth = bits == 16 ? CV_16U : CV_8U;
    cv::Mat raw(static_cast<int>(height), bits == 1 ? static_cast<int>(row_bytes) : static_cast<int>(width),
                CV_MAKETYPE(depth, bits == 1 ? 1 : samples));
    if (tiled) {
        const tmsize_t tile_size = TIFFTileSize(tiff_);
        const tmsize_t tile_row = TIFFTileRowSize(tiff_);
        if (tile_size <= 0 || tile_row <= 0) return failure("has tiles of no usable size");
        std::vector<std::uint8_t> tile(static_cast<std::size_t>(tile_size));
        for (std::uint32_t y0 = 0; y0 < height; y0 += tile_length) {
            for (std::uint32_t x0 = 0; x0 < width; x0 += tile_width) {
                if (TIFFReadEncodedTile(tiff_, TIFFComputeTile(tiff_, x0, y0, 0, 0), tile.data(), tile_size) < 0) {
                    return failure("could not be decoded");
                }
                const std::uint32_t rows = std::min(tile_length, height - y0);
                const std::uint32_t cols = std::min(tile_width, width - x0);
                const std::uint64_t from = bits == 1 ? x0 / 8 : std::uint64_t{x0} * samples * (bits / 8);
                const std::uint64_t bytes = bits == 1 ? (std::uint64_t{cols} + 7) / 8 : std::uint64_t{cols} * samples * (bits / 8);
                for (std::uint32_t r = 0; r < rows; ++r) {
                    std::memcpy(raw.ptr<std::uint8_t>(static_cast<int>(y0 + r)) + from,
                                tile.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(tile_row), bytes);
                }
            }
        }
    } else {
        std::uint32_t rows_per_strip = height;
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
        rows_per_strip = std::clamp<std::uint32_t>(rows_per_strip, 1, height);
        const std::uint32_t strips = (height - 1) / rows_per_strip + 1;
        if (TIFFNumberOfStrips(tiff_) < strips) return failure("has fewer strips than its rows need");
        for (std::uint32_t s = 0; s < strips; ++s) {
            const std::uint32_t y0 = s * rows_per_strip;
            const std::uint32_t rows = std::min(rows_per_strip, height - y0);
            if (TIFFReadEncodedStrip(tiff_, s, raw.ptr<std::uint8_t>(static_cast<int>(y0)),
                                     static_cast<tmsize_t>(rows * row_bytes)) < 0) {
                return failure("could not be decoded");
            }
        }
    }
    const bool min_is_white = photometric == PHOTOMETRIC_MINISWHITE;
    if (bits == 1) {
        page.pixels = expand_bilevel(raw, static_cast<int>(width), min_is_white);
        return page;
    }
    if (min_is_white) {
        if (samples == 1) {
            cv::bitwise_not(raw, raw);
        } else {
            std::vector<cv::Mat> planes;
            cv::split(raw, planes);
            cv::bitwise_not(planes[0], planes[0]);
            cv::merge(planes, raw);
        }
    }
    if (bits == 16) raw.convertTo(raw, CV_8U, 1.0 / 257.0);
    if (samples == 3) {
        cv::cvtColor(raw, raw, kind == PixelKind::Grey ? cv::COLOR_RGB2GRAY : cv::COLOR_RGB2BGR);
    } else if (samples == 4) {
        cv::cvtColor(raw, raw, cv::COLOR_RGBA2BGRA);
    }
    if (extra_count > 0 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA) page.alpha = AlphaKind::Premultiplied;
    page.pixels = std::move(raw);
    return page;
}

// Palette, CMYK, YCbCr without JPEG, 2-, 4- and 12-bit samples, floats,
// separate planes, ...: libtiff's RGBA reader handles them all, at 4 bytes a
// pixel. Its alpha comes out associated (premultiplied).
std::variant<TiffPage, std::string> TiffFile::read_rgba() {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tiff_, message)) return std::string("is of a kind that cannot be read: ") + message;
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tiff_, 1, message)) return std::string("could not be read: ") + message;
    // Rows as stored: the page's orientation is applied afterwards, the same
    // way for every format.
    image.req_orientation = image.orientation;
    TiffPage page;
    page.orientation = image.orientation;
    cv::Mat rgba;
    try {
        rgba.create(static_cast<int>(image.height), static_cast<int>(image.width), CV_8UC4);
    } catch (const std::exception&) {
        TIFFRGBAImageEnd(&image);
        return std::string("out of memory for the picture");
    }
    const int ok = TIFFRGBAImageGet(&image, reinterpret_cast<std::uint32_t*>(rgba.data), image.width, image.height);
    const bool alpha = image.alpha != 0;
    TIFFRGBAImageEnd(&image);
    if (!ok) return failure("could not be decoded");
    // Each pixel is R, G, B, A in memory order.
    if (alpha) {
        cv::cvtColor(rgba, page.pixels, cv::COLOR_RGBA2BGRA);
        page.alpha = AlphaKind::Premultiplied;
    } else {
        cv::cvtColor(rgba, page.pixels, cv::COLOR_RGBA2BGR);
    }
    return page;
}

}  // namespace idr::scan
