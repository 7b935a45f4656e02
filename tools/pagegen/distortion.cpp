#include "tools/pagegen/distortion.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace idr::pagegen {

namespace {

cv::Matx33d translation(double x, double y) { return {1, 0, x, 0, 1, y, 0, 0, 1}; }

// OpenCV's warps index pixels by their centres; the maps here are in
// continuous coordinates, half a pixel away.
cv::Matx33d to_pixel_centres(const cv::Matx33d& continuous) {
    return translation(-0.5, -0.5) * continuous * translation(0.5, 0.5);
}

// A dim, cluttered surface for the page to lie on: a table with objects,
// papers and shade on it, all soft. Drawn at an eighth of the size and
// enlarged: it is out of focus anyway, and blurring it full size is slow.
cv::Mat clutter(cv::Size size, int channels, Random& rng) {
    constexpr int kReduce = 8;
    const cv::Size small(std::max(1, size.width / kReduce), std::max(1, size.height / kReduce));
    const double base = rng.between(35.0, 110.0);
    const cv::Scalar cast(base * rng.between(0.8, 1.1), base * rng.between(0.85, 1.05), base * rng.between(0.9, 1.2));
    cv::Mat bg(small, CV_8UC3, cast);
    const int shapes = rng.between(6, 16);
    const int extent = std::max(small.width, small.height);
    for (int i = 0; i < shapes; ++i) {
        const cv::Point c(rng.between(0, small.width - 1), rng.between(0, small.height - 1));
        const cv::Size axes(rng.between(extent / 30, extent / 5) + 1, rng.between(extent / 30, extent / 5) + 1);
        const double l = rng.between(10.0, 200.0);
        const cv::Scalar colour(l * rng.between(0.6, 1.2), l * rng.between(0.6, 1.2), l * rng.between(0.6, 1.2));
        if (rng.chance(0.5))
            cv::ellipse(bg, c, axes, rng.between(0.0, 180.0), 0, 360, colour, cv::FILLED, cv::LINE_AA);
        else
            cv::rectangle(bg, cv::Rect(c, axes), colour, cv::FILLED, cv::LINE_AA);
    }
    cv::GaussianBlur(bg, bg, cv::Size(), extent * rng.between(0.002, 0.01) + 0.3);
    if (channels == 1) cv::cvtColor(bg, bg, cv::COLOR_BGR2GRAY);
    cv::Mat out;
    cv::resize(bg, out, size, 0, 0, cv::INTER_LINEAR);
    return out;
}

// A map of how much light reaches each pixel (1 = all), computed small and
// enlarged: light changes slowly across a page.
cv::Mat light_map(cv::Size size, const PagePlan& plan, Random& rng) {
    const double scale = 64.0 / std::max(size.width, size.height);
    const cv::Size small(std::max(2, static_cast<int>(size.width * scale)),
                         std::max(2, static_cast<int>(size.height * scale)));
    cv::Mat gain(small, CV_32F, cv::Scalar(1.0));
    const double a = plan.gradient_angle_deg * std::numbers::pi / 180;
    const double dx = std::cos(a), dy = std::sin(a);
    const double cx = small.width / 2.0, cy = small.height / 2.0;
    const double half_diag = std::hypot(cx, cy);
    // The shadow: a soft-edged half-plane across one part of the page.
    const double sa = rng.between(0.0, 2 * std::numbers::pi);
    const double sx = std::cos(sa), sy = std::sin(sa);
    const double s_off = rng.between(0.2, 0.7) * half_diag;
    const double s_soft = rng.between(0.05, 0.25) * half_diag;
    for (int y = 0; y < small.height; ++y) {
        auto* row = gain.ptr<float>(y);
        for (int x = 0; x < small.width; ++x) {
            const double px = x + 0.5 - cx, py = y + 0.5 - cy;
            double g = 1.0;
            // Gradient: full light on one side, (1 - gradient) on the other.
            const double t = ((px * dx + py * dy) / half_diag + 1) / 2;
            g *= 1 - plan.gradient * std::clamp(t, 0.0, 1.0);
            const double r = std::hypot(px, py) / half_diag;
            g *= 1 - plan.vignette * r * r;
            const double d = (px * sx + py * sy - s_off) / s_soft;
            g *= 1 - plan.shadow * std::clamp(0.5 + d / 2, 0.0, 1.0);
            row[x] = static_cast<float>(g);
        }
    }
    cv::Mat full;
    cv::resize(gain, full, size, 0, 0, cv::INTER_CUBIC);
    return full;
}

}  // namespace

cv::Point2d map_point(const cv::Matx33d& h, cv::Point2d p) {
    const cv::Vec3d q = h * cv::Vec3d(p.x, p.y, 1.0);
    return {q[0] / q[2], q[1] / q[2]};
}

