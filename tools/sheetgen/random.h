#pragma once
// The tools' one generator (tools/random.h), under the sheet generator's names.

#include "tools/random.h"

namespace idr::sheetgen {
using tools::pixel_hash;
using tools::Random;
}  // namespace idr::sheetgen
