#include "scan/encode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>
#include <opencv2/imgproc.hpp>
#include <spng.h>

#include "scan/png_writer.h"

namespace idr::scan {
namespace {

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

struct JpegWriter {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
    unsigned char* out = nullptr;
    unsigned long size = 0;
};

[[noreturn]] void on_jpeg_error(j_common_ptr info) { std::longjmp(static_cast<JpegWriter*>(info->client_data)->jump, 1); }
void no_message(j_common_ptr, int) {}

// The rows as PNG stores them: grey, or red-green-blue, one block of memory.
// Empty for a picture PNG cannot take (empty, not 8-bit, not 1 or 3 channels).
cv::Mat png_rows(const cv::Mat& picture) {
    if (picture.empty() || picture.depth() != CV_8U || (picture.channels() != 1 && picture.channels() != 3)) return {};
    cv::Mat rows;
    if (picture.channels() == 3) {
        cv::cvtColor(picture, rows, cv::COLOR_BGR2RGB);
    } else {
        rows = picture.isContinuous() ? picture : picture.clone();
    }
    return rows;
}

}  // namespace

std::vector<std::uint8_t> encode_drawn_png(const cv::Mat& picture) {
    const cv::Mat rows = png_rows(picture);
    if (rows.empty()) return {};
    return write_drawn_png(rows.data, rows.cols, rows.rows, rows.channels(), rows.step[0]);
}

std::vector<std::uint8_t> encode_png(const cv::Mat& picture, int level) {
    const cv::Mat rows = png_rows(picture);
    if (rows.empty()) return {};
    const std::unique_ptr<spng_ctx, ContextFree> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) return {};
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, level);
    // zlib's default strategy, rows unfiltered: on a review picture (grey
    // scan, coloured marks) at level 1 that is a third of the bytes of
    // run lengths after the left-neighbour filter, in half the time.
    spng_set_option(ctx.get(), SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(rows.cols);
    ihdr.height = static_cast<std::uint32_t>(rows.rows);
    ihdr.bit_depth = 8;
    ihdr.color_type = rows.channels() == 3 ? SPNG_COLOR_TYPE_TRUECOLOR : SPNG_COLOR_TYPE_GRAYSCALE;
    if (spng_set_ihdr(ctx.get(), &ihdr) != 0) return {};
    if (spng_encode_image(ctx.get(), rows.data, rows.total() * rows.elemSize(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) {
        return {};
    }
    std::size_t length = 0;
    int error = 0;
    void* png = spng_get_png_buffer(ctx.get(), &length, &error);
    if (!png || error != 0) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::uint8_t*>(png), static_cast<std::uint8_t*>(png) + length);
    std::free(png);
    return bytes;
}

std::vector<std::uint8_t> encode_jpeg(const cv::Mat& picture, int quality) {
    if (picture.empty() || picture.depth() != CV_8U || (picture.channels() != 1 && picture.channels() != 3)) return {};
    auto writer = std::make_unique<JpegWriter>();
    jpeg_compress_struct& info = writer->info;
    info.err = jpeg_std_error(&writer->errors);
    writer->errors.error_exit = on_jpeg_error;
    writer->errors.emit_message = no_message;
    info.client_data = writer.get();
    if (setjmp(writer->jump)) {
        jpeg_destroy_compress(&info);
        std::free(writer->out);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &writer->out, &writer->size);
    info.image_width = static_cast<JDIMENSION>(picture.cols);
    info.image_height = static_cast<JDIMENSION>(picture.rows);
    info.input_components = picture.channels();
    info.in_color_space = picture.channels() == 3 ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.ptr<std::uint8_t>(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(writer->out, writer->out + writer->size);
    std::free(writer->out);
    return bytes;
}

}  // namespace idr::scan
