#include "scan/orientation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "assets/embedded_sheet.h"
#include "form/block_layout.h"
#include "picture/framed.h"
#include "scan/locate.h"
#include "scan/rectify.h"

namespace idr::scan {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The ring grid's centre, about which the symmetries turn.
const cv::Point2d kGridCentre((block::bubble_centre_x(0) + block::bubble_centre_x(block::kColumns - 1)) / 2,
                              (block::bubble_centre_y(0) + block::bubble_centre_y(block::kRows - 1)) / 2);

// The block in grey, smoothed a little: the printed digits at the scale
// where another font's strokes still overlap the sheet's.
cv::Mat smoothed_grey(const cv::Mat& block) {
    cv::Mat grey;
    if (block.channels() == 3) cv::cvtColor(block, grey, cv::COLOR_BGR2GRAY);
    else grey = block.clone();
    cv::Mat out;
    grey.convertTo(out, CV_32F);
    cv::GaussianBlur(out, out, cv::Size(), 0.8);
    return out;
}

// The block seen in a mirror about the ring grid's centre line: pixel x
// shows what pixel 2 * centre - 1 - x did.
cv::Mat mirrored(const cv::Mat& m) {
    cv::Mat out(m.size(), m.type());
    const int pivot = static_cast<int>(std::lround(2 * kGridCentre.x)) - 1;
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x)
            out.at<float>(y, x) = m.at<float>(y, std::clamp(pivot - x, 0, m.cols - 1));
    return out;
}

// The patches whose printing is not symmetric: each column's number, and
// every row's digit (as the median over the row's rings, so the marked
// ones drop out).
std::vector<cv::Mat> patches(const cv::Mat& g) {
    std::vector<cv::Mat> out;
    for (int c = 0; c < block::kColumns; ++c) {
        const int x = block::kRuleX0 + block::kPitch * c + 3;
        out.push_back(g(cv::Rect(x, static_cast<int>(block::kNumberTop) - 2, block::kPitch - 5,
                                 static_cast<int>(block::kNumberHeight) + 4)).clone());
    }
    constexpr int kHalf = 5;
    for (int r = 0; r < block::kRows; ++r) {
        cv::Mat median(2 * kHalf, 2 * kHalf, CV_32F);
        std::vector<float> v(block::kColumns);
        const int y0 = static_cast<int>(block::bubble_centre_y(r)) - kHalf;
        for (int dy = 0; dy < 2 * kHalf; ++dy)
            for (int dx = 0; dx < 2 * kHalf; ++dx) {
                for (int c = 0; c < block::kColumns; ++c)
                    v[static_cast<std::size_t>(c)] =
                        g.at<float>(y0 + dy, static_cast<int>(block::bubble_centre_x(c)) - kHalf + dx);
                std::nth_element(v.begin(), v.begin() + 5, v.end());
                median.at<float>(dy, dx) = v[5];
            }
        out.push_back(median);
    }
    return out;
}

double correlation(const cv::Mat& a, const cv::Mat& b) {
    cv::Scalar ma, sa, mb, sb;
    cv::meanStdDev(a, ma, sa);
    cv::meanStdDev(b, mb, sb);
    if (sa[0] < 2 || sb[0] < 2) return 0;  // a blank patch says nothing
    cv::Mat da = a - ma[0], db = b - mb[0];
    return da.dot(db) / (std::sqrt(da.dot(da)) * std::sqrt(db.dot(db)));
}

const std::vector<cv::Mat>& reference_patches() {
    static const std::vector<cv::Mat> patches_of_sheet = [] {
        PictureResult sheet = read_framed_picture(embedded_sheet_blob());
        return sheet ? patches(smoothed_grey(to_mat(*sheet.picture))) : std::vector<cv::Mat>{};
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
    const std::vector<cv::Mat>& ref = reference_patches();
    if (ref.empty()) return 0;
    const cv::Mat g = smoothed_grey(block);
    const std::vector<cv::Mat> as_is = patches(g), flipped = patches(mirrored(g));
    double sum = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) sum += correlation(as_is[i], ref[i]) - correlation(flipped[i], ref[i]);
    return sum / static_cast<double>(ref.size());
}

}  // namespace idr::scan
