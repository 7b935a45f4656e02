#pragma once
// The tools' one generator (tools/random.h), under the page maker's names.

#include "tools/random.h"

namespace idr::pagegen {
using tools::Random;
}  // namespace idr::pagegen
