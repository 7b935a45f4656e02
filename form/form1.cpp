#include "form/form1.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "form/design.h"
#include "assets/embedded_sheet.h"
#include "picture/framed.h"
#include "rules/colour.h"
#include "rules/error.h"
#include "rules/text.h"

namespace idr {

namespace {

std::string element_name(const std::string& array, Int16 index) {
    return array + "(" + int_to_text(index) + ")";
}

// The one place that ties a ButtonId to its member; the design table gives
// the member its name and caption. Checked against the design's buttons.
struct ButtonMember {
    ButtonId id;
    Button Form1::*member;
};

constexpr std::array<ButtonMember, kButtonCount> kButtons{{
    {ButtonId::Binary, &Form1::cmdBinary},
    {ButtonId::Draw, &Form1::cmdDraw},
    {ButtonId::Check, &Form1::cmdCheck},
    {ButtonId::CheckId, &Form1::cmdCheck_ID},
    {ButtonId::Up, &Form1::Command2},
    {ButtonId::Down, &Form1::Command1},
    {ButtonId::Left, &Form1::Command4},
    {ButtonId::Right, &Form1::Command3},
}};
static_assert(keyed_in_button_order(kButtons), "one member per design button, in ButtonId order");

struct TextBoxMember {
    std::string_view name;
    TextBox Form1::*member;
};

constexpr TextBoxMember kTextBoxes[] = {
    {"txtBlack_Pixels", &Form1::txtBlack_Pixels},
    {"txtTreshold", &Form1::txtTreshold},
    {"Student_ID", &Form1::Student_ID},
};

}  // namespace

ShapeElement& ShapeArray::operator()(Int16 index) {
    const auto it = elements_.find(index);
    if (it == elements_.end()) {
        throw RuntimeError(ErrorKind::MissingElement, element_name(name, index) + " does not exist");
    }
    return it->second;
}

const ShapeElement& ShapeArray::operator()(Int16 index) const {
    return const_cast<ShapeArray&>(*this)(index);
}

void ShapeArray::Load(Int16 index) {
    if (index < 0) {
        throw RuntimeError(ErrorKind::Control,
                           "cannot load " + element_name(name, index) + ": indexes start at 0");
    }
    if (exists(index)) {
        throw RuntimeError(ErrorKind::Control,
                           "cannot load " + element_name(name, index) + ": it is already loaded");
    }
    if (elements_.empty()) {
        throw RuntimeError(ErrorKind::Control,
                           "cannot load " + element_name(name, index) + ": " + name +
                               " has no element to copy");
    }
    ShapeElement copy = elements_.begin()->second;  // the lowest index
    copy.Visible = false;
    elements_.emplace(index, copy);
}

// The sheet is compiled into the program, so a sheet that does not decode is
// a build defect, not something the operator can fix: stop with the reason.
Surface built_in_sheet() {
    PictureResult result = read_framed_picture(embedded_sheet_blob());
    if (!result) {
        std::fprintf(stderr, "id-reader: the built-in sheet picture cannot be read: %s\n",
                     result.error.message().c_str());
        std::abort();
    }
    return std::move(*result.picture);
}

Form1::Form1() : Form1(built_in_sheet()) {}

Form1::Form1(Surface picture) : caption_(window_design().caption) {
    for (const ControlDesign& design : control_designs()) {
        switch (design.kind) {
            case ControlKind::Button: {
                Button& b = button(*design.button);
                b.name = design.name;
                b.Caption = design.text;
                b.Enabled = true;
                break;
            }
            case ControlKind::TextBox: {
                TextBox* t = text_box(design.name);
                t->name = design.name;
                t->Text = design.text;
                break;
            }
            case ControlKind::PictureBox:
                picRedraw.name = design.name;
                picRedraw.surface = std::move(picture);
                break;
            case ControlKind::Shape: {
                Shape1.name = design.name;
                ShapeElement& template_cell = Shape1.elements_[0];
                template_cell.Left = static_cast<float>(design.pixels.left);
                template_cell.Top = static_cast<float>(design.pixels.top);
                template_cell.Width = static_cast<float>(design.pixels.width);
                template_cell.Height = static_cast<float>(design.pixels.height);
                template_cell.Visible = true;
                template_cell.BorderColor = kBlue;
                template_cell.FillColor = kBlack;
                template_cell.FillStyle = kStylePlain;
                break;
            }
            case ControlKind::Label:
                Label1.name = design.name;
                Label1.Caption = design.text;
                break;
        }
    }
    decimal_separator = system_decimal_separator();
}

void Form1::set_Caption(std::string caption) {
    caption_ = std::move(caption);
    if (on_caption_changed) on_caption_changed(caption_);
}

Button& Form1::button(ButtonId id) { return this->*kButtons[static_cast<std::size_t>(id)].member; }

const Button& Form1::button(ButtonId id) const {
    return this->*kButtons[static_cast<std::size_t>(id)].member;
}

Button* Form1::button(std::string_view name) {
    for (const ControlDesign& design : control_designs()) {
        if (design.name == name && design.button) return &button(*design.button);
    }
    return nullptr;
}

TextBox* Form1::text_box(std::string_view name) {
    for (const TextBoxMember& t : kTextBoxes) {
        if (t.name == name) return &(this->*t.member);
    }
    return nullptr;
}

const Button* Form1::button(std::string_view name) const {
    return const_cast<Form1&>(*this).button(name);
}

const TextBox* Form1::text_box(std::string_view name) const {
    return const_cast<Form1&>(*this).text_box(name);
}

}  // namespace idr
