// The binder behind the forwarding functions of make_stubs.sh: the first call
// of a function of a library only scans need loads the library, finds the
// function and keeps it in the function's slot.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/lazy/lazy_library.h"

namespace idr::lazy {

const LazyLibrary& opencv() {
    static const LazyLibrary library(IDR_OPENCV_SONAME,
                                     "OpenCV, the image library (Debian packages libopencv-core406 and "
                                     "libopencv-imgproc406),");
    return library;
}

const LazyLibrary& jpeg() {
    static const LazyLibrary library(IDR_JPEG_SONAME, "libjpeg, the JPEG library (Debian package libjpeg62-turbo),");
    return library;
}

const LazyLibrary& spng() {
    static const LazyLibrary library(IDR_SPNG_SONAME, "libspng, the PNG library (Debian package libspng0),");
    return library;
}

const LazyLibrary& webp() {
    static const LazyLibrary library(IDR_WEBP_SONAME, "libwebp, the WebP library (Debian package libwebp7),");
    return library;
}

namespace {

// The libraries by the names make_stubs.sh is given for them.
struct Group {
    const char* name;
    const LazyLibrary& (*library)();
};
constexpr Group kGroups[] = {{"opencv", opencv}, {"jpeg", jpeg}, {"spng", spng}, {"webp", webp}};

}  // namespace

std::optional<std::string> scan_libraries_problem() {
    for (const Group& group : kGroups)
        if (auto problem = group.library().problem()) return problem;
    return std::nullopt;
}

}  // namespace idr::lazy

#ifdef IDR_SCAN_LIBRARY_STUBS
extern "C" {
extern const char* const idr_stub_names[];
extern const char* const idr_stub_group_names[];
extern const unsigned char idr_stub_group_of[];
extern void* idr_stub_slots[];

// Called from the assembly with the slot's number; returns the function.
void* idr_stub_bind(unsigned index) {
    const char* name = idr_stub_group_names[idr_stub_group_of[index]];
    const idr::lazy::LazyLibrary* library = nullptr;
    for (const idr::lazy::Group& group : idr::lazy::kGroups)
        if (std::strcmp(group.name, name) == 0) library = &group.library();
    if (!library) {
        std::fprintf(stderr, "id-reader-cli: %s: no library is known by the name %s\n", idr_stub_names[index], name);
        std::abort();
    }
    void* found = library->symbol(idr_stub_names[index]);
    std::atomic_ref<void*>(idr_stub_slots[index]).store(found, std::memory_order_release);
    return found;
}
}
#endif
