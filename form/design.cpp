#include "form/design.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>

namespace idr {

namespace {

constexpr WindowDesign kWindow{"Form1", "Form1", {315, 1830, 6300, 5760},
                               design_detail::to_pixels({315, 1830, 6300, 5760})};

}  // namespace

const WindowDesign& window_design() { return kWindow; }

const ControlDesign& control_design(std::string_view name) {
    for (const ControlDesign& c : control_designs()) {
        if (c.name == name) return c;
    }
    assert(!"control_design: no control of that name");
    std::fprintf(stderr, "id-reader: the design has no control named \"%.*s\"\n",
                 static_cast<int>(name.size()), name.data());
    std::abort();
}

}  // namespace idr
