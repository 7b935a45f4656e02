#include "scan/orientation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "form/form1.h"
#include "scan/locate.h"
#include "scan/rectify.h"

namespace idr::scan {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The ring grid's centre, about which the symmetries turn.
constexpr double kGridCentreX = (block::bubble_centre_x(0) + block::bubble_centre_x(block::kColumns - 1)) / 2;
const cv::Point2d kGridCentre(kGridCentreX,
                              (block::bubble_centre_y(0) + block::bubble_centre_y(block::kRows - 1)) / 2);

// The block in grey, smoothed a little: the printed digits at the scale
// where another font's strokes still overlap the sheet's.
cv::Mat smoothed_grey(const cv::Mat& block) {
    cv::Mat grey;
    if (block.channels() == 3) cv::cvtColor(block, grey, cv::COLOR_BGR2GRAY);
    else grey = block;  // converted into a new picture below: no copy needed
    cv::Mat out;
    grey.convertTo(out, CV_32F);
    cv::GaussianBlur(out, out, cv::Size(), 0.8);
    return out;
}

// The block seen in a mirror about the ring grid's centre line: pixel x
// shows what pixel kMirrorPivot - x did.
static_assert(2 * kGridCentreX == static_cast<int>(2 * kGridCentreX),
              "the grid's centre line runs along a pixel edge or centre");
constexpr int kMirrorPivot = static_cast<int>(2 * kGridCentreX) - 1;

// The patches whose printing is not symmetric: each column's number, and
// every row's digit (as the median over the row's rings, so the marked
// ones drop out).
constexpr int kNumberX0 = block::kRuleX0 + 3, kNumberWidth = block::kPitch - 5;
constexpr int kHalf = 5;  // a row's digit patch is 2 kHalf square round each ring's centre
constexpr int digit_patch_x0(int c) { return static_cast<int>(block::bubble_centre_x(c)) - kHalf; }
// In the mirror, column c's number patch shows column 9 - c's turned left
// to right, and a row's digit patch shows its own turned so (the row's
// rings change places, the median over them does not): the mirrored
// patches are the upright ones flipped, without a mirrored block.
static_assert(kMirrorPivot - kNumberX0 == kNumberX0 + block::kPitch * (block::kColumns - 1) + kNumberWidth - 1,
              "the number patches mirror onto each other");
static_assert(kMirrorPivot - digit_patch_x0(0) == digit_patch_x0(block::kColumns - 1) + 2 * kHalf - 1,
              "the digit patches mirror onto each other");

// The sixth smallest of ten: the median patch's value (a plain sort of so
// few is quicker than a selection, and any correct one gives that value).
float sixth_of_ten(std::array<float, 10>& v) {
    for (std::size_t i = 1; i < v.size(); ++i) {
        const float x = v[i];
        std::size_t j = i;
        for (; j > 0 && x < v[j - 1]; --j) v[j] = v[j - 1];
        v[j] = x;
    }
    return v[5];
}
static_assert(block::kColumns == 10, "a row's median is over ten rings");

std::vector<cv::Mat> patches(const cv::Mat& g) {
    std::vector<cv::Mat> out;
    for (int c = 0; c < block::kColumns; ++c) {
        const int x = kNumberX0 + block::kPitch * c;
        out.push_back(g(cv::Rect(x, static_cast<int>(block::kNumberTop) - 2, kNumberWidth,
                                 static_cast<int>(block::kNumberHeight) + 4)).clone());
    }
    for (int r = 0; r < block::kRows; ++r) {
        cv::Mat median(2 * kHalf, 2 * kHalf, CV_32F);
        std::array<float, 10> v;
        const int y0 = static_cast<int>(block::bubble_centre_y(r)) - kHalf;
        for (int dy = 0; dy < 2 * kHalf; ++dy) {
            const float* row = g.ptr<float>(y0 + dy);
            for (int dx = 0; dx < 2 * kHalf; ++dx) {
                for (int c = 0; c < block::kColumns; ++c) v[static_cast<std::size_t>(c)] = row[digit_patch_x0(c) + dx];
                median.at<float>(dy, dx) = sixth_of_ten(v);
            }
        }
        out.push_back(median);
    }
    return out;
}

// The patches of the block seen in the mirror, from the upright ones.
std::vector<cv::Mat> mirrored_patches(const std::vector<cv::Mat>& as_is) {
    std::vector<cv::Mat> out(as_is.size());
    for (int c = 0; c < block::kColumns; ++c)
        cv::flip(as_is[static_cast<std::size_t>(block::kColumns - 1 - c)], out[static_cast<std::size_t>(c)], 1);
    for (std::size_t i = block::kColumns; i < as_is.size(); ++i) cv::flip(as_is[i], out[i], 1);
    return out;
}

// A patch of the built-in sheet, with what every correlation with it needs
// of it, worked out once.
struct Reference {
    cv::Mat centred;    // less its mean
    double spread = 0;  // standard deviation
    double norm = 0;    // of `centred`
};

double correlation(const cv::Mat& a, const Reference& b) {
    cv::Scalar ma, sa;
    cv::meanStdDev(a, ma, sa);
    if (sa[0] < 2 || b.spread < 2) return 0;  // a blank patch says nothing
    cv::Mat da = a - ma[0];
    return da.dot(b.centred) / (std::sqrt(da.dot(da)) * b.norm);
}

const std::vector<Reference>& reference_patches() {
    static const std::vector<Reference> patches_of_sheet = [] {
        std::vector<Reference> out;
        for (const cv::Mat& p : patches(smoothed_grey(to_mat(built_in_sheet())))) {
            cv::Scalar mean, spread;
            cv::meanStdDev(p, mean, spread);
            Reference r;
            r.centred = p - mean[0];
            r.spread = spread[0];
            r.norm = std::sqrt(r.centred.dot(r.centred));
            out.push_back(r);
        }
        return out;
    }();
    return patches_of_sheet;
}

}  // namespace

