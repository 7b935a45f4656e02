#pragma once
// Running the clicks on each sheet and printing what the window would show.

#include <iosfwd>
#include <string>
#include <variant>

#include "app/cli/options.h"
#include "picture/surface.h"

namespace idr::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRuntimeError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3;

// The picture in a sheet file, or why there is none ("is a directory",
// "bits per pixel is 8, only 24 is supported", ...).
std::variant<Surface, std::string> load_sheet_file(const std::string& path);

// Runs every sheet of `options` on a fresh window model each and writes the
// results to `out`, problems to `err`. Returns the exit status: 0, 1 when a
// run-time error stopped a sheet's clicks, 3 when a file could not be read or
// written (3 wins over 1; later sheets run either way).
int run_sheets(const Options& options, std::ostream& out, std::ostream& err);

// RFC 4180 field: quoted when it holds a comma, a quote, CR or LF, with the
// quotes doubled.
std::string csv_field(const std::string& text);

}  // namespace idr::cli
