#include "form/form1.h"

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

// The sheet is compiled into the program, so a sheet that does not decode is
// a build defect, not something the operator can fix: stop with the reason.
Surface embedded_sheet() {
    PictureResult result = read_framed_picture(embedded_sheet_blob());
    if (!result) {
        std::fprintf(stderr, "id-reader: the built-in sheet picture cannot be read: %s\n",
                     result.error.message().c_str());
        std::abort();
    }
    return std::move(*result.picture);
}

struct ButtonMember {
    std::string_view name;
    Button Form1::*member;
};

struct TextBoxMember {
    std::string_view name;
    TextBox Form1::*member;
};

constexpr ButtonMember kButtons[] = {
    {"cmdDraw", &Form1::cmdDraw},         {"Command4", &Form1::Command4},
    {"Command2", &Form1::Command2},       {"Command1", &Form1::Command1},
    {"Command3", &Form1::Command3},       {"cmdCheck_ID", &Form1::cmdCheck_ID},
    {"cmdCheck", &Form1::cmdCheck},       {"cmdBinary", &Form1::cmdBinary},
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

Form1::Form1() : Form1(embedded_sheet()) {}

Form1::Form1(Surface picture) : caption_(window_design().caption) {
    for (const ControlDesign& design : control_designs()) {
        switch (design.kind) {
            case ControlKind::Button: {
                Button* b = button(design.name);
                b->name = design.name;
                b->caption = design.text;
                b->enabled = true;
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
                template_cell.style = kStylePlain;
                break;
            }
            case ControlKind::Label:
                Label1.name = design.name;
                Label1.caption = design.text;
                break;
        }
    }
    decimal_separator = system_decimal_separator();
}

void Form1::set_Caption(std::string caption) {
    caption_ = std::move(caption);
    if (on_caption_changed) on_caption_changed(caption_);
}

Button* Form1::button(std::string_view name) {
    for (const ButtonMember& b : kButtons) {
        if (b.name == name) return &(this->*b.member);
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
