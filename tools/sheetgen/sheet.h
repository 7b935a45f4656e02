#pragma once
// The sheet as layers per pixel: paper (white or the pink tint), the maroon
// printing with its coverage, the handwriting with its coverage, and the
// filled discs. The colour of a pixel is composed from its layers, so the
// calibration can change one layer (say the printing's coverage under a
// sample point) and the pixel stays a plausible blend.

#include <array>
#include <vector>

#include "picture/surface.h"
#include "tools/sheetgen/layout.h"

namespace idr::sheetgen {

struct Rgb {
    int r = 0, g = 0, b = 0;
    int sum() const { return r + g + b; }
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The brightness the binarization compares with its threshold:
// round-half-even of (r + g + b) / 3. A third is never a half, so this is
// the plain nearest integer.
inline int brightness(Rgb c) { return (c.sum() + 1) / 3; }

struct PixelLayers {
    Rgb paper;             // white paper or tint
    bool tinted = false;
    double print = 0;      // printing coverage 0..1
    Rgb ink;               // the printing's colour at this pixel when fully covered
    double pen = 0;        // handwriting coverage 0..1
    Rgb pen_ink;
    double pen_centre = 1e9;  // distance from the pixel centre to the pen's centre line
    bool disc = false;        // a pure black filled-in mark
    bool rule_black = false;  // a saturated stretch of a printed rule
};

class Sheet {
public:
    Sheet();

    PixelLayers& at(int x, int y) { return layers_[static_cast<std::size_t>(y) * kWidth + x]; }
    const PixelLayers& at(int x, int y) const {
        return layers_[static_cast<std::size_t>(y) * kWidth + x];
    }
    Rgb colour(int x, int y) const { return compose(at(x, y)); }

    static Rgb compose(const PixelLayers& p);

    Surface to_surface() const;

private:
    std::vector<PixelLayers> layers_;
};

// The colour value 0x00BBGGRR of an Rgb.
inline Int32 colour_value(Rgb c) { return c.r + 256 * c.g + 65536 * c.b; }

// Drawing, in this order: paper, tint, printing, handwriting. Discs and the
// saturated parts of the rules come with the calibration.
void draw_paper(Sheet& sheet);
void draw_printing(Sheet& sheet);
void draw_handwriting(Sheet& sheet);

// The darkest printing colour on average.
inline constexpr Rgb kMaroon = {55, 22, 29};
inline constexpr Rgb kTint = {248, 223, 236};

}  // namespace idr::sheetgen
