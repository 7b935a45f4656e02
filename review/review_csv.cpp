#include "review/review_csv.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>
#include <utility>

#include "review/cell_text.h"

namespace idr::review {

namespace fs = std::filesystem;

std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::size_t i = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, any = false;
    auto end_record = [&] {
        record.push_back(std::move(field));
        field.clear();
        records.push_back(std::move(record));
        record.clear();
        any = false;
    };
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (c == '"') quoted = false;
            else field += c;
            continue;
        }
        if (c == '"') quoted = true, any = true;
        else if (c == ',') record.push_back(std::move(field)), field.clear(), any = true;
        else if (c == '\n') end_record();
        else if (c != '\r') field += c, any = true;
    }
    if (any || !record.empty()) end_record();
    return records;
}

namespace {

std::string line_of(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += ',';
        line += csv_field(cells[i]);
    }
    return line + "\r\n";
}

std::vector<std::string> cells_of(const ReviewRow& row) {
    return {spreadsheet_safe(row.file), std::to_string(row.page), spreadsheet_safe(row.reading), row.status,
            spreadsheet_safe(row.id)};
}

}  // namespace

std::optional<std::string> updated_review_csv(const std::string& existing, const std::vector<ReviewRow>& rows) {
    std::vector<std::vector<std::string>> records = parse_csv(existing);
    const std::vector<std::string> header = parse_csv(kReviewHeader).front();
    if (!records.empty()) {
        if (records.front() != header) return std::nullopt;
        records.erase(records.begin());
    }
    // Rows are matched by their file and page cells as written, so a file
    // name that got an apostrophe matches itself.
    using Key = std::pair<std::string, std::string>;
    std::map<Key, std::size_t> ours;
    std::vector<std::vector<std::string>> fresh;
    for (const ReviewRow& row : rows) {
        std::vector<std::string> cells = cells_of(row);
        const Key key{cells[0], cells[1]};
        const auto it = ours.find(key);
        if (it != ours.end()) fresh[it->second] = std::move(cells);  // the later one wins
        else ours.emplace(key, fresh.size()), fresh.push_back(std::move(cells));
    }
    std::vector<bool> placed(fresh.size(), false);
    std::string out = line_of(header);
    for (const std::vector<std::string>& record : records) {
        if (record.size() == 1 && record.front().empty()) continue;  // a blank line
        const auto it = record.size() >= 2 ? ours.find({record[0], record[1]}) : ours.end();
        if (it == ours.end()) {
            out += line_of(record);
        } else if (!placed[it->second]) {
            out += line_of(fresh[it->second]);
            placed[it->second] = true;
        }
    }
    for (std::size_t i = 0; i < fresh.size(); ++i)
        if (!placed[i]) out += line_of(fresh[i]);
    return out;
}

std::string file_for_csv(const std::string& file, const std::string& folder) {
    std::error_code ec;
    const fs::path abs_file = fs::weakly_canonical(fs::absolute(file, ec), ec);
    const fs::path abs_folder = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    const fs::path relative = abs_file.lexically_relative(abs_folder);
    if (!relative.empty() && *relative.begin() != "..") return relative.generic_string();
    return abs_file.generic_string();
}

std::optional<std::string> write_review_csv(const std::string& path, const std::vector<ReviewRow>& rows) {
    std::string existing;
    std::error_code ec;
    if (fs::exists(path, ec)) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return path + ": cannot be read (" + std::strerror(errno) + ")";
        existing.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) return path + ": cannot be read";
    }
    const std::optional<std::string> text = updated_review_csv(existing, rows);
    if (!text) {
        return path + ": is not a review file (its first line is not \"" + kReviewHeader +
               "\"); it was left as it is";
    }
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return path + ": cannot be written (" + std::strerror(errno) + ")";
        out << *text;
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary, ec);
            return path + ": cannot be written (the disk may be full)";
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove(temporary, ec);
        return path + ": cannot be written (" + why + ")";
    }
    return std::nullopt;
}

}  // namespace idr::review
