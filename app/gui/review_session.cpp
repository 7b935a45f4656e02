#include "app/gui/review_session.h"

#include <filesystem>

namespace idr {

int ReviewSession::add(const std::vector<PageRef>& pages) {
    const int first = size();
    pages_.insert(pages_.end(), pages.begin(), pages.end());
    return first;
}

const LoadedPage* ReviewSession::result(int index) const {
    const auto it = states_.find(index);
    return it == states_.end() || !it->second.result ? nullptr : &*it->second.result;
}

void ReviewSession::set_result(int index, LoadedPage page) {
    page.fresh.reset();  // a model per page would grow with the list
    states_[index].result = std::move(page);
}

const std::string* ReviewSession::correction(int index) const {
    const auto it = states_.find(index);
    return it == states_.end() || !it->second.correction ? nullptr : &*it->second.correction;
}

void ReviewSession::set_correction(int index, const std::string& id) {
    std::optional<std::string>& kept = states_[index].correction;
    const std::optional<std::string> next = id.empty() ? std::nullopt : std::optional<std::string>(id);
    if (kept == next) return;
    kept = next;
    unsaved_ = true;
}

std::string ReviewSession::csv_path() const {
    if (pages_.empty()) return {};
    const std::filesystem::path folder = std::filesystem::path(pages_.front().file).parent_path();
    return (folder / review::kReviewFileName).string();
}

std::vector<review::ReviewRow> ReviewSession::rows() const {
    std::vector<review::ReviewRow> out;
    if (pages_.empty()) return out;
    const std::string folder = std::filesystem::path(csv_path()).parent_path().string();
    for (const auto& [index, state] : states_) {
        if (!state.result && !state.correction) continue;
        const PageRef& ref = page(index);
        review::ReviewRow row;
        row.file = review::file_for_csv(ref.file, folder.empty() ? "." : folder);
        row.page = ref.page;
        if (state.result) row.reading = state.result->reading;
        if (state.correction) {
            row.status = "corrected";
            row.id = *state.correction;
        } else if (state.result && state.result->status == "ok") {
            row.status = "ok";
            row.id = state.result->reading;
        } else {
            row.status = "review";
        }
        out.push_back(std::move(row));
    }
    return out;
}

}  // namespace idr
