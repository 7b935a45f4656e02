#pragma once
#include "form/form1.h"
namespace idr {
// "2. Draw grid": shows the template and creates cells 1..99 column by
// column from it, 5 pixels apart; then disables cmdDraw.
void cmdDraw_Click(Form1& form);
}  // namespace idr
