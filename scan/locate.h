#pragma once
// Finding the student-ID block on a page and registering it on its own ring
// lattice: the 10 x 10 rings at a pitch of 25 units, checked against the
// frame rules and the column-number band above them. No corner marks are
// needed, and other grids of rings on the page (answer areas) are not taken
// for the block.

#include <array>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "scan/deadline.h"

namespace idr::scan {

// Where the block lies on the page.
struct Registration {
    // Maps block coordinates (continuous, units: pixel (i, j) of the built-in
    // sheet covers [i, i+1) x [j, j+1)) to page pixel coordinates in which
    // pixel (i, j)'s centre is (i, j).
    cv::Matx33d block_to_page;
    // Page-pixel centres of the corner bubbles: column 1 digit 0, column 10
    // digit 0, column 10 digit 9, column 1 digit 9.
    std::array<cv::Point2d, 4> corners;
    double unit_px = 0;         // page pixels per block unit, at the block's centre
    double angle_deg = 0;       // direction of the digit rows, clockwise positive
    double residual_units = 0;  // RMS distance of the measured ring centres from the fit
    int rings_measured = 0;     // ring centres that took part in the fit (of 100)
    double score = 0;           // how strongly the frame rules confirm the block, 0..1
    // Which way round the block lies: the page's quarter turn (counter-
    // clockwise: 90 puts the block's top at the page's left) and whether the
    // block is seen mirrored, left to right. block_to_page includes both, so
    // a rectified block is always upright and unmirrored.
    int turn = 0;
    bool mirrored = false;
    // How clearly the printed digits say mirrored or not (orientation.h):
    // > 0 as found, < 0 mirrored; small either way when they cannot tell.
    double mirror_evidence = 0;
};

struct LocateOptions {
    // Work on a copy reduced so that its longer side is at most this many
    // pixels first; look at the full picture only when that finds nothing.
    int coarse_long_side = 1800;
    // The page was searched already at about the size of that reduced copy
    // (decoded at a reduced size and nothing found there): a grey page
    // starts at full size, its reduced copy would show the same again.
    bool reduced_searched = false;
    // Stop when this passes (the result then says timed_out).
    Deadline deadline;
};

struct LocateResult {
    std::optional<Registration> registration;
    std::string why_not;  // when nothing was found: what was missing
    bool timed_out = false;
    // The picture holds only black and white (a 1-bit scan, or a page
    // thresholded or dithered to it): smoothed before anything is measured.
    bool bilevel = false;
    // The block rectified from the picture by the registration, as
    // rectify_block gives it (smoothed by a unit when the page is black and
    // white), when the mirror check made it from that same registration;
    // empty when the registration was turned round after it.
    cv::Mat rectified;
};

// Whether an 8-bit grey picture is black and white only (nearly every pixel
// one of two levels).
bool is_bilevel(const cv::Mat& grey);

// `grey` is an 8-bit one-channel page. Coordinates in the result refer to it.
LocateResult locate_block(const cv::Mat& grey, const LocateOptions& options = {});

// The same registration for a page that was decoded at 1/`factor` of its
// full size: coordinates scaled up to the full page.
Registration scale_registration(const Registration& reg, double factor);
Registration scale_registration(const Registration& reg, double fx, double fy);

// Block coordinates of the centre of bubble (column c, row r), both from 0.
cv::Point2d bubble_centre(int c, int r);

// Inline: the placement score maps some three thousand points a placement.
inline cv::Point2d map_point(const cv::Matx33d& h, cv::Point2d p) {
    const double x = h(0, 0) * p.x + h(0, 1) * p.y + h(0, 2);
    const double y = h(1, 0) * p.x + h(1, 1) * p.y + h(1, 2);
    const double w = h(2, 0) * p.x + h(2, 1) * p.y + h(2, 2);
    return {x / w, y / w};
}

}  // namespace idr::scan
