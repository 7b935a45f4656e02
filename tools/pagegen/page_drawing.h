#pragma once
// The page as printed and filled in, drawn with cairo straight at the scan's
// resolution (no resampling later blurs the truth), before any turning,
// lighting or noise.

#include <optional>

#include <opencv2/core.hpp>

#include "tools/pagegen/page.h"
#include "tools/pagegen/random.h"

namespace idr::pagegen {

struct DrawnPage {
    cv::Mat image;  // the flat page: 8-bit BGR, or 8-bit grey when the plan is grey
    // Where the block's top-left corner landed, in page pixels (continuous:
    // pixel (i, j) covers [i, i+1) x [j, j+1)); the block is upright and
    // plan.unit_px pixels make one block unit. Absent on pages without a block.
    std::optional<cv::Point2d> block_origin_px;
};

DrawnPage draw_page(const PagePlan& plan, Random& rng);

}  // namespace idr::pagegen