Geometry plan_geometry(const PagePlan& plan, cv::Size page_size, Random& rng) {
    const double w = page_size.width, h = page_size.height;
    const double a = plan.rotation_deg * std::numbers::pi / 180;
    // Positive angles turn counter-clockwise as seen on screen (y down).
    const cv::Matx33d turn(std::cos(a), std::sin(a), 0, -std::sin(a), std::cos(a), 0, 0, 0, 1);
    const std::vector<cv::Point2f> page_corners = {{0, 0}, {static_cast<float>(w), 0},
                                                   {static_cast<float>(w), static_cast<float>(h)},
                                                   {0, static_cast<float>(h)}};
    if (plan.kind == Kind::Photo) {
        // The page turned, then each corner pushed around: a phone held not
        // quite square over the page. The picture is framed around the whole
        // page with a margin of background, as people photograph a page.
        std::vector<cv::Point2f> dst;
        for (const auto& s : page_corners) {
            const cv::Point2d p = map_point(turn, s);
            dst.emplace_back(static_cast<float>(p.x + plan.perspective * w * rng.between(-1.0, 1.0)),
                             static_cast<float>(p.y + plan.perspective * h * rng.between(-1.0, 1.0)));
        }
        float x0 = dst[0].x, y0 = dst[0].y, x1 = x0, y1 = y0;
        for (const auto& d : dst) {
            x0 = std::min(x0, d.x), x1 = std::max(x1, d.x);
            y0 = std::min(y0, d.y), y1 = std::max(y1, d.y);
        }
        const double mx = w * plan.margin_frac, my = h * plan.margin_frac;
        for (auto& d : dst) d += cv::Point2f(static_cast<float>(mx - x0), static_cast<float>(my - y0));
        const cv::Size size(static_cast<int>(std::ceil(x1 - x0 + 2 * mx)), static_cast<int>(std::ceil(y1 - y0 + 2 * my)));
        return {size, cv::Matx33d(cv::getPerspectiveTransform(page_corners, dst))};
    }
    // Turned more than a little, a page would lose its corners (and on an
    // exam page the ID block sits near one): the picture grows to hold the
    // whole turned page, as a scanner's full bed or a cropped scan would.
    // The block alone is always framed this way.
    if (plan.kind == Kind::BlockOnly || std::abs(plan.rotation_deg) > 2.0) {
        const double cw = std::abs(w * std::cos(a)) + std::abs(h * std::sin(a));
        const double ch = std::abs(w * std::sin(a)) + std::abs(h * std::cos(a));
        const cv::Size size(static_cast<int>(std::ceil(cw)), static_cast<int>(std::ceil(ch)));
        return {size, translation(size.width / 2.0, size.height / 2.0) * turn * translation(-w / 2, -h / 2)};
    }
    // A flatbed scan: same size as the page, turned about its centre and
    // shifted; what falls outside is lost, the lid shows where paper is missing.
    return {page_size, translation(w / 2 + plan.shift_x_px, h / 2 + plan.shift_y_px) * turn *
                           translation(-w / 2, -h / 2)};
}

cv::Mat apply_geometry(const cv::Mat& page, const Geometry& g, const PagePlan& plan, Random& rng) {
    const cv::Matx33d m = to_pixel_centres(g.page_to_image);
    cv::Mat out;
    if (plan.kind == Kind::Photo) {
        out = clutter(g.size, page.channels(), rng);
        cv::warpPerspective(page, out, cv::Mat(m), g.size, cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
        return out;
    }
    const int lid = plan.kind == Kind::BlockOnly ? plan.paper_level : rng.between(200, 250);
    const cv::Scalar border = page.channels() == 1 ? cv::Scalar(lid) : cv::Scalar(lid, lid, lid);
    const cv::Matx23d affine(m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2));
    if (plan.rotation_deg == 0 && plan.shift_x_px == 0 && plan.shift_y_px == 0 && g.size == page.size())
        return page.clone();
    cv::warpAffine(page, out, cv::Mat(affine), g.size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, border);
    return out;
}

void degrade(cv::Mat& image, const PagePlan& plan, Random& rng) {
    if (plan.gradient > 0 || plan.vignette > 0 || plan.shadow > 0) {
        // In 8 bits: a gain of 0.6..1 keeps 150 steps, more than the
        // noise added next can tell apart.
        cv::Mat gain = light_map(image.size(), plan, rng), gain8;
        gain.convertTo(gain8, CV_8U, 255.0);
        if (image.channels() == 3) cv::cvtColor(gain8, gain8, cv::COLOR_GRAY2BGR);
        cv::multiply(image, gain8, image, 1.0 / 255.0);
    }
    if (plan.blur_sigma_px > 0.05) cv::GaussianBlur(image, image, cv::Size(), plan.blur_sigma_px);
    if (plan.noise_sigma > 0) {
        // One noise plane for all channels: sensor noise looks mostly grey
        // after the camera's own processing. Drawn as 8-bit around 128.
        cv::Mat noise(image.size(), CV_8UC1);
        cv::RNG cv_rng(rng.next());
        cv_rng.fill(noise, cv::RNG::NORMAL, 128, plan.noise_sigma);
        if (image.channels() == 3) cv::cvtColor(noise, noise, cv::COLOR_GRAY2BGR);
        cv::addWeighted(image, 1.0, noise, 1.0, -128.0, image);
    }
    if (plan.speckles_per_mpx > 0) {
        const double mpx = image.total() / 1e6;
        const int n = static_cast<int>(plan.speckles_per_mpx * mpx);
        for (int i = 0; i < n; ++i) {
            const cv::Point c(rng.between(0, image.cols - 1), rng.between(0, image.rows - 1));
            const int l = rng.chance(0.8) ? rng.between(0, 90) : 255;
            const int r = rng.chance(0.85) ? 0 : rng.between(1, 2);
            cv::circle(image, c, r, cv::Scalar::all(l), cv::FILLED, cv::LINE_8);
        }
    }
}

}  // namespace idr::pagegen
