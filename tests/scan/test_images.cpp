#include "test_images.h"

#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include <jpeglib.h>
#include <libheif/heif.h>
#include <opencv2/imgproc.hpp>
#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>

namespace idr::test {
namespace {

cv::Mat as_bgr(const cv::Mat& picture) {
    if (picture.channels() == 3) return picture;
    cv::Mat bgr;
    cv::cvtColor(picture, bgr, picture.channels() == 4 ? cv::COLOR_BGRA2BGR : cv::COLOR_GRAY2BGR);
    return bgr;
}

// The picture's colours, each once, in the order first met (at most 256).
std::vector<cv::Vec3b> colours_of(const cv::Mat& bgr) {
    std::vector<cv::Vec3b> colours;
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x)
            if (std::find(colours.begin(), colours.end(), bgr.at<cv::Vec3b>(y, x)) == colours.end() && colours.size() < 256)
                colours.push_back(bgr.at<cv::Vec3b>(y, x));
    return colours;
}

int index_of(const std::vector<cv::Vec3b>& colours, const cv::Vec3b& c) {
    const auto at = std::find(colours.begin(), colours.end(), c);
    return at == colours.end() ? 0 : static_cast<int>(at - colours.begin());
}

std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A file name of its own for a writer that only writes to files.
std::string temporary_path() {
    std::string pattern = (std::filesystem::temp_directory_path() / "idr-test-image-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd >= 0) ::close(fd);
    return pattern;
}

// The ink that prints a colour: black for what the three share, the rest
// of each in proportion (0 = no ink).
cv::Vec4b cmyk_of(const cv::Vec3b& bgr) {
    const int c = 255 - bgr[2], m = 255 - bgr[1], y = 255 - bgr[0];
    const int k = std::min({c, m, y});
    const auto part = [k](int v) { return static_cast<std::uint8_t>(k == 255 ? 0 : ((v - k) * 255 + (255 - k) / 2) / (255 - k)); };
    return {part(c), part(m), part(y), static_cast<std::uint8_t>(k)};
}

void png_append(png_structp png, png_bytep data, png_size_t size) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}
void png_no_flush(png_structp) {}

}  // namespace

cv::Mat test_picture(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3, cv::Scalar(230, 200, 170));
    cv::rectangle(picture, cv::Rect(0, 0, width / 4, height / 4), cv::Scalar(0, 0, 0), cv::FILLED);
    return picture;
}

