// The binder behind the forwarding functions of make_opencv_stubs.sh: the
// first call of an OpenCV function loads OpenCV (imgproc, which brings
// core), finds the function and keeps it in the function's slot.

#include <atomic>

#include "app/lazy/lazy_library.h"

#ifdef IDR_OPENCV_STUBS
extern "C" {
extern const char* const idr_opencv_names[];
extern void* idr_opencv_slots[];
extern const unsigned idr_opencv_count;

// Called from the assembly with the slot's number; returns the function.
void* idr_opencv_bind(unsigned index) {
    void* found = idr::lazy::opencv().symbol(idr_opencv_names[index]);
    std::atomic_ref<void*>(idr_opencv_slots[index]).store(found, std::memory_order_release);
    return found;
}
}
#endif

namespace idr::lazy {

const LazyLibrary& opencv() {
    static const LazyLibrary library(IDR_OPENCV_SONAME,
                                     "OpenCV, the image library (Debian packages libopencv-core406 and "
                                     "libopencv-imgproc406),");
    return library;
}

}  // namespace idr::lazy
