#include "scan/load_checks.h"

namespace idr::scan {
namespace {

std::string megapixels(std::uint64_t pixels) {
    if (pixels % 1'000'000 == 0) {
        return std::to_string(pixels / 1'000'000) + " MP";
    }
    return std::to_string(pixels) + " pixels";
}

}  // namespace

LoadError file_error(const std::string& name, const std::string& reason) { return {name + ": " + reason}; }

LoadError page_error(const std::string& name, int number, const std::string& reason) {
    return {name + ": page " + std::to_string(number) + " " + reason};
}

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

std::optional<LoadError> check_decoded_size(const std::string& name, int number, cv::Size decoded,
                                            std::int64_t declared_width, std::int64_t declared_height,
                                            int reduction) {
    const std::int64_t expect_w = (declared_width + reduction - 1) / reduction;
    const std::int64_t expect_h = (declared_height + reduction - 1) / reduction;
    if (decoded.width == expect_w && decoded.height == expect_h) {
        return std::nullopt;
    }
    return page_error(name, number,
                      "decoded as " + std::to_string(decoded.width) + " x " + std::to_string(decoded.height) +
                          " pixels, not the " + std::to_string(expect_w) + " x " + std::to_string(expect_h) +
                          " its header declares");
}

std::variant<const PageHeader*, LoadError> declared_page(const std::string& name, const ImageHeader& header,
                                                         int number, int reduction, const LoadLimits& limits) {
    if (auto error = check_request(name, number, static_cast<int>(header.pages.size()), reduction)) return *error;
    const PageHeader& declared = header.pages[static_cast<std::size_t>(number - 1)];
    if (auto error = check_page_size(name, number, declared.width, declared.height, limits)) return *error;
    return &declared;
}

bool declared_grey(const ImageHeader& header, int number) {
    return number >= 1 && number <= static_cast<int>(header.pages.size()) &&
           header.pages[static_cast<std::size_t>(number - 1)].grey;
}

}  // namespace idr::scan

namespace idr::scan {

std::string error_text(const std::exception& e) {
    // OpenCV says "OpenCV(4.6.0) file:line: error: (-4:Insufficient memory)
    // Failed to allocate 8 bytes in function 'OutOfMemoryError'\n", or puts
    // the words on a line of their own after the function.
    const std::string what = e.what();
    if (what.rfind("OpenCV(", 0) != 0) return what;
    const std::size_t code = what.find("error: (");
    const std::size_t after = code == std::string::npos ? code : what.find(") ", code);
    if (after == std::string::npos) return what;
    std::string words = what.substr(after + 2);
    if (words.rfind("in function '", 0) == 0) {
        const std::size_t line = words.find('\n');
        words = line == std::string::npos ? std::string() : words.substr(line + 1);
    } else if (const std::size_t in = words.rfind(" in function '"); in != std::string::npos) {
        words.resize(in);
    }
    while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
    return words.empty() ? what : words;
}

}  // namespace idr::scan
