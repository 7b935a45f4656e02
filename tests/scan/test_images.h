#pragma once
// Files of every kind the loader reads, written at test time by the format
// libraries themselves (libpng, libjpeg, libtiff, libwebp, libheif) or, for
// BMP, by hand. Pictures come in as 8-bit grey, BGR or BGRA; 16-bit grey for
// the deep kinds.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace idr::test {

// A colour picture with a black square in its top-left quarter, so that
// turning and flipping show, on light paper.
cv::Mat test_picture(int width, int height);
cv::Mat grey_of(const cv::Mat& bgr);

struct PngOptions {
    int bit_depth = 8;      // 1, 2, 4, 8 or 16 (grey); 8 or 16 (colour)
    bool palette = false;   // the picture's colours as a palette (at most 2^bit_depth of them)
    bool interlaced = false;
    int transparent_grey = -1;  // a tRNS chunk making this grey level transparent
};
// Grey, BGR, BGRA or CV_16UC1 as PNG.
std::string png_file(const cv::Mat& picture, const PngOptions& options = {});

struct JpegOptions {
    int quality = 92;
    bool progressive = false;
    bool arithmetic = false;
    bool cmyk = false;  // stored as Photoshop does: inverted, with an Adobe marker
    bool ycck = false;  // the same, colour-transformed
    int exif_orientation = 0;  // 0: no EXIF segment
    int restart_interval = 0;  // MCUs between restart markers; 0: none
    int luma_h = 0, luma_v = 0;  // the luma's sampling factors in a colour file; 0: the library's (2 x 2)
    bool optimize_coding = false;  // Huffman tables made for the picture
};
std::string jpeg_file(const cv::Mat& picture, const JpegOptions& options = {});
// A grey baseline file written straight from coefficients (libjpeg's
// jpeg_write_coefficients, tables made for them): block `index` (in rows of
// blocks, 64 coefficients in natural order) filled by `fill`, every step of
// the quantization table `step`.
std::string jpeg_file_from_coefficients(int width, int height, unsigned step,
                                        const std::function<void(std::int16_t* block, int index)>& fill);

struct TiffOptions {
    int compression = 1;     // libtiff's COMPRESSION_*: 1 none, 3 G3, 4 G4, 5 LZW, 7 JPEG, 8 deflate, 32773 PackBits
    bool bilevel = false;    // 1 bit a pixel, from the picture's grey at 128
    bool min_is_white = false;
    bool tiled = false;      // 16 x 16 tiles, else strips of 7 rows
    bool palette = false;    // 8-bit colour map
    bool cmyk = false;
    bool separate_planes = false;
    int orientation = 1;
    int extra_alpha = -1;    // for BGRA: 1 associated, 2 unassociated alpha
};
// Every picture one page, in order. Grey, BGR, BGRA or CV_16UC1.
std::string tiff_file(const std::vector<cv::Mat>& pages, const TiffOptions& options = {});

std::string webp_file(const cv::Mat& picture, bool lossless, int quality = 95);

struct HeifOptions {
    bool avif = false;    // AV1, else HEVC
    int quality = 90;
    int orientation = 1;  // written as the file's rotation and mirror properties
};
std::string heif_file(const cv::Mat& picture, const HeifOptions& options = {});

struct BmpOptions {
    int bits = 24;        // 1, 4, 8 (palette of the picture's grey levels), 16 (5-6-5), 24, 32 (with alpha mask)
    bool rle = false;     // 8-bit or 4-bit run lengths
    bool top_down = false;
};
std::string bmp_file(const cv::Mat& picture, const BmpOptions& options = {});

// Little- and big-endian integers, for files built by hand.
std::string u16le(unsigned v);
std::string u32le(std::uint32_t v);
std::string u32be(std::uint32_t v);

}  // namespace idr::test
