#pragma once
#include "form/form1.h"
namespace idr {
// The arrow buttons: move the template cell Shape1(0) by one pixel.
void Command1_Click(Form1& form);  // "Down":  Top + 1
void Command2_Click(Form1& form);  // "Up":    Top - 1
void Command3_Click(Form1& form);  // "Right": Left + 1
void Command4_Click(Form1& form);  // "Left":  Left - 1
}  // namespace idr
