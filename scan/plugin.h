#pragma once
// The formats whose libraries cost start-up time for every run but are needed
// by some inputs only (PDF through poppler, HEIC and AVIF through libheif,
// TIFF through libtiff and its five compression libraries) live in plugins
// of the program's own, loaded when the first such file arrives. A missing
// plugin or library is a reason for that file, not a failure to start.

#include <string>
#include <variant>

#include "scan/plugin_abi.h"

namespace idr::scan {

enum class PluginKind { Pdf, Heif, Tiff };

// The plugin's open function, loading the plugin on the first call (from
// any thread); or why it cannot be loaded, naming the library that is
// missing and the Debian package that holds it.
std::variant<plugin::OpenFunction, std::string> plugin_for(PluginKind kind);

// Where plugins are looked for: $IDR_PLUGIN_DIR when set; the build's own
// folder for a program run from its build tree; else the installed folder
// beside the program (../lib/id-reader from its bin folder).
std::string plugin_directory();

}  // namespace idr::scan
