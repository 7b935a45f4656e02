#pragma once
// The window's stored design: every design value of Form1 and its fourteen
// controls, held once, as data. The model builds its start-up state from it
// and the view lays out its widgets from it.

#include <optional>
#include <span>
#include <string_view>

namespace idr {

inline constexpr int kTwipsPerPixel = 15;

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
};

struct WindowDesign {
    std::string_view name;       // "Form1"
    std::string_view caption;    // "Form1"
    Rect client_twips;           // position of the client area on screen and its size
    Rect client_pixels;          // (21, 122) 420 x 384
};

const WindowDesign& window_design();

// The fourteen controls in the order the design creates them.
std::span<const ControlDesign> control_designs();

// The design of the named control; asserts that it exists.
const ControlDesign& control_design(std::string_view name);

}  // namespace idr
