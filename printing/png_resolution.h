#pragma once
// cairo writes PNG files without a resolution; viewers and printers then
// guess (often 72 or 96 dpi) and print the form at the wrong size. This adds
// the standard physical-size chunk after the header.

#include <string>

namespace idr::printing {

// `png` with a pHYs chunk saying `dpi` both ways, inserted after IHDR. A
// `png` that does not start with a signature and an IHDR chunk, or already
// has a pHYs chunk right there, comes back unchanged.
std::string with_png_resolution(const std::string& png, double dpi);

}  // namespace idr::printing
