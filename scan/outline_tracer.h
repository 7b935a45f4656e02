#pragma once
// The outer borders of the dark shapes in a binary picture and the borders of
// their holes (two levels), traced by Suzuki and Abe's border following, with
// exactly the outlines, points, boxes and order that OpenCV 4.6's
// cvFindContours gives with CV_RETR_CCOMP, CV_CHAIN_APPROX_SIMPLE and an
// offset of (-1, -1), read the way the locator walks that tree: each outer
// outline, then its holes, then the next outer one.
//
// The same result matters, not a similar one: the locator's candidates and so
// every reading depend on which outlines pass its filters, and a shape's
// outline traced from another start or in another order would move them.
// The border following itself is OpenCV's, step for step. What is cheaper:
// the scan for borders reads the ends of runs of dark pixels off a bit per
// pixel instead of stopping wherever the marks change; a hole's border is
// looked for among the borders round the scan line only; and the outlines
// are a flat list with their points in one array, not a tree of sequences in
// storage blocks that the locator never needed.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace idr::scan {

struct TracedOutline {
    std::size_t first = 0;  // index of its first point in OutlineTracer::points()
    std::size_t count = 0;  // points: the pixels where the border turns
    cv::Rect box;           // of its points
    bool hole = false;      // the border of a hole inside an outer outline
};

class OutlineTracer {
public:
    // `framed`: 8-bit, one channel, shapes nonzero, with a frame of one
    // background pixel round it (rows 0 and last, columns 0 and last: any
    // dark pixel there is cleared, as OpenCV clears it). Its pixels are
    // overwritten by the tracer's marks. Points and boxes are in the
    // coordinates of the picture inside the frame. The lists are reused by
    // the next call.
    void trace(cv::Mat& framed);

    // In the order described above.
    const std::vector<TracedOutline>& outlines() const { return listed_; }
    const std::vector<cv::Point>& points() const { return points_; }
    const cv::Point* points_of(const TracedOutline& o) const { return points_.data() + o.first; }

private:
    // One border as found by the scan, before the listing order is known.
    struct Border {
        cv::Point origin;       // framed pixel the trace started at
        cv::Rect box;           // framed coordinates
        std::size_t first = 0;  // into points_
        std::size_t count = 0;
        int parent = -1;          // index into borders_; -1 for the frame
        int first_child = -1;     // the child found last (children list newest first)
        int next_sibling = -1;
        bool hole = false;
    };

    // Follows one border from `start` (framed pixel), marking it with `mark`,
    // appending its turning points; returns its box (framed coordinates).
    cv::Rect follow(std::uint8_t* start, cv::Point origin, bool hole, int mark);
    // Traces the border starting at `start` (framed coordinates) and links
    // it into the tree; `last_border_x`: for a hole, the last marked pixel
    // the scan met on the row. `mark` moves on to the next value.
    void add_border(cv::Point start, bool hole, int last_border_x, int& mark);
    // In a run of dark pixels from `run_start`, where x is unmarked: the
    // marked pixel OpenCV's scan would have noted last before x.
    static int last_marked(const std::uint8_t* row, int run_start, int x);
    // Whether following `from`'s border from its origin reaches `stop`, as
    // OpenCV decides which of two borders with the same mark a pixel is on.
    bool reaches(const Border& from, const std::uint8_t* stop) const;
    int parent_of_hole(cv::Point last_border);
    void list_in_tree_order();

    std::uint8_t* origin_ = nullptr;  // framed pixel (0, 0)
    std::ptrdiff_t step_ = 0;
    std::vector<Border> borders_;
    std::vector<cv::Point> points_;
    std::vector<TracedOutline> listed_;
    std::vector<std::uint64_t> dark_;  // a bit per pixel, rows of whole words
    // Per border, in the chain of the borders that marked with the same
    // value, newest first: its box, and the one before it in the chain.
    struct Marked {
        cv::Rect box;
        int next = -1;
    };
    std::vector<Marked> marked_;
    std::vector<int> last_with_mark_;  // per mark value: the newest border in its chain
    int frame_first_child_ = -1;
};

}  // namespace idr::scan
