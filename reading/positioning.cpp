#include "reading/positioning.h"

#include "rules/floats.h"

namespace idr {

namespace {

// The template is looked up once as the target and once more to read the
// old value; the sum is taken in double, checked, and stored as single.
// Positions are never bounded: the template may leave the picture.
void move_template_top(Form1& form, double delta) {
    ShapeElement& target = form.Shape1(0);
    const float top = form.Shape1(0).Top;
    target.Top = store_single(float_checked(static_cast<double>(top) + delta, "the template's new Top"));
}

void move_template_left(Form1& form, double delta) {
    ShapeElement& target = form.Shape1(0);
    const float left = form.Shape1(0).Left;
    target.Left = store_single(float_checked(static_cast<double>(left) + delta, "the template's new Left"));
}

constexpr double kOneUnit = 1.0f;

}  // namespace

void Command1_Click(Form1& form) { move_template_top(form, +kOneUnit); }
void Command2_Click(Form1& form) { move_template_top(form, -kOneUnit); }
void Command3_Click(Form1& form) { move_template_left(form, +kOneUnit); }
void Command4_Click(Form1& form) { move_template_left(form, -kOneUnit); }

}  // namespace idr
