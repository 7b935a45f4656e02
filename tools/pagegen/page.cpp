#include "tools/pagegen/page.h"

#include <cmath>
#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "scan/encode.h"
#include "scan/jpeg_decoder.h"
#include "tools/pagegen/distortion.h"
#include "tools/pagegen/page_drawing.h"

namespace idr::pagegen {

namespace {

std::string fmt(const char* f, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

std::string column_detail(const ColumnMark& m) {
    switch (m.mark) {
    case Mark::Pencil: return "pencil " + std::to_string(m.level);
    case Mark::Pen: return "pen " + std::to_string(m.level);
    case Mark::Faint: return "faint pencil " + std::to_string(m.level);
    case Mark::Double:
        return "multiple " + std::to_string(m.digit) + "+" + std::to_string(m.second_digit) + " (" +
               std::to_string(m.level) + ")";
    case Mark::Blank: return "blank";
    case Mark::Erased: return "erased " + std::to_string(m.digit) + " (" + std::to_string(m.level) + ")";
    case Mark::Ticked: return "tick in " + std::to_string(m.digit);
    case Mark::Crossed: return "cross in " + std::to_string(m.digit);
    }
    return "?";
}

std::string variant_text(const PagePlan& p) {
    std::string s = std::string(kind_name(p.kind)) + " " + format_name(p.format);
    if (p.jpeg_quality > 0) s += " q" + std::to_string(p.jpeg_quality);
    if (p.kind != Kind::BlockOnly) s += "; " + fmt("%.0fdpi", p.dpi);
    s += " unit " + fmt("%.2fpx", p.unit_px);
    if (p.rotation_deg != 0) s += " rot " + fmt("%+.1f", p.rotation_deg);
    if (p.perspective > 0) s += " persp " + fmt("%.3f", p.perspective);
    if (p.gradient > 0) s += " gradient " + fmt("%.2f", p.gradient);
    if (p.vignette > 0) s += " vignette " + fmt("%.2f", p.vignette);
    if (p.shadow > 0) s += " shadow " + fmt("%.2f", p.shadow);
    if (p.blur_sigma_px > 0.05) s += " blur " + fmt("%.2f", p.blur_sigma_px);
    if (p.noise_sigma > 0) s += " noise " + fmt("%.1f", p.noise_sigma);
    if (p.speckles_per_mpx > 0) s += " specks " + fmt("%.0f", p.speckles_per_mpx);
    s += p.colour ? "; colour" : "; grey";
    if (p.cream_paper) s += " cream";
    if (p.ten_wide_grids) s += "; 10-wide grids";
    return s;
}

}  // namespace

const char* kind_name(Kind k) {
    switch (k) {
    case Kind::Scan: return "scan";
    case Kind::Photo: return "photo";
    case Kind::BlockOnly: return "block";
    case Kind::BackPage: return "back";
    case Kind::RingsOnly: return "rings";
    }
    return "?";
}

std::optional<Kind> kind_from_name(const std::string& name) {
    for (Kind k : {Kind::Scan, Kind::Photo, Kind::BlockOnly, Kind::BackPage, Kind::RingsOnly})
        if (name == kind_name(k)) return k;
    return std::nullopt;
}

const char* mark_name(Mark m) {
    switch (m) {
    case Mark::Pencil: return "pencil";
    case Mark::Pen: return "pen";
    case Mark::Faint: return "faint";
    case Mark::Double: return "double";
    case Mark::Blank: return "blank";
    case Mark::Erased: return "erased";
    case Mark::Ticked: return "ticked";
    case Mark::Crossed: return "crossed";
    }
    return "?";
}

const char* format_name(FileFormat f) {
    switch (f) {
    case FileFormat::Png: return "png";
    case FileFormat::Jpeg: return "jpeg";
    case FileFormat::Tiff: return "tiff";
    case FileFormat::Pdf: return "pdf";
    }
    return "?";
}

char column_reading(const ColumnMark& m) {
    switch (m.mark) {
    case Mark::Pencil:
    case Mark::Pen: return static_cast<char>('0' + m.digit);
    case Mark::Double: return '*';
    case Mark::Blank: return '_';
    case Mark::Faint:
    case Mark::Erased:
    case Mark::Ticked:
    case Mark::Crossed: return '?';
    }
    return '?';
}

std::string page_status(const std::array<ColumnMark, 10>& columns) {
    for (const auto& m : columns)
        if (m.mark != Mark::Pencil && m.mark != Mark::Pen) return "review";
    return "ok";
}

GeneratedPage make_page(const PagePlan& plan) {
    Random rng(plan.seed);
    Random draw_rng = rng.fork(1), geometry_rng = rng.fork(2), degrade_rng = rng.fork(3);

    const DrawnPage drawn = draw_page(plan, draw_rng);
    const Geometry geometry = plan_geometry(plan, drawn.image.size(), geometry_rng);
    cv::Mat image = apply_geometry(drawn.image, geometry, plan, geometry_rng);
    degrade(image, plan, degrade_rng);

    GeneratedPage out;
    const Turned turned = turn_picture(image, plan.stack);
    image = turned.image;
    const bool bilevel = plan.stack.bilevel != Bilevel::None;
    if (bilevel) {
        image = make_bilevel(image, plan.stack, plan.paper_level);
        out.bilevel_file = plan.stack.file;
    } else if (plan.jpeg_quality > 0) {
        std::vector<std::uint8_t> bytes = scan::encode_jpeg(image, plan.jpeg_quality);
        auto decoded = scan::decode_jpeg(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                         plan.colour ? scan::PixelKind::Colour : scan::PixelKind::Grey, 1);
        if (auto* back = std::get_if<cv::Mat>(&decoded)) image = std::move(*back);
        out.jpeg_bytes = std::move(bytes);
    }
    out.image = image;
    out.dpi = plan.dpi;

    Truth& t = out.truth;
    t.width = image.cols;
    t.height = image.rows;
    t.kind = kind_name(plan.kind);
    t.format = format_name(plan.format);
    t.variant = variant_text(plan);
    t.stack = stack_text(plan.stack);
    if (!t.stack.empty()) t.variant += "; " + t.stack;
    if (bilevel) t.format = plan.stack.file == BilevelFile::Png1 ? "png" : plan.stack.file == BilevelFile::Pdf ? "pdf" : "tiff";
    t.turn = ((plan.stack.turn % 360) + 360) % 360;
    t.mirrored = plan.stack.mirrored;
    if (!drawn.block_origin_px) {
        t.status = "not-found";
        return out;
    }
    const double u = plan.unit_px;
    const cv::Point2d origin = *drawn.block_origin_px;
    // Block continuous coordinates -> picture continuous coordinates.
    auto to_image = [&](double bx, double by) {
        return map_point(geometry.page_to_image, {origin.x + u * bx, origin.y + u * by});
    };
    using namespace idr::block;
    const int last = kColumns - 1;
    const std::array<std::pair<int, int>, 4> corner_bubbles = {{{0, 0}, {last, 0}, {last, kRows - 1}, {0, kRows - 1}}};
    std::array<cv::Point2d, 4> corners;
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d p = to_image(bubble_centre_x(corner_bubbles[i].first), bubble_centre_y(corner_bubbles[i].second));
        corners[i] = map_point(turned.map, {p.x - 0.5, p.y - 0.5});
    }
    t.corners = corners;
    // Size of one unit at the block's centre: the square root of the area a
    // unit square takes there (perspective stretches one way more than the other).
    const double mx = kWidth / 2.0, my = kHeight / 2.0, e = 1.0;
    const cv::Point2d gx = to_image(mx + e, my) - to_image(mx - e, my);
    const cv::Point2d gy = to_image(mx, my + e) - to_image(mx, my - e);
    t.unit_px = std::sqrt(std::abs(gx.x * gy.y - gx.y * gy.x)) / (2 * e);
    t.status = page_status(plan.columns);
    for (const auto& m : plan.columns) {
        // One threshold keeps nothing of a mark lighter than its cut: a faint
        // fill or an erasure is gone from the picture, and the column is blank.
        const bool vanished = plan.stack.bilevel == Bilevel::Threshold &&
                              (m.mark == Mark::Faint || m.mark == Mark::Erased) &&
                              m.level > 255 * plan.stack.cut;
        t.reading += vanished ? '_' : column_reading(m);
        t.intended += static_cast<char>('0' + m.digit);
        t.marks.emplace_back(mark_name(m.mark));
        t.detail.push_back(column_detail(m));
    }
    return out;
}

}  // namespace idr::pagegen
