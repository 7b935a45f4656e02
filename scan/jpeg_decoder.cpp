#include "scan/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <exception>
#include <vector>

#include <jpeglib.h>

#include "scan/jpeg_luma_scan.h"

namespace idr::scan {
namespace {

// A progressive file may hold any number of scans, each a pass over the
// whole picture; a few hundred bytes of scan headers can cost minutes.
// Real encoders write at most a few dozen.
constexpr int kMaxScans = 500;

// Everything the decoder touches lives here, on the heap, so that a jump
// back from the library's error handler finds it intact.
struct JpegJob {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    std::string failure;
    cv::Mat out;
    std::vector<JSAMPROW> rows;
};

JpegJob& job_of(j_common_ptr info) { return *static_cast<JpegJob*>(info->client_data); }

[[noreturn]] void on_error(j_common_ptr info) {
    char text[JMSG_LENGTH_MAX] = {};
    (*info->err->format_message)(info, text);
    job_of(info).failure = text;
    std::longjmp(job_of(info).jump, 1);
}

// Warnings (corrupt or missing data the library reads past) are not printed:
// the page still decodes, and stderr belongs to the program.
void on_message(j_common_ptr info, int level) {
    if (level < 0) ++info->err->num_warnings;
}

void on_progress(j_common_ptr info) {
    const auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > kMaxScans) {
        job_of(info).failure = "the file holds more than " + std::to_string(kMaxScans) + " progressive scans";
        std::longjmp(job_of(info).jump, 1);
    }
}

// CMYK as the ink covers white paper. Files with an Adobe marker (Photoshop
// and nearly every other writer) store the values inverted: 255 = no ink.
void cmyk_to_bgr(const cv::Mat& cmyk, cv::Mat& bgr, bool inverted) {
    bgr.create(cmyk.size(), CV_8UC3);
    for (int y = 0; y < cmyk.rows; ++y) {
        const std::uint8_t* s = cmyk.ptr<std::uint8_t>(y);
        std::uint8_t* d = bgr.ptr<std::uint8_t>(y);
        for (int x = 0; x < cmyk.cols; ++x, s += 4, d += 3) {
            const int k = inverted ? s[3] : 255 - s[3];
            for (int c = 0; c < 3; ++c) {
                const int v = inverted ? s[c] : 255 - s[c];
                d[2 - c] = static_cast<std::uint8_t>((v * k + 127) / 255);  // C, M, Y -> R, G, B
            }
        }
    }
}

}  // namespace

namespace {

std::variant<cv::Mat, std::string> decode_with_library(std::string_view bytes, PixelKind kind, int reduction,
                                                       bool own_scan) {
    auto job = std::make_unique<JpegJob>();
    jpeg_decompress_struct& info = job->info;
    info.err = jpeg_std_error(&job->errors);
    job->errors.error_exit = on_error;
    job->errors.emit_message = on_message;
    job->progress.progress_monitor = on_progress;
    info.client_data = job.get();
    if (setjmp(job->jump)) {
        jpeg_destroy_decompress(&info);
        return job->failure;
    }
    jpeg_create_decompress(&info);
    info.progress = &job->progress;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (cmyk) {
        info.out_color_space = JCS_CMYK;
    } else if (kind == PixelKind::Grey || info.jpeg_color_space == JCS_GRAYSCALE) {
        // From YCbCr this is the Y channel alone: the chroma components are
        // entropy-decoded (they must be, to find the next block) but never
        // transformed, upsampled or converted.
        info.out_color_space = JCS_GRAYSCALE;
    } else {
        info.out_color_space = JCS_EXT_BGR;
    }
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned int>(reduction);
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);

    if (own_scan && reduction == 2 && info.out_color_space == JCS_GRAYSCALE) {
        const auto* end = reinterpret_cast<const std::uint8_t*>(bytes.data()) + bytes.size();
        bool done = false;
        try {
            done = decode_luma_half(info, end, job->out);
        } catch (const std::exception&) {  // out of memory: the library's way reports it
        }
        jpeg_destroy_decompress(&info);
        if (done) return std::move(job->out);
        return decode_with_library(bytes, kind, reduction, false);
    }

    try {
        job->out.create(static_cast<int>(info.output_height), static_cast<int>(info.output_width),
                        CV_8UC(info.output_components));
        job->rows.resize(info.output_height);
    } catch (const std::exception&) {  // std::bad_alloc, or OpenCV's own out-of-memory error
        jpeg_destroy_decompress(&info);
        return std::string("out of memory for the picture");
    }
    for (JDIMENSION y = 0; y < info.output_height; ++y) job->rows[y] = job->out.ptr<std::uint8_t>(static_cast<int>(y));
    while (info.output_scanline < info.output_height) {
        jpeg_read_scanlines(&info, job->rows.data() + info.output_scanline, info.output_height - info.output_scanline);
    }
    const bool inverted = info.saw_Adobe_marker;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (cmyk) {
        cv::Mat bgr;
        cmyk_to_bgr(job->out, bgr, inverted);
        return bgr;
    }
    return std::move(job->out);
}

}  // namespace

std::variant<cv::Mat, std::string> decode_jpeg(std::string_view bytes, PixelKind kind, int reduction) {
    return decode_with_library(bytes, kind, reduction, true);
}

std::variant<cv::Mat, std::string> decode_jpeg_by_library(std::string_view bytes, PixelKind kind, int reduction) {
    return decode_with_library(bytes, kind, reduction, false);
}

}  // namespace idr::scan
