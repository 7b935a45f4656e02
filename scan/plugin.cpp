#include "scan/plugin.h"

#include <climits>
#include <cstdlib>
#include <mutex>

#include <dlfcn.h>
#include <unistd.h>

namespace idr::scan {
namespace {

struct Known {
    const char* file;
    const char* format;   // for messages: what needs the library
    const char* library;  // the library the plugin loads, and its Debian package
};

constexpr Known kPlugins[] = {
    {"id-reader-pdf.so", "PDF", "poppler's C++ library (Debian package libpoppler-cpp0v5)"},
    {"id-reader-heif.so", "HEIC and AVIF", "libheif (Debian package libheif1)"},
    {"id-reader-tiff.so", "TIFF", "libtiff (Debian package libtiff6)"},
};

struct Slot {
    std::once_flag once;
    plugin::OpenFunction open = nullptr;
    std::string problem;
};

std::string executable_path() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

void load(const Known& known, Slot& slot) {
    const std::string path = plugin_directory() + "/" + known.file;
    if (::access(path.c_str(), R_OK) != 0) {
        slot.problem = std::string(known.format) + " files are read by the program's plugin " + path +
                       ", which is missing (reinstall id-reader)";
        return;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        slot.problem = std::string(known.format) + " files need " + known.library +
                       ", which could not be loaded: " + (why ? why : "no reason given");
        return;
    }
    // Kept loaded for the life of the process: its page sources may be
    // anywhere in the program.
    const auto build = reinterpret_cast<plugin::BuildFunction>(::dlsym(handle, plugin::kBuildSymbol));
    const auto open = reinterpret_cast<plugin::OpenFunction>(::dlsym(handle, plugin::kOpenSymbol));
    if (!build || !open) {
        slot.problem = path + " is not a plugin of this program";
        return;
    }
    if (build() != plugin::build_tag()) {
        slot.problem = path + " belongs to another build of the program (" + build() + "; this one is " +
                       plugin::build_tag() + ")";
        return;
    }
    slot.open = open;
}

}  // namespace

std::string plugin_directory() {
    if (const char* dir = std::getenv("IDR_PLUGIN_DIR"); dir && *dir) return dir;
    const std::string exe = executable_path();
    const std::string build_root = IDR_BUILD_ROOT;
    if (!build_root.empty() && exe.rfind(build_root + "/", 0) == 0) return IDR_BUILD_PLUGIN_DIR;
    return exe.substr(0, exe.find_last_of('/')) + "/" + IDR_PLUGIN_DIR_FROM_BIN;
}

std::variant<plugin::OpenFunction, std::string> plugin_for(PluginKind kind) {
    static Slot slots[std::size(kPlugins)];
    const auto index = static_cast<std::size_t>(kind);
    Slot& slot = slots[index];
    std::call_once(slot.once, [&] { load(kPlugins[index], slot); });
    if (slot.open) return slot.open;
    return slot.problem;
}

}  // namespace idr::scan
