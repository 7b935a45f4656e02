#pragma once
// Writing pages and their truth: picture files by the page's format, and one
// JSON object per page for truth.jsonl.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/pagegen/page.h"

namespace idr::pagegen {

// The file name's extension for a format, with the dot.
const char* file_extension(FileFormat f);

// Writes the page to `path` in `format`. JPEG pages are written with the
// very bytes the page's picture was decoded from; PDF pages hold the picture
// at 300 dpi, so rendering them at 300 dpi gives back its pixels. Returns a
// message naming the file and the reason when it fails.
std::optional<std::string> write_page(const GeneratedPage& page, FileFormat format, const std::string& path);

// Several pages in one file (TIFF or PDF), one page each, in order.
std::optional<std::string> write_pages(const std::vector<const GeneratedPage*>& pages, FileFormat format,
                                       const std::string& path);

nlohmann::json truth_json(const Truth& t);

}  // namespace idr::pagegen
