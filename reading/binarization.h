#pragma once
#include "form/form1.h"
namespace idr {
// "1. Binary": every pixel to black or white by the threshold in txtTreshold,
// progress in the caption after each row; then disables cmdBinary and the
// four arrow buttons.
void cmdBinary_Click(Form1& form);
}  // namespace idr