cv::Mat grey_of(const cv::Mat& bgr) {
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

std::string u16le(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string u32le(std::uint32_t v) { return u16le(v & 0xFFFF) + u16le(v >> 16); }
std::string u32be(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string png_file(const cv::Mat& picture, const PngOptions& o) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, png_append, png_no_flush);
    const int w = picture.cols, h = picture.rows;
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(h));
    int colour_type = PNG_COLOR_TYPE_GRAY;
    if (o.palette) {
        colour_type = PNG_COLOR_TYPE_PALETTE;
        const cv::Mat bgr = as_bgr(picture);
        const std::vector<cv::Vec3b> colours = colours_of(bgr);
        std::vector<png_color> entries;
        for (const cv::Vec3b& c : colours) entries.push_back({c[2], c[1], c[0]});
        png_set_PLTE(png, info, entries.data(), static_cast<int>(entries.size()));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) rows[y].push_back(static_cast<std::uint8_t>(index_of(colours, bgr.at<cv::Vec3b>(y, x))));
    } else if (picture.type() == CV_16UC1) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint16_t v = picture.at<std::uint16_t>(y, x);
                rows[y].push_back(static_cast<std::uint8_t>(v >> 8));
                rows[y].push_back(static_cast<std::uint8_t>(v & 0xFF));
            }
    } else if (picture.channels() == 1) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) rows[y].push_back(static_cast<std::uint8_t>(picture.at<std::uint8_t>(y, x) >> (8 - o.bit_depth)));
    } else {
        colour_type = picture.channels() == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
        const int channels = picture.channels();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < channels; ++k) {
                    const int from = k < 3 ? 2 - k : 3;  // BGR(A) to RGB(A)
                    const std::uint8_t v = picture.ptr<std::uint8_t>(y)[x * channels + from];
                    rows[y].push_back(v);
                    if (o.bit_depth == 16) rows[y].push_back(v);  // v * 257
                }
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), o.bit_depth, colour_type,
                 o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (o.transparent_grey >= 0) {
        png_color_16 trans{};
        trans.gray = static_cast<png_uint_16>(o.transparent_grey >> (8 - std::min(o.bit_depth, 8)));
        png_set_tRNS(png, info, nullptr, 0, &trans);
    }
    png_write_info(png, info);
    if (o.bit_depth < 8) png_set_packing(png);
    std::vector<png_bytep> pointers;
    for (auto& r : rows) pointers.push_back(r.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

namespace {

// libjpeg's compressor writing into memory.
struct JpegWriter {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    JpegWriter() {
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        jpeg_mem_dest(&info, &buffer, &size);
    }
    // The file, once everything is written.
    std::string finish() {
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        std::string out(reinterpret_cast<const char*>(buffer), size);
        std::free(buffer);
        return out;
    }
};

}  // namespace

std::string jpeg_file(const cv::Mat& picture, const JpegOptions& o) {
    JpegWriter writer;
    jpeg_compress_struct& info = writer.info;
    info.image_width = static_cast<JDIMENSION>(picture.cols);
    info.image_height = static_cast<JDIMENSION>(picture.rows);
    cv::Mat rows = picture;
    if (o.cmyk || o.ycck) {
        const cv::Mat bgr = as_bgr(picture);
        rows.create(bgr.size(), CV_8UC4);
        for (int y = 0; y < bgr.rows; ++y)
            for (int x = 0; x < bgr.cols; ++x) {
                const cv::Vec3b c = bgr.at<cv::Vec3b>(y, x);
                const cv::Vec4b ink = cmyk_of(c);
                // Inverted, as Photoshop stores CMYK: 255 is no ink.
                rows.at<cv::Vec4b>(y, x) = cv::Vec4b(static_cast<std::uint8_t>(255 - ink[0]), static_cast<std::uint8_t>(255 - ink[1]),
                                                     static_cast<std::uint8_t>(255 - ink[2]), static_cast<std::uint8_t>(255 - ink[3]));
            }
        info.input_components = 4;
        info.in_color_space = JCS_CMYK;
    } else {
        info.input_components = picture.channels();
        info.in_color_space = picture.channels() == 3 ? JCS_EXT_BGR : JCS_GRAYSCALE;
    }
    jpeg_set_defaults(&info);
    if (o.cmyk || o.ycck) jpeg_set_colorspace(&info, o.ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&info, o.quality, TRUE);
    if (o.progressive) jpeg_simple_progression(&info);
    if (o.arithmetic) info.arith_code = TRUE;
    info.restart_interval = static_cast<unsigned>(o.restart_interval);
    if (o.luma_h > 0) info.comp_info[0].h_samp_factor = o.luma_h;
    if (o.luma_v > 0) info.comp_info[0].v_samp_factor = o.luma_v;
    if (o.optimize_coding) info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    if (o.exif_orientation > 0) {
        const std::string tiff = std::string("II*\0", 4) + u32le(8) + u16le(1) + u16le(0x0112) + u16le(3) + u32le(1) +
                                 u16le(static_cast<unsigned>(o.exif_orientation)) + u16le(0) + u32le(0);
        const std::string exif = std::string("Exif\0\0", 6) + tiff;
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()), static_cast<unsigned>(exif.size()));
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rows.ptr<std::uint8_t>(static_cast<int>(info.next_scanline));
        jpeg_write_scanlines(&info, &row, 1);
    }
    return writer.finish();
}

std::string jpeg_file_from_coefficients(int width, int height, unsigned step,
                                        const std::function<void(std::int16_t* block, int index)>& fill) {
    JpegWriter writer;
    jpeg_compress_struct& info = writer.info;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    info.optimize_coding = TRUE;
    unsigned int steps[64];
    for (unsigned int& s : steps) s = step;
    jpeg_add_quant_table(&info, 0, steps, 100, TRUE);
    const JDIMENSION wide = (info.image_width + 7) / 8, high = (info.image_height + 7) / 8;
    jvirt_barray_ptr arrays[1];
    const auto common = reinterpret_cast<j_common_ptr>(&info);
    arrays[0] = (*info.mem->request_virt_barray)(common, JPOOL_IMAGE, TRUE, wide, high, 1);
    jpeg_write_coefficients(&info, arrays);
    int i = 0;
    for (JDIMENSION row = 0; row < high; ++row) {
        JBLOCKARRAY blocks = (*info.mem->access_virt_barray)(common, arrays[0], row, 1, TRUE);
        for (JDIMENSION col = 0; col < wide; ++col) fill(blocks[0][col], i++);
    }
    return writer.finish();
}

