#pragma once
// The window's stored design: every design value of Form1 and its fourteen
// controls, held once, as data. The model builds its start-up state from it
// and the view lays out its widgets from it.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace idr {

inline constexpr int kTwipsPerPixel = 15;

// The eight buttons that run a handler. Each value is given to exactly one
// button row of the design table below; everything else about a button (its
// control, handler, command-line name) is looked up by this id in tables
// that the compiler checks against the design (see kButtonCount).
enum class ButtonId { Binary, Draw, Check, CheckId, Up, Down, Left, Right };

enum class ControlKind { Button, TextBox, PictureBox, Shape, Label };

struct Rect {
    int left, top, width, height;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct ControlDesign {
    std::string_view name;       // "cmdDraw", "Shape1" (element 0), ...
    ControlKind kind;
    std::string_view container;  // "Form1" or "picRedraw"
    std::string_view text;       // caption or text, exact (trailing blanks kept)
    Rect twips;
    Rect pixels;                 // twips / 15
    std::optional<int> tab_index;  // none for the shape
    std::optional<ButtonId> button;  // buttons only: which one
};

struct WindowDesign {
    std::string_view name;       // "Form1"
    std::string_view caption;    // "Form1"
    Rect client_twips;           // position of the client area on screen and its size
    Rect client_pixels;          // (21, 122) 420 x 384
};

namespace design_detail {

// The design is kept in twips, as the window was laid out; pixels follow.
constexpr Rect to_pixels(Rect t) {
    return {t.left / kTwipsPerPixel, t.top / kTwipsPerPixel, t.width / kTwipsPerPixel,
            t.height / kTwipsPerPixel};
}

constexpr ControlDesign control(std::string_view name, ControlKind kind, std::string_view container,
                                std::string_view text, Rect twips, std::optional<int> tab_index) {
    return {name, kind, container, text, twips, to_pixels(twips), tab_index, std::nullopt};
}

constexpr ControlDesign button(ButtonId id, std::string_view name, std::string_view text, Rect twips,
                               int tab_index) {
    return {name, ControlKind::Button, "Form1", text, twips, to_pixels(twips), tab_index, id};
}

using K = ControlKind;
using B = ButtonId;

// In creation order. The button captions keep their trailing blanks: the
// captions are drawn centred as stored, which pushes the words to the left.
inline constexpr std::array<ControlDesign, 14> kControls{{
    button(B::Draw, "cmdDraw", "2. Draw grid                   ", {4320, 1320, 1935, 375}, 12),
    button(B::Left, "Command4", "Left", {4320, 3240, 615, 375}, 11),
    button(B::Up, "Command2", "Up", {4920, 2760, 615, 375}, 10),
    button(B::Down, "Command1", "Down", {4920, 3720, 615, 375}, 9),
    button(B::Right, "Command3", "Right", {5520, 3240, 615, 375}, 8),
    button(B::CheckId, "cmdCheck_ID", "4. Check ID                    ", {4320, 2280, 1935, 375}, 7),
    button(B::Check, "cmdCheck", "3. Check  object", {4320, 1800, 1335, 375}, 6),
    control("txtBlack_Pixels", K::TextBox, "Form1", "8", {5760, 1800, 495, 375}, 5),
    button(B::Binary, "cmdBinary", "1. Binary           ", {4320, 840, 1335, 375}, 4),
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

constexpr std::size_t count_buttons() {
    std::size_t n = 0;
    for (const ControlDesign& c : kControls) n += c.button.has_value() ? 1 : 0;
    return n;
}

// Every button row has an id, only button rows have one, and the ids are
// 0 .. count-1, each given once.
constexpr bool button_ids_are_complete() {
    std::array<int, kControls.size()> seen{};
    for (const ControlDesign& c : kControls) {
        if (c.button.has_value() != (c.kind == ControlKind::Button)) return false;
        if (!c.button) continue;
        const auto i = static_cast<std::size_t>(*c.button);
        if (i >= count_buttons() || seen[i]++ != 0) return false;
    }
    return true;
}
static_assert(button_ids_are_complete(), "each button row needs its own ButtonId, and each ButtonId a row");

}  // namespace design_detail

// How many buttons the design has; tables keyed by ButtonId have this size.
inline constexpr std::size_t kButtonCount = design_detail::count_buttons();

// Every ButtonId, in enum order.
inline constexpr std::array<ButtonId, kButtonCount> kAllButtons = [] {
    std::array<ButtonId, kButtonCount> all{};
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<ButtonId>(i);
    return all;
}();

// A table keyed by ButtonId is complete when entry i is for the i-th id.
// Use as static_assert(keyed_in_button_order(table)) next to the table, so
// adding a button to the design makes every such table fail to compile
// until it has a row for the new button.
template <typename Row, std::size_t N>
constexpr bool keyed_in_button_order(const std::array<Row, N>& rows) {
    if (N != kButtonCount) return false;
    for (std::size_t i = 0; i < N; ++i) {
        if (rows[i].id != static_cast<ButtonId>(i)) return false;
    }
    return true;
}

const WindowDesign& window_design();

// The fourteen controls in the order the design creates them.
constexpr std::span<const ControlDesign> control_designs() { return design_detail::kControls; }

// The design of the named control; asserts that it exists.
const ControlDesign& control_design(std::string_view name);

// The design row of a button.
constexpr const ControlDesign& button_design(ButtonId id) {
    for (const ControlDesign& c : design_detail::kControls) {
        if (c.button == id) return c;
    }
    return design_detail::kControls[0];  // unreachable: button_ids_are_complete()
}

}  // namespace idr
