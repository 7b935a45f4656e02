#pragma once
// Where everything sits on the printed identification block: the block's
// one description (form/block_layout.h), plus what only the built-in sheet
// has, the ID written on it.

#include <array>

#include "form/block_layout.h"

namespace idr::sheetgen {

using namespace idr::block;

// The ID written on the sheet, one digit per column.
inline constexpr std::array<int, kColumns> kStudentId = {5, 0, 9, 3, 7, 1, 9, 2, 4, 6};

}  // namespace idr::sheetgen
