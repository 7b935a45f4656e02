#pragma once
#include "form/form1.h"
namespace idr {
// Sampling steps, taken from the template Shape1(0): R32(Height) div 4 and
// R32(Width) div 4.
struct SampleSteps {
    Int32 vertical = 0;
    Int32 horizontal = 0;
};
SampleSteps sample_steps(const Form1& form);

// The number of pure black samples under cell `cell` at its current place,
// on the lattice given by `steps`. Throws like the handler does (missing
// element, overflow, floating point).
Int16 count_black_samples(const Form1& form, Int16 cell, SampleSteps steps);

// "3. Check  object": samples all 100 cells, marks those with more black
// samples than txtBlack_Pixels, sets Cell_Flag and reports the count in the
// caption.
void cmdCheck_Click(Form1& form);
}  // namespace idr
