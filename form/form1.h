#pragma once
// Form1, the window, as a toolkit-free model: every control property that a
// handler reads or writes lives here. A view draws it; handlers in reading/
// change it. No toolkit types.

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "form/design.h"
#include "picture/surface.h"
#include "rules/flag_array.h"
#include "rules/integer.h"

namespace idr {

// Members that mirror a window-designer property keep its spelling (Caption,
// Enabled, Text, Left, FillStyle, ...); the model's own bookkeeping is
// snake_case (name, surface, decimal_separator).

struct Button {
    std::string name;  // the design name, for messages
    std::string Caption;
    bool Enabled = true;
};

struct TextBox {
    std::string name;
    std::string Text;
};

struct Label {
    std::string name;
    std::string Caption;
};

struct PictureBox {
    std::string name;
    Surface surface;  // what Point reads and PSet writes

    float ScaleWidth() const { return surface.ScaleWidth(); }
    float ScaleHeight() const { return surface.ScaleHeight(); }
    Int32 Point(float x, float y) const { return surface.Point(x, y); }
    void PSet(float x, float y, Int32 colour) { surface.PSet(x, y, colour); }
};

// Fill styles of a cell marker.
inline constexpr Int16 kStylePlain = 1;   // outline in BorderColor, no fill
inline constexpr Int16 kStyleMarked = 7;  // FillColor pattern over the cell

// One cell marker, drawn over the picture; positions in picture pixels.
struct ShapeElement {
    float Left = 0, Top = 0, Width = 0, Height = 0;
    bool Visible = false;
    Int32 BorderColor = 0;
    Int32 FillColor = 0;
    Int16 FillStyle = kStylePlain;

    friend bool operator==(const ShapeElement&, const ShapeElement&) = default;
};

// The control array Shape1. Elements are created by Load and never removed.
class ShapeArray {
public:
    std::string name = "Shape1";  // for messages

    // The element with this index; throws MissingElement naming the index
    // when it does not exist.
    ShapeElement& operator()(Int16 index);
    const ShapeElement& operator()(Int16 index) const;

    // Creates element `index` as a copy of the lowest-indexed element,
    // invisible. Throws Control when it already exists (or the array is
    // empty, which the design never allows).
    void Load(Int16 index);

    bool exists(Int16 index) const { return elements_.count(index) != 0; }
    int count() const { return static_cast<int>(elements_.size()); }
    // Elements in index order, for views and tests.
    const std::map<Int16, ShapeElement>& elements() const { return elements_; }

private:
    friend class Form1;
    std::map<Int16, ShapeElement> elements_;
};

// Cell_Flag: 101 16-bit entries, indexes 0..100, all 0 at start.
using CellFlags = CheckedArray16<0, 100>;

// The picture the window starts with: the sheet compiled into the program.
Surface built_in_sheet();

class Form1 {
public:
    // Start-up state with the embedded sheet in the picture box.
    Form1();
    // Start-up state with another picture (the surface takes its size).
    explicit Form1(Surface picture);

    // The window caption, the status line. set_Caption notifies the
    // observer at once, before returning, so a view can show it while a
    // handler is still running.
    const std::string& Caption() const { return caption_; }
    void set_Caption(std::string caption);
    // Called with the new caption after every set_Caption.
    std::function<void(const std::string&)> on_caption_changed;

    // Controls, named as in the design.
    Button cmdDraw, Command4, Command2, Command1, Command3, cmdCheck_ID, cmdCheck, cmdBinary;
    TextBox txtBlack_Pixels, txtTreshold, Student_ID;
    PictureBox picRedraw;
    ShapeArray Shape1;
    Label Label1;

    CellFlags Cell_Flag;

    // The user's decimal separator, read from the system locale at start-up;
    // text-to-number conversions use it. Tests may set it.
    std::string decimal_separator;

    // The button's control (cmdBinary for ButtonId::Binary, ...).
    Button& button(ButtonId id);
    const Button& button(ButtonId id) const;

    // Look-ups by design name (nullptr when there is no such control, or
    // when the named control is of another kind).
    Button* button(std::string_view name);
    TextBox* text_box(std::string_view name);
    const Button* button(std::string_view name) const;
    const TextBox* text_box(std::string_view name) const;

private:
    std::string caption_;
};

}  // namespace idr