cv::Matx33d block_symmetry(int quarter_turns, bool mirror) {
    // On screen (y down), a quarter turn counter-clockwise takes the
    // direction right to up: (x, y) -> (y, -x).
    cv::Matx22d m = cv::Matx22d::eye();
    for (int i = 0; i < ((quarter_turns % 4) + 4) % 4; ++i) m = cv::Matx22d(0, 1, -1, 0) * m;
    if (mirror) m = m * cv::Matx22d(-1, 0, 0, 1);
    const cv::Point2d c = kGridCentre;
    const cv::Point2d t = c - cv::Point2d(m(0, 0) * c.x + m(0, 1) * c.y, m(1, 0) * c.x + m(1, 1) * c.y);
    return {m(0, 0), m(0, 1), t.x, m(1, 0), m(1, 1), t.y, 0, 0, 1};
}

Orientation orientation_of(const cv::Matx33d& h) {
    const cv::Point2d o = map_point(h, kGridCentre);
    const cv::Point2d right = map_point(h, kGridCentre + cv::Point2d(1, 0)) - o;
    const cv::Point2d down = map_point(h, kGridCentre + cv::Point2d(0, 1)) - o;
    Orientation out;
    out.mirrored = right.x * down.y - right.y * down.x < 0;
    // The block's up on the page, as an angle counter-clockwise from the
    // page's right: 90 when upright.
    const double up_deg = std::atan2(down.y, -down.x) * 180 / kPi;
    const int quarters = static_cast<int>(std::lround((up_deg - 90) / 90));
    out.turn = ((quarters % 4) + 4) % 4 * 90;
    return out;
}

double mirror_evidence(const cv::Mat& block) {
    if (block.cols != block::kWidth || block.rows != block::kHeight) return 0;
    const std::vector<Reference>& ref = reference_patches();
    const cv::Mat g = smoothed_grey(block);
    const std::vector<cv::Mat> as_is = patches(g), flipped = mirrored_patches(as_is);
    double sum = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) sum += correlation(as_is[i], ref[i]) - correlation(flipped[i], ref[i]);
    return sum / static_cast<double>(ref.size());
}

}  // namespace idr::scan
