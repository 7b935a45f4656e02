#include "app/gui/layout_report.h"

#include <ostream>
#include <string_view>

#include "app/gui/picture_view.h"
#include "form/block_layout.h"
#include "form/design.h"

namespace idr {

namespace {

void line(std::ostream& out, std::string_view name, const Rect& r) {
    out << name << ' ' << r.left << ' ' << r.top << ' ' << r.width << ' ' << r.height << '\n';
}

}  // namespace

void print_layout(std::ostream& out) {
    const WindowDesign& window = window_design();
    line(out, window.name, window.client_pixels);
    const Rect picture = control_design("picRedraw").pixels;
    const Rect inside{picture.left + PictureView::kBorder, picture.top + PictureView::kBorder,
                      picture.width - 2 * PictureView::kBorder, picture.height - 2 * PictureView::kBorder};
    for (const ControlDesign& c : control_designs()) {
        if (c.container == window.name) {
            line(out, c.name, c.pixels);
            if (c.name == "picRedraw") line(out, "picRedraw.inside", inside);
        } else {
            // Inside the picture: offset by its drawing area.
            line(out, c.name,
                 {inside.left + c.pixels.left, inside.top + c.pixels.top, c.pixels.width, c.pixels.height});
        }
    }
    // Not a rectangle: where "2. Draw grid" puts the cells relative to Shape1.
    out << "Shape1.grid " << block::kPitch << ' ' << block::kPitch << ' ' << block::kColumns << ' '
        << block::kRows << '\n';
}

}  // namespace idr
