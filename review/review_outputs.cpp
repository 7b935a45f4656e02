#include "review/review_outputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "review/overlay.h"

namespace idr::review {

std::optional<std::string> ReviewOutputs::open(const ReviewTargets& targets, const std::vector<std::string>& inputs) {
    namespace fs = std::filesystem;
    for (const std::optional<std::string>* target : {&targets.xlsx, &targets.report}) {
        if (!*target) continue;
        for (const std::string& file : inputs) {
            std::error_code ec;
            if (fs::equivalent(file, **target, ec))
                return **target + ": is one of the files to read; it is kept, not overwritten";
        }
    }
    if (targets.xlsx) {
        if (auto problem = xlsx_.open(*targets.xlsx)) return problem;
        xlsx_open_ = true;
    }
    if (targets.overlay) {
        std::error_code ec;
        fs::create_directories(*targets.overlay, ec);
        if (!fs::is_directory(*targets.overlay))
            return *targets.overlay + ": cannot make the folder for the review pictures" +
                   (ec ? ": " + ec.message() : std::string(": a file of that name is in the way"));
        overlay_dir_ = *targets.overlay;
    }
    if (targets.report) {
        if (auto problem = report_.open(*targets.report)) return problem;
        report_open_ = true;
    }
    return std::nullopt;
}

std::optional<std::string> ReviewOutputs::add(int seq, const PageOutcome& o, const std::vector<std::uint8_t>& picture) {
    if (xlsx_open_) xlsx_.add(o);  // its problems wait for close()
    std::optional<std::string> problem;
    if (overlay_dir_) {
        const std::string path = overlay_path(*overlay_dir_, seq, o);
        if (picture.empty()) {
            problem = path + ": cannot write the review picture: it could not be encoded";
        } else {
            errno = 0;
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
            file.close();
            if (!file) problem = path + ": cannot write the review picture" + (errno ? ": " + std::string(std::strerror(errno)) : "");
        }
    }
    if (report_open_) report_.add(o, picture);
    return problem;
}

std::vector<std::string> ReviewOutputs::close() {
    std::vector<std::string> problems;
    if (xlsx_open_) {
        xlsx_open_ = false;
        if (auto problem = xlsx_.close()) problems.push_back(*problem);
    }
    if (report_open_) {
        report_open_ = false;
        if (auto problem = report_.close()) problems.push_back(*problem);
    }
    return problems;
}

}  // namespace idr::review
