#pragma once
// Reading every page the command line names and printing what the window
// would show, with each page's status and reading.

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli/options.h"

namespace idr::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRuntimeError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3;
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report it

// How the program was started, beyond its options.
struct RunSettings {
    // stderr is a terminal: show a progress line there while pages are read.
    bool progress_line = false;
};

// The files that the inputs name: a file as given, a folder's readable scan
// files sorted by name (with `recursive`, those of its subfolders too, all
// sorted by path), "-" the names on `in`, one a line. Problems (no such
// file, an unreadable folder) go to `problems` as "path: reason".
std::vector<std::string> expand_inputs(const std::vector<std::string>& inputs, std::istream& in,
                                       std::vector<std::string>& problems, bool recursive = false);

// Reads every page of `options` on a fresh window model each, on
// options.jobs threads, and writes the results to `out` in reading order,
// problems to `err`. Returns the exit status: 0, 1 when a run-time error
// stopped a page's clicks, 3 when a file could not be read or written (3
// wins over 1; later pages run either way), 130 when stop_requested() ended
// the batch early (the pages started are finished and written).
int run_pages(const Options& options, std::istream& in, std::ostream& out, std::ostream& err,
              const RunSettings& settings = {});

}  // namespace idr::cli
