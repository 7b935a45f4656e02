#pragma once
// The sheet picture compiled into the program: assets/sheet.bmp in its
// picture frame (see picture/framed.h). Generated at build time.

#include <cstdint>
#include <span>

namespace idr {

std::span<const std::uint8_t> embedded_sheet_blob();

}  // namespace idr
