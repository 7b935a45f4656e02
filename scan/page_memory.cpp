#include "scan/page_memory.h"

#include <malloc.h>

namespace idr::scan {

void keep_page_buffers() {
    // 32 MiB is the largest threshold glibc accepts on a 64-bit system; a
    // 300-dpi A4 page in grey is 8.7 MB, in colour 26 MB.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

}  // namespace idr::scan
