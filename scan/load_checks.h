#pragma once
// The checks every page source makes before it decodes, and the wording of
// its refusals: a message names the file (and the page) and says what was
// wrong. Shared by the loader and its plugins, so a PDF page and a PNG page
// are refused in the same words.

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <variant>

#include <opencv2/core.hpp>

#include "scan/image_header.h"
#include "scan/load.h"

namespace idr::scan {

LoadError file_error(const std::string& name, const std::string& reason);
LoadError page_error(const std::string& name, int number, const std::string& reason);

// The pixel limit, and the floor below which a page cannot hold a sheet;
// checked on the declared size before anything is allocated for the page.
std::optional<LoadError> check_page_size(const std::string& name, int number, std::int64_t width,
                                         std::int64_t height, const LoadLimits& limits);

// A page number within the file and a reduction of 1, 2, 4 or 8.
std::optional<LoadError> check_request(const std::string& name, int number, int page_count, int reduction);

// A decoder that produced another size than the header declared (divided by
// the reduction, rounded up) read a different picture than the limits were
// checked against.
std::optional<LoadError> check_decoded_size(const std::string& name, int number, cv::Size decoded,
                                            std::int64_t declared_width, std::int64_t declared_height,
                                            int reduction = 1);

// Page `number` of a file whose header lists its pages, once the request
// and the page's declared size have passed their checks.
std::variant<const PageHeader*, LoadError> declared_page(const std::string& name, const ImageHeader& header,
                                                         int number, int reduction, const LoadLimits& limits);

// Whether the header declares page `number` grey (false for a page it does not list).
bool declared_grey(const ImageHeader& header, int number);

// What an exception says, for a reason: an OpenCV error's own words,
// without the file, line and function OpenCV puts round them. (OpenCV's
// exception type is not named, so that id-reader-cli can load OpenCV on
// first use: catching it would need its type information at start.)
std::string error_text(const std::exception& e);

// Runs a decoding step, turning what it may throw (out of memory, an OpenCV
// error) into the page's reason, which begins with `failure`.
template <typename Step>
std::variant<Page, LoadError> guarded(const std::string& name, int number, Step step,
                                      const std::string& failure = "could not be decoded") {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return page_error(name, number, failure + ": out of memory");
    } catch (const std::exception& e) {
        return page_error(name, number, failure + ": " + error_text(e));
    }
}

}  // namespace idr::scan
