#pragma once
// The first page of a picture file as the scan loader reads it, for tests
// that write a file and check what comes back; empty when it cannot be read.

#include <memory>
#include <string>
#include <variant>

#include <opencv2/core.hpp>

#include "scan/load.h"

namespace idr::test {

inline cv::Mat read_back(const std::string& path, bool colour) {
    auto opened = scan::open_scan(path);
    if (!std::holds_alternative<std::unique_ptr<scan::PageSource>>(opened)) return {};
    auto page = std::get<std::unique_ptr<scan::PageSource>>(opened)->page(
        1, colour ? scan::PixelKind::Colour : scan::PixelKind::Grey);
    if (auto* p = std::get_if<scan::Page>(&page)) return p->image;
    return {};
}

}  // namespace idr::test
