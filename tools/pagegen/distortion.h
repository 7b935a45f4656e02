#pragma once
// What a scanner or a phone does to the flat page: turning, perspective and
// background (geometry), then light, blur, noise, specks and JPEG.

#include <opencv2/core.hpp>

#include "tools/pagegen/page.h"
#include "tools/pagegen/random.h"

namespace idr::pagegen {

// The output picture's size and the map from flat-page continuous
// coordinates to the picture's continuous coordinates (pixel (i, j) covers
// [i, i+1) x [j, j+1) in both).
struct Geometry {
    cv::Size size;
    cv::Matx33d page_to_image;
};

Geometry plan_geometry(const PagePlan& plan, cv::Size page_size, Random& rng);

// Resamples the flat page (8-bit grey or BGR) into the picture, laying it over the
// scanner lid or, for photos, over a cluttered background.
cv::Mat apply_geometry(const cv::Mat& page, const Geometry& g, const PagePlan& plan, Random& rng);

// Light, blur, noise and specks, in that order, in place.
void degrade(cv::Mat& image, const PagePlan& plan, Random& rng);

// Maps a point through a 3 x 3 homography.
cv::Point2d map_point(const cv::Matx33d& h, cv::Point2d p);

}  // namespace idr::pagegen
