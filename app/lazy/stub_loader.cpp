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

std::optional<std::string> scan_libraries_problem() {
    for (const LazyLibrary* library : {&opencv(), &jpeg(), &spng(), &webp()})
        if (auto problem = library->problem()) return problem;
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
    const char* group = idr_stub_group_names[idr_stub_group_of[index]];
    using idr::lazy::LazyLibrary;
    const LazyLibrary* library = std::strcmp(group, "opencv") == 0 ? &idr::lazy::opencv()
                                 : std::strcmp(group, "jpeg") == 0 ? &idr::lazy::jpeg()
                                 : std::strcmp(group, "spng") == 0 ? &idr::lazy::spng()
                                 : std::strcmp(group, "webp") == 0 ? &idr::lazy::webp()
                                                                   : nullptr;
    if (!library) {
        std::fprintf(stderr, "id-reader-cli: %s: no library is known by the name %s\n", idr_stub_names[index], group);
        std::abort();
    }
    void* found = library->symbol(idr_stub_names[index]);
    std::atomic_ref<void*>(idr_stub_slots[index]).store(found, std::memory_order_release);
    return found;
}
}
#endif
