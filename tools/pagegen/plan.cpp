// Drawing a varied plan from a seed. The ranges are those of real scans and
// phone photos of printed exam sheets: 150-400 dpi, the block printed at a
// third to 1.3 times the form's size, turned up to 15 degrees.

#include <algorithm>
#include <cmath>

#include "tools/pagegen/page.h"
#include "tools/pagegen/random.h"

namespace idr::pagegen {

namespace {

// How big the printed block is relative to the form's own (1/100 inch per
// unit): photocopied down, printed two to a sheet, or blown up.
constexpr double kMinPrintScale = 0.33, kMaxPrintScale = 1.3;

std::array<ColumnMark, 10> random_columns(Random& rng) {
    std::array<ColumnMark, 10> cols{};
    const bool pen = rng.chance(0.35);
    for (auto& c : cols) {
        c.digit = rng.between(0, 9);
        c.mark = pen ? Mark::Pen : Mark::Pencil;
        c.level = pen ? rng.between(15, 40) : rng.between(30, 150);
    }
    // The pencil a student uses is about equally dark in every column.
    if (!pen) {
        const int centre = rng.between(40, 140);
        for (auto& c : cols) c.level = std::clamp(centre + rng.between(-12, 12), 30, 150);
    }
    if (rng.chance(0.55)) return cols;
    const int troubles = rng.between(1, 3);
    for (int i = 0; i < troubles; ++i) {
        ColumnMark& c = cols[static_cast<std::size_t>(rng.between(0, 9))];
        switch (rng.between(0, 5)) {
        case 0:
            c.mark = Mark::Faint;
            c.level = rng.between(160, 200);
            break;
        case 1:
            c.mark = Mark::Double;
            c.second_digit = (c.digit + rng.between(1, 9)) % 10;
            break;
        case 2: c.mark = Mark::Blank; break;
        case 3:
            c.mark = Mark::Erased;
            c.level = rng.between(190, 225);
            break;
        case 4: c.mark = Mark::Ticked; break;
        default: c.mark = Mark::Crossed; break;
        }
    }
    return cols;
}

// Mostly near-upright, now and then well turned.
double scan_rotation(Random& rng) {
    const double roll = rng.unit();
    const double limit = roll < 0.6 ? 2.0 : roll < 0.85 ? 6.0 : 15.0;
    return rng.between(-limit, limit);
}

FileFormat scan_format(Random& rng) {
    const double roll = rng.unit();
    if (roll < 0.4) return FileFormat::Png;
    if (roll < 0.75) return FileFormat::Jpeg;
    if (roll < 0.9) return FileFormat::Tiff;
    return FileFormat::Pdf;
}

}  // namespace

PagePlan random_plan(std::uint64_t seed, Kind kind) {
    Random rng(seed ^ 0x5EEDF00Dull);
    PagePlan p;
    p.seed = rng.next();
    p.kind = kind;
    if (rng.chance(0.25)) {
        p.paper_width_in = 8.5;  // US Letter
        p.paper_height_in = 11.0;
    }
    // Photos stay near a phone camera's 12 megapixels, margins included.
    const double max_dpi = kind == Kind::Photo ? 250 : 400;
    p.unit_px = rng.log_between(0.5, std::min(4.0, max_dpi * kMaxPrintScale / 100));
    // The dpi that, with a print scale in range, gives this unit size.
    const double lo = std::max(150.0, p.unit_px * 100 / kMaxPrintScale);
    const double hi = std::max(lo, std::min(max_dpi, p.unit_px * 100 / kMinPrintScale));
    p.dpi = std::round(rng.between(lo, hi) / 10) * 10;
    if (p.unit_px * 100 / p.dpi < kMinPrintScale) p.unit_px = p.dpi * kMinPrintScale / 100;

    p.colour = rng.chance(0.45);
    p.cream_paper = p.colour && rng.chance(0.3);
    p.corner_marks = rng.chance(0.5);
    p.handwriting = rng.chance(0.8);
    p.ten_wide_grids = rng.chance(0.4);
    p.fill_answers = rng.chance(0.85);
    p.columns = random_columns(rng);
    p.paper_level = rng.between(228, 255);

    switch (kind) {
    case Kind::Photo:
        p.rotation_deg = std::clamp(rng.normal() * 6, -15.0, 15.0);
        p.perspective = rng.between(0.01, 0.1);
        p.margin_frac = rng.between(0.06, 0.2);
        p.gradient = rng.between(0.05, 0.4);
        p.gradient_angle_deg = rng.between(0.0, 360.0);
        p.vignette = rng.between(0.05, 0.35);
        p.shadow = rng.chance(0.4) ? rng.between(0.15, 0.5) : 0;
        p.blur_sigma_px = rng.between(0.3, 1.5);
        p.noise_sigma = rng.between(1.5, 7.0);
        p.speckles_per_mpx = 0;
        p.jpeg_quality = rng.between(60, 95);
        p.format = FileFormat::Jpeg;
        break;
    case Kind::BlockOnly:
        p.rotation_deg = rng.between(-15.0, 15.0);
        p.noise_sigma = rng.chance(0.5) ? rng.between(0.5, 3.0) : 0;
        p.blur_sigma_px = rng.chance(0.3) ? rng.between(0.3, 0.8) : 0;
        p.format = FileFormat::Png;
        break;
    case Kind::Scan:
    case Kind::BackPage:
    case Kind::RingsOnly:
        p.rotation_deg = scan_rotation(rng);
        p.shift_x_px = rng.between(-0.02, 0.02) * p.paper_width_in * p.dpi;
        p.shift_y_px = rng.between(-0.02, 0.02) * p.paper_height_in * p.dpi;
        if (rng.chance(0.3)) {
            p.gradient = rng.between(0.03, 0.15);
            p.gradient_angle_deg = rng.between(0.0, 360.0);
        }
        if (rng.chance(0.15)) p.shadow = rng.between(0.1, 0.3);  // a fold or the lid edge
        p.blur_sigma_px = rng.chance(0.4) ? rng.between(0.3, 1.0) : 0;
        p.noise_sigma = rng.between(0.0, 4.0);
        p.speckles_per_mpx = rng.chance(0.3) ? rng.between(5.0, 60.0) : 0;
        p.format = scan_format(rng);
        if (p.format == FileFormat::Jpeg || (p.format != FileFormat::Png && rng.chance(0.3)))
            p.jpeg_quality = rng.between(40, 95);
        break;
    }
    return p;
}

}  // namespace idr::pagegen
