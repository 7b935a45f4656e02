#include "form/design.h"

#include <array>
#include <cassert>
#include <cstdio>
#include <cstdlib>

namespace idr {

namespace {

// The design is kept in twips, as the window was laid out; pixels follow.
constexpr Rect to_pixels(Rect t) {
    return {t.left / kTwipsPerPixel, t.top / kTwipsPerPixel, t.width / kTwipsPerPixel,
            t.height / kTwipsPerPixel};
}

constexpr ControlDesign control(std::string_view name, ControlKind kind, std::string_view container,
                                std::string_view text, Rect twips, std::optional<int> tab_index) {
    return {name, kind, container, text, twips, to_pixels(twips), tab_index};
}

constexpr WindowDesign kWindow{"Form1", "Form1", {315, 1830, 6300, 5760},
                               to_pixels({315, 1830, 6300, 5760})};

using K = ControlKind;

// In creation order. The button captions keep their trailing blanks: the
// captions are drawn centred as stored, which pushes the words to the left.
constexpr std::array<ControlDesign, 14> kControls{{
    control("cmdDraw", K::Button, "Form1", "2. Draw grid                   ", {4320, 1320, 1935, 375}, 12),
    control("Command4", K::Button, "Form1", "Left", {4320, 3240, 615, 375}, 11),
    control("Command2", K::Button, "Form1", "Up", {4920, 2760, 615, 375}, 10),
    control("Command1", K::Button, "Form1", "Down", {4920, 3720, 615, 375}, 9),
    control("Command3", K::Button, "Form1", "Right", {5520, 3240, 615, 375}, 8),
    control("cmdCheck_ID", K::Button, "Form1", "4. Check ID                    ", {4320, 2280, 1935, 375}, 7),
    control("cmdCheck", K::Button, "Form1", "3. Check  object", {4320, 1800, 1335, 375}, 6),
    control("txtBlack_Pixels", K::TextBox, "Form1", "8", {5760, 1800, 495, 375}, 5),
    control("cmdBinary", K::Button, "Form1", "1. Binary           ", {4320, 840, 1335, 375}, 4),
    control("txtTreshold", K::TextBox, "Form1", "35", {5760, 840, 495, 375}, 3),
    control("Student_ID", K::TextBox, "Form1", "", {4320, 360, 1935, 375}, 2),
    // 266 x 366 pixels with its 2-pixel sunken border: a 262 x 362 drawing area.
    control("picRedraw", K::PictureBox, "Form1", "", {120, 120, 3990, 5490}, 0),
    // Element 0 of Shape1, the template cell over the first bubble; its
    // position is in the picture box's drawing area.
    control("Shape1", K::Shape, "picRedraw", "", {120, 1635, 300, 300}, std::nullopt),
    // "Identification number read", in Thai (25 characters).
    control("Label1", K::Label, "Form1", "หมายเลขประจำตัวที่อ่านได้", {4320, 120, 2055, 255}, 1),
}};

}  // namespace

const WindowDesign& window_design() { return kWindow; }

std::span<const ControlDesign> control_designs() { return kControls; }

const ControlDesign& control_design(std::string_view name) {
    for (const ControlDesign& c : kControls) {
        if (c.name == name) return c;
    }
    assert(!"control_design: no control of that name");
    std::fprintf(stderr, "id-reader: the design has no control named \"%.*s\"\n",
                 static_cast<int>(name.size()), name.data());
    std::abort();
}

}  // namespace idr