std::string tiff_file(const std::vector<cv::Mat>& pages, const TiffOptions& o) {
    const std::string path = temporary_path();
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) return {};
    for (const cv::Mat& picture : pages) {
        const int w = picture.cols, h = picture.rows;
        int samples = 1, bits = 8, photometric = o.min_is_white ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
        // Each row as the file holds it, one plane after another when separate.
        std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(h));
        int planes = 1;
        std::vector<std::uint16_t> map_r, map_g, map_b;  // set after the bits: libtiff sizes the map by them
        if (o.bilevel) {
            bits = 1;
            const cv::Mat grey = picture.channels() == 1 ? picture : grey_of(as_bgr(picture));
            for (int y = 0; y < h; ++y) {
                rows[y].assign(static_cast<std::size_t>((w + 7) / 8), 0);
                for (int x = 0; x < w; ++x) {
                    const bool white = grey.at<std::uint8_t>(y, x) >= 128;
                    if (white != o.min_is_white) rows[y][static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                }
            }
        } else if (o.palette) {
            photometric = PHOTOMETRIC_PALETTE;
            const cv::Mat bgr = as_bgr(picture);
            const std::vector<cv::Vec3b> colours = colours_of(bgr);
            map_r.assign(256, 0), map_g.assign(256, 0), map_b.assign(256, 0);
            for (std::size_t k = 0; k < colours.size(); ++k) {
                map_r[k] = static_cast<std::uint16_t>(colours[k][2] * 257);
                map_g[k] = static_cast<std::uint16_t>(colours[k][1] * 257);
                map_b[k] = static_cast<std::uint16_t>(colours[k][0] * 257);
            }
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) rows[y].push_back(static_cast<std::uint8_t>(index_of(colours, bgr.at<cv::Vec3b>(y, x))));
        } else if (picture.type() == CV_16UC1) {
            bits = 16;
            for (int y = 0; y < h; ++y) {
                rows[y].resize(static_cast<std::size_t>(w) * 2);
                std::memcpy(rows[y].data(), picture.ptr(y), rows[y].size());  // host order, as libtiff expects
            }
        } else if (picture.channels() == 1) {
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* p = picture.ptr<std::uint8_t>(y);
                for (int x = 0; x < w; ++x) rows[y].push_back(o.min_is_white ? static_cast<std::uint8_t>(255 - p[x]) : p[x]);
            }
        } else if (o.cmyk) {
            photometric = PHOTOMETRIC_SEPARATED;
            samples = 4;
            const cv::Mat bgr = as_bgr(picture);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const cv::Vec4b ink = cmyk_of(bgr.at<cv::Vec3b>(y, x));
                    for (int k = 0; k < 4; ++k) rows[y].push_back(ink[k]);
                }
        } else {
            photometric = o.compression == COMPRESSION_JPEG ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB;
            samples = picture.channels();
            planes = o.separate_planes ? samples : 1;
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* p = picture.ptr<std::uint8_t>(y);
                for (int plane = 0; plane < planes; ++plane)
                    for (int x = 0; x < w; ++x)
                        for (int k = o.separate_planes ? plane : 0; k < (o.separate_planes ? plane + 1 : samples); ++k) {
                            const int from = k < 3 ? 2 - k : 3;
                            int v = p[x * samples + from];
                            if (k < 3 && samples == 4 && o.extra_alpha == EXTRASAMPLE_ASSOCALPHA) v = v * p[x * 4 + 3] / 255;
                            rows[y].push_back(static_cast<std::uint8_t>(v));
                        }
            }
        }
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(h));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
        if (!map_r.empty()) TIFFSetField(tiff, TIFFTAG_COLORMAP, map_r.data(), map_g.data(), map_b.data());
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, o.separate_planes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, o.compression);
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, o.orientation);
        if (samples == 4 && !o.cmyk) {
            const std::uint16_t extra = static_cast<std::uint16_t>(std::max(o.extra_alpha, 0));
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        if (o.cmyk) TIFFSetField(tiff, TIFFTAG_INKSET, INKSET_CMYK);
        if (o.compression == COMPRESSION_JPEG) {
            TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
            if (photometric == PHOTOMETRIC_YCBCR) TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
        const std::size_t row_bytes = rows.empty() ? 0 : rows[0].size() / static_cast<std::size_t>(planes);
        if (o.tiled) {
            constexpr int kTile = 16;
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, kTile);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, kTile);
            const std::size_t tile_row = static_cast<std::size_t>(TIFFTileRowSize(tiff));
            std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tiff)));
            const std::size_t pixel_bits = static_cast<std::size_t>(bits) * (o.separate_planes ? 1 : samples);
            for (int y0 = 0; y0 < h; y0 += kTile)
                for (int x0 = 0; x0 < w; x0 += kTile)
                    for (int plane = 0; plane < planes; ++plane) {
                        std::fill(tile.begin(), tile.end(), 0);
                        for (int r = 0; r < kTile && y0 + r < h; ++r) {
                            const std::size_t from = x0 * pixel_bits / 8;
                            const std::size_t n = std::min(tile_row, row_bytes - from);
                            std::memcpy(tile.data() + r * tile_row, rows[y0 + r].data() + plane * row_bytes + from, n);
                        }
                        TIFFWriteTile(tiff, tile.data(), static_cast<std::uint32_t>(x0), static_cast<std::uint32_t>(y0), 0,
                                      static_cast<std::uint16_t>(plane));
                    }
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, o.compression == COMPRESSION_JPEG ? 16 : 7);
            for (int plane = 0; plane < planes; ++plane)
                for (int y = 0; y < h; ++y)
                    TIFFWriteScanline(tiff, rows[y].data() + plane * row_bytes, static_cast<std::uint32_t>(y),
                                      static_cast<std::uint16_t>(plane));
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    std::string bytes = read_whole(path);
    std::filesystem::remove(path);
    return bytes;
}

