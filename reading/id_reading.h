#pragma once
#include "form/form1.h"
namespace idr {
// "4. Check ID": appends the row digit of every marked cell, in cell order,
// to Student_ID.
void cmdCheck_ID_Click(Form1& form);
}  // namespace idr
