#pragma once
// Reading one page: locate the block, rectify it, decide every column, then
// run the four steps on a fresh window model holding the rectified block, as
// the operator would on the built-in sheet. One call; the stages inside are
// locate.h, rectify.h and decide.h.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "form/form1.h"
#include "reading/dispatch.h"
#include "scan/decide.h"
#include "scan/locate.h"

namespace idr::scan {

enum class LocateMode {
    Auto,    // a picture of exactly 262 x 362 is the block as it stands; any other is located
    Always,
    Never,
};

struct ReadOptions {
    LocateMode locate = LocateMode::Auto;
    // Text of the threshold box before the clicks. Not given: "auto" for
    // located pages, "35" (the window's own default) for the others; given
    // empty, the box is empty (and "1. Binary" stops on it, as in the
    // window). "auto" derives the number from the picture and writes it into
    // the box.
    std::optional<std::string> threshold;
    // Text of the black-sample box. Not given: "auto" for located pages, "8"
    // for the others. "auto" picks the number of samples that, with the
    // threshold, separates this page's filled rings from its empty ones.
    std::optional<std::string> black_samples;
    std::string student_id;
    std::vector<ButtonId> clicks = {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId};
    // Called with every caption the window would show, while the clicks run.
    std::function<void(const std::string&)> on_caption;
    std::chrono::milliseconds time_limit{20000};
    // Keep a small picture of the whole page (longer side in pixels, 0 for
    // none), for review outputs; the located block is not drawn on it.
    int thumbnail_long_side = 0;
    // Keep the picture the clicks start from (PageResult::block), for review
    // outputs. A located block is kept whatever this says (it is made
    // anyway); a picture read as it stands is copied for it.
    bool keep_block = true;
};

// The picture of one page, as it was decoded.
struct PagePicture {
    cv::Mat image;                 // 8-bit grey or BGR; may be decoded at a reduced size
    cv::Size full_size;            // the page's size at full resolution
    int reduction = 1;             // image = full_size / reduction
    // The exact pixels, where the project's own BMP decoder (or the built-in
    // sheet) gave them; used as they are when the picture is not located.
    std::optional<Surface> exact;
    // Decodes the page again at full size, for a second look when nothing
    // was found on the reduced one; empty when there is no such way.
    std::function<std::optional<cv::Mat>()> full_resolution;
};

struct PageResult {
    std::string status;  // "ok", "review", "not-found" or "error"
    std::string why;     // for not-found, review and error: in plain words
    std::optional<Registration> registration;  // in full-size page pixels
    cv::Size image_size;                       // what the registration refers to
    std::optional<BlockDecision> decision;     // when the block was in frame
    std::string reading;                       // decision.reading, or empty
    std::string threshold;                     // the threshold text the clicks used
    std::string black_samples;                 // the black-sample text the clicks used
    std::optional<Form1> form;                 // the window after the clicks (none when not found)
    // The pictures are held only when made, so that a result that has none
    // (the built-in sheet read as it stands) needs no OpenCV at all.
    std::optional<cv::Mat> block;              // the picture the clicks started from (262 x 362 BGR)
    std::optional<cv::Mat> thumbnail;          // the page, small (ReadOptions::thumbnail_long_side)
    double thumbnail_scale = 0;                // thumbnail pixels per full-size page pixel
    std::optional<ButtonId> failed_button;     // the click a run-time error stopped
    std::optional<RuntimeError> error;
    double ms = 0;
};

PageResult read_page(PagePicture picture, const ReadOptions& options = {});
// The same for a picture of exact pixels (the built-in sheet). Read as it
// stands, it needs no OpenCV.
PageResult read_page(Surface exact, const ReadOptions& options = {});

// How a located block lay on its page, in words ("the page is upside down",
// "the page is mirrored"), empty when upright; and whether that alone sends
// the page to a person (mirrored, or the printed digits cannot tell).
std::string how_it_lay(const Registration& reg);
bool lay_needs_a_person(const Registration& reg);

}  // namespace idr::scan
