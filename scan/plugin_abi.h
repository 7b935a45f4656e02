#pragma once
// What the program and its format plugins (scan/plugins/) hand each other.
// A plugin is built from the same tree as the program and shares its C++
// types; the build tag below, checked when the plugin is loaded, refuses a
// plugin left over from another version.

#include <memory>
#include <string>
#include <variant>

#include "scan/image_header.h"
#include "scan/load.h"

namespace idr::scan::plugin {

struct OpenRequest {
    std::string name;   // the file's name, for messages
    std::string bytes;  // the whole file, or empty when it is to be read from `path`
    std::string path;
    LoadLimits limits;
    ImageHeader header;  // as the program read it, limits not yet checked
};

using OpenResult = std::variant<std::unique_ptr<PageSource>, LoadError>;

// Every plugin exports, with C names:
//   const char* idr_plugin_build(void);                     the build tag
//   void idr_plugin_open(OpenRequest*, OpenResult*);        opens one file
using BuildFunction = const char* (*)();
using OpenFunction = void (*)(OpenRequest*, OpenResult*);
inline constexpr const char* kBuildSymbol = "idr_plugin_build";
inline constexpr const char* kOpenSymbol = "idr_plugin_open";

// Changes whenever what is passed above changes shape.
inline constexpr int kAbiRevision = 1;

// What idr_plugin_build() answers; the program loads a plugin only when it
// answers the program's own tag. IDR_VERSION comes from the build.
inline std::string build_tag() {
    return std::string(IDR_VERSION) + "/abi" + std::to_string(kAbiRevision) + "/" +
           std::to_string(sizeof(OpenRequest)) + "/" + std::to_string(sizeof(LoadLimits));
}

}  // namespace idr::scan::plugin
