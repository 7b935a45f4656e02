// The build a plugin was made in, which the loader compares with its own
// before it calls anything else (plugin_abi.h). Part of every plugin.

#include <string>

#include "scan/plugin_abi.h"

extern "C" __attribute__((visibility("default"))) const char* idr_plugin_build() {
    static const std::string tag = idr::scan::plugin::build_tag();
    return tag.c_str();
}
