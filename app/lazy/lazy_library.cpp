#include "app/lazy/lazy_library.h"

#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>

namespace idr::lazy {

void LazyLibrary::load() const {
    std::call_once(once_, [this] {
        handle_ = ::dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* why = ::dlerror();
            problem_ = std::string(what_) + " could not be loaded: " + (why ? why : "no reason given");
        }
    });
}

std::optional<std::string> LazyLibrary::problem() const {
    load();
    if (handle_) return std::nullopt;
    return problem_;
}

void* LazyLibrary::symbol(const char* name) const {
    load();
    void* found = handle_ ? ::dlsym(handle_, name) : nullptr;
    if (!found) {
        std::fprintf(stderr, "%s: %s\n", handle_ ? name : what_, handle_ ? "is not in the library" : problem_.c_str());
        std::abort();
    }
    return found;
}

const LazyLibrary& cairo() {
    static const LazyLibrary library(IDR_CAIRO_SONAME, "cairo, the drawing library (Debian package libcairo2),");
    return library;
}

const LazyLibrary& xlsxwriter() {
    static const LazyLibrary library(IDR_XLSXWRITER_SONAME,
                                     "libxlsxwriter, the spreadsheet library (Debian package libxlsxwriter4),");
    return library;
}

}  // namespace idr::lazy
