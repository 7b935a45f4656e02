#include "app/gui/review_list.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>
#include <variant>

#include <nlohmann/json.hpp>

#include "scan/load.h"

namespace idr {

namespace fs = std::filesystem;

PageListing review_pages(std::istream& in, const std::string& name, const std::string& base_folder) {
    PageListing out;
    std::map<std::string, int> page_counts;  // by path; -1: could not be opened
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const std::string where = name + " line " + std::to_string(number);
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            out.problems.push_back(where + ": not a JSON object");
            continue;
        }
        const auto file = j.find("file");
        const auto status = j.find("status");
        const auto page = j.find("page");
        if (file == j.end() || !file->is_string() || file->get<std::string>().empty()) {
            out.problems.push_back(where + ": no \"file\" name");
            continue;
        }
        if (status == j.end() || !status->is_string()) {
            out.problems.push_back(where + ": no \"status\"");
            continue;
        }
        int page_number = 1;
        if (page != j.end()) {
            if (!page->is_number_integer() || page->get<long long>() < 1 || page->get<long long>() > 1'000'000) {
                out.problems.push_back(where + ": \"page\" is not a page number");
                continue;
            }
            page_number = static_cast<int>(page->get<long long>());
        }
        if (status->get<std::string>() == "ok") continue;

        std::string path = file->get<std::string>();
        std::error_code ec;
        if (!fs::exists(path, ec) && fs::path(path).is_relative() && !base_folder.empty()) {
            const fs::path beside = fs::path(base_folder) / path;
            if (fs::exists(beside, ec)) path = beside.string();
        }
        auto [known, added] = page_counts.try_emplace(path, -1);
        if (added) {
            if (!fs::exists(path, ec)) {
                out.problems.push_back(where + ": " + path + ": no such file");
                continue;
            }
            auto opened = scan::open_scan(path);
            if (auto* source = std::get_if<std::unique_ptr<scan::PageSource>>(&opened))
                known->second = (*source)->page_count();
            else
                out.problems.push_back(where + ": " + std::get<scan::LoadError>(opened).message);
        }
        if (known->second < 0) continue;  // its message is out already
        if (page_number > known->second) {
            out.problems.push_back(where + ": " + path + " has no page " + std::to_string(page_number));
            continue;
        }
        out.pages.push_back({path, page_number, known->second});
    }
    return out;
}

PageListing review_pages_from_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        PageListing out;
        out.problems.push_back(path + ": cannot be read");
        return out;
    }
    return review_pages(in, path, fs::path(path).parent_path().string());
}

}  // namespace idr