std::string webp_file(const cv::Mat& picture, bool lossless, int quality) {
    std::uint8_t* out = nullptr;
    std::size_t size = 0;
    const cv::Mat p = picture.channels() == 4 ? picture : as_bgr(picture);
    const int stride = static_cast<int>(p.step[0]);
    if (p.channels() == 4) {
        size = lossless ? WebPEncodeLosslessBGRA(p.data, p.cols, p.rows, stride, &out)
                        : WebPEncodeBGRA(p.data, p.cols, p.rows, stride, static_cast<float>(quality), &out);
    } else {
        size = lossless ? WebPEncodeLosslessBGR(p.data, p.cols, p.rows, stride, &out)
                        : WebPEncodeBGR(p.data, p.cols, p.rows, stride, static_cast<float>(quality), &out);
    }
    std::string bytes(reinterpret_cast<const char*>(out), size);
    WebPFree(out);
    return bytes;
}

std::string heif_file(const cv::Mat& picture, const HeifOptions& o) {
    const cv::Mat bgr = as_bgr(picture);
    heif_context* ctx = heif_context_alloc();
    heif_image* image = nullptr;
    heif_image_create(bgr.cols, bgr.rows, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, bgr.cols, bgr.rows, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x) {
            const cv::Vec3b c = bgr.at<cv::Vec3b>(y, x);
            std::uint8_t* d = plane + static_cast<std::ptrdiff_t>(y) * stride + 3 * x;
            d[0] = c[2], d[1] = c[1], d[2] = c[0];
        }
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(ctx, o.avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder);
    std::string bytes;
    if (encoder) {
        heif_encoder_set_lossy_quality(encoder, o.quality);
        // The fastest settings: these files only need to exist.
        if (o.avif) {
            heif_encoder_set_parameter(encoder, "speed", "9");
        } else {
            heif_encoder_set_parameter(encoder, "preset", "ultrafast");
        }
        heif_encoding_options* options = heif_encoding_options_alloc();
        options->image_orientation = static_cast<heif_orientation>(o.orientation);
        const heif_error e = heif_context_encode_image(ctx, image, encoder, options, nullptr);
        heif_encoding_options_free(options);
        heif_encoder_release(encoder);
        if (e.code == heif_error_Ok) {
            heif_writer writer{};
            writer.writer_api_version = 1;
            writer.write = [](heif_context*, const void* data, size_t size, void* user) {
                static_cast<std::string*>(user)->append(static_cast<const char*>(data), size);
                return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
            };
            heif_context_write(ctx, &writer, &bytes);
        }
    }
    heif_image_release(image);
    heif_context_free(ctx);
    return bytes;
}

