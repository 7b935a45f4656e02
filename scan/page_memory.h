#pragma once

namespace idr::scan {

// Every page of a batch is decoded into buffers of several megabytes, freed
// when the page is done. The C library hands buffers that large back to the
// system at once, so the next page faults the same amount in again, zeroed
// page by page: a fifth of a batch's time went there. Called once at the
// start of a program that reads pages, this keeps freed buffers (up to
// 32 MiB each) in the process for the next page. What the process holds
// stays bounded by the pages in flight.
void keep_page_buffers();

}  // namespace idr::scan
