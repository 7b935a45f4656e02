#pragma once
// The pages the window steps through and what the operator did on each: the
// list, the current page, each visited page's reading and status, and the
// IDs the operator typed. Kept for the whole session, so stepping away from
// a page loses nothing typed; the review file is written from it. No Qt.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/page_list.h"
#include "review/review_csv.h"

namespace idr {

class ReviewSession {
public:
    // Appends pages to the list; returns the index of the first one added.
    int add(const std::vector<PageRef>& pages);

    bool empty() const { return pages_.empty(); }
    int size() const { return static_cast<int>(pages_.size()); }
    const PageRef& page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }
    // -1 before the first page is shown.
    int current() const { return current_; }
    void set_current(int index) { current_ = index; }

    // What reading the page gave (without its window model, which only the
    // current page keeps); nullptr for a page not visited yet.
    const LoadedPage* result(int index) const;
    void set_result(int index, LoadedPage page);

    // The operator's ID for a page; an empty text withdraws it.
    const std::string* correction(int index) const;
    void set_correction(int index, const std::string& id);

    // Corrections changed since the last save.
    bool unsaved() const { return unsaved_; }
    void mark_saved() { unsaved_ = false; }

    // The review file: id-reader-review.csv in the folder of the first page's
    // file. Empty without pages.
    std::string csv_path() const;
    // One row per visited page, in list order.
    std::vector<review::ReviewRow> rows() const;

private:
    struct State {
        std::optional<LoadedPage> result;
        std::optional<std::string> correction;
    };
    std::vector<PageRef> pages_;
    std::map<int, State> states_;
    int current_ = -1;
    bool unsaved_ = false;
};

}  // namespace idr
