#pragma once
// The scans the window steps through: every page of every file opened, in
// the order given (a folder: its scan files sorted by name). Opening a file
// reads only its headers, so a long list opens quickly; a page is decoded
// and read when the window steps to it. No Qt here.

#include <optional>
#include <string>
#include <vector>

#include "form/form1.h"

namespace idr {

struct PageRef {
    std::string file;
    int page = 1;          // 1-based, within the file
    int pages_in_file = 1;

    friend bool operator==(const PageRef&, const PageRef&) = default;
};

struct PageListing {
    std::vector<PageRef> pages;
    // One message per path that gave no pages, naming it and why.
    std::vector<std::string> problems;
};

// Every page of the files and folders named, in order. A folder gives its
// scan files (by extension), sorted by name, not its subfolders.
PageListing list_pages(const std::vector<std::string>& paths);

// One page, decoded, located and decided, with the window model it starts
// from.
struct LoadedPage {
    // "ok", "review", "not-found", "error" (the page's reading as the
    // headless reader would report it), or "unreadable".
    std::string status;
    std::string why;      // in plain words, for all but "ok"
    std::string reading;  // one character per column, '_' '*' '?' for the undecided
    // Per column (0..9): empty for a clear digit, else the reason in plain
    // words and the character shown for it.
    struct Flag {
        int column = 0;  // 0-based
        char mark = '?';
        std::string reason;
    };
    std::vector<Flag> flags;
    // How the block lay, when not upright ("the page is mirrored"), shown
    // beside the reasons; a mirrored page is always one to review.
    std::string lay;
    bool located = false;       // the block was found and decided
    // The window as it starts on this page: the rectified block in the
    // picture, both boxes holding the page's own numbers, nothing clicked.
    // For a page without a block: the page itself, reduced into the
    // picture's frame, so the operator still sees what was scanned.
    std::optional<Form1> fresh;
};

LoadedPage load_page(const PageRef& ref);

}  // namespace idr