std::string bmp_file(const cv::Mat& picture, const BmpOptions& o) {
    const int w = picture.cols, h = picture.rows;
    const cv::Mat bgr = as_bgr(picture);
    const cv::Mat grey = grey_of(bgr);
    const int levels = o.bits <= 8 ? 1 << o.bits : 0;
    std::string palette;
    for (int k = 0; k < levels; ++k) {
        const auto v = static_cast<char>(k * 255 / (levels - 1));
        palette += std::string{v, v, v, 0};
    }
    auto index = [&](int y, int x) { return (grey.at<std::uint8_t>(y, x) * (levels - 1) + 127) / 255; };
    std::string pixels;
    const std::uint32_t compression = o.rle ? (o.bits == 8 ? 1u : 2u) : (o.bits == 16 || o.bits == 32) ? 3u : 0u;
    for (int row = 0; row < h; ++row) {
        const int y = o.top_down ? row : h - 1 - row;
        std::string line;
        if (o.rle) {
            for (int x = 0; x < w;) {
                int run = 1;
                while (x + run < w && run < 255 && index(y, x + run) == index(y, x)) ++run;
                const int v = index(y, x);
                line += static_cast<char>(run);
                line += static_cast<char>(o.bits == 8 ? v : (v << 4) | v);
                x += run;
            }
            line += std::string("\0\0", 2);  // end of line
        } else {
            int bit = 0;
            std::uint8_t partial = 0;
            for (int x = 0; x < w; ++x) {
                const cv::Vec3b c = bgr.at<cv::Vec3b>(y, x);
                if (o.bits <= 8) {
                    partial = static_cast<std::uint8_t>(partial | (index(y, x) << (8 - o.bits - bit)));
                    bit += o.bits;
                    if (bit == 8) line += static_cast<char>(partial), partial = 0, bit = 0;
                } else if (o.bits == 16) {
                    line += u16le(static_cast<unsigned>(((c[2] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[0] >> 3)));
                } else if (o.bits == 24) {
                    line += std::string{static_cast<char>(c[0]), static_cast<char>(c[1]), static_cast<char>(c[2])};
                } else {
                    const int alpha = picture.channels() == 4 ? picture.at<cv::Vec4b>(y, x)[3] : 255;
                    line += u32le(static_cast<std::uint32_t>((alpha << 24) | (c[2] << 16) | (c[1] << 8) | c[0]));
                }
            }
            if (bit > 0) line += static_cast<char>(partial);
            while (line.size() % 4 != 0) line += '\0';
        }
        pixels += line;
    }
    if (o.rle) pixels += std::string("\0\1", 2);  // end of picture
    std::string masks;
    if (compression == 3) {
        masks = o.bits == 16 ? u32le(0xF800) + u32le(0x07E0) + u32le(0x001F)
                             : u32le(0xFF0000) + u32le(0xFF00) + u32le(0xFF) + u32le(0xFF000000);
    }
    const std::uint32_t info_size = compression == 3 && o.bits == 32 ? 56 : 40;  // the alpha mask needs the V3 header
    if (info_size == 56) masks.clear();
    std::string info = u32le(info_size) + u32le(static_cast<std::uint32_t>(w)) +
                       u32le(static_cast<std::uint32_t>(o.top_down ? -h : h)) + u16le(1) + u16le(static_cast<unsigned>(o.bits)) +
                       u32le(compression) + u32le(static_cast<std::uint32_t>(pixels.size())) + u32le(2835) + u32le(2835) +
                       u32le(static_cast<std::uint32_t>(levels)) + u32le(0);
    if (info_size == 56) info += u32le(0xFF0000) + u32le(0xFF00) + u32le(0xFF) + u32le(0xFF000000);
    const std::uint32_t offset = static_cast<std::uint32_t>(14 + info.size() + masks.size() + palette.size());
    return "BM" + u32le(static_cast<std::uint32_t>(offset + pixels.size())) + u32le(0) + u32le(offset) + info + masks +
           palette + pixels;
}

}  // namespace idr::test
