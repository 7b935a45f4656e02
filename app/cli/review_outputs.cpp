#include "app/cli/review_outputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/cli/overlay.h"
#include "scan/encode.h"

namespace idr::cli {

namespace {

std::vector<std::uint8_t> encode(const cv::Mat& picture, bool png) {
    if (png) return encode_png(picture);
    std::vector<std::uint8_t> bytes;
    try {
        bytes = scan::encode_jpeg(picture, 85);
    } catch (const cv::Exception&) {
        bytes.clear();
    }
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> review_picture(const PageOutcome& o, const scan::PageResult& result, bool png) {
    return encode(render_overlay(o, result.block, result.thumbnail, result.thumbnail_scale), png);
}

std::vector<std::uint8_t> review_picture(const PageOutcome& o, bool png) {
    return encode(render_overlay(o, cv::Mat(), cv::Mat(), 0), png);
}

std::optional<std::string> ReviewOutputs::open(const Options& options) {
    namespace fs = std::filesystem;
    if (options.overlay) {
        std::error_code ec;
        fs::create_directories(*options.overlay, ec);
        if (!fs::is_directory(*options.overlay))
            return *options.overlay + ": cannot make the folder for the review pictures" +
                   (ec ? ": " + ec.message() : std::string(": a file of that name is in the way"));
        overlay_dir_ = *options.overlay;
    }
    if (options.report) {
        if (auto problem = report_.open(*options.report)) return problem;
        report_open_ = true;
    }
    return std::nullopt;
}

std::optional<std::string> ReviewOutputs::add(int seq, const PageOutcome& o, const std::vector<std::uint8_t>& png) {
    std::optional<std::string> problem;
    if (overlay_dir_) {
        const std::string path = overlay_path(*overlay_dir_, seq, o);
        if (png.empty()) {
            problem = path + ": cannot write the review picture: it could not be encoded";
        } else {
            errno = 0;
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
            file.close();
            if (!file) problem = path + ": cannot write the review picture" + (errno ? ": " + std::string(std::strerror(errno)) : "");
        }
    }
    if (report_open_) report_.add(o, png);
    return problem;
}

std::optional<std::string> ReviewOutputs::close() {
    if (!report_open_) return std::nullopt;
    report_open_ = false;
    return report_.close();
}

}  // namespace idr::cli
