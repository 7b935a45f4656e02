#include "scan/read_page.h"

#include <algorithm>
#include <cctype>

#include <opencv2/imgproc.hpp>

#include "form/block_layout.h"
#include "rules/error.h"
#include "scan/orientation.h"
#include "scan/rectify.h"

namespace idr::scan {

namespace {

using Clock = std::chrono::steady_clock;

bool is_auto(const std::string& text) {
    std::string t;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t == "auto";
}

cv::Mat grey_of(const cv::Mat& image) {
    if (image.channels() == 1) return image;
    cv::Mat grey;
    cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

bool in_block_frame(const cv::Size& size) { return size.width == block::kWidth && size.height == block::kHeight; }

// Whether a picture of `size` is located, or read as it stands.
bool to_locate(const ReadOptions& options, const cv::Size& size) {
    return options.locate == LocateMode::Always || (options.locate == LocateMode::Auto && !in_block_frame(size));
}

// The black-sample box as a whole number of samples, for the threshold
// search; texts the step itself would refuse leave the default.
int black_samples_of(const std::string& text) {
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        if (used == text.size() && v >= 0 && v < 16) return static_cast<int>(v);
    } catch (const std::exception&) {
    }
    return 8;
}

// A threshold for a picture that is not the block's frame: between the
// paper and the ink, by Otsu's method on the brightness.
int otsu_threshold(const Surface& s) {
    cv::Mat grey(s.height(), s.width(), CV_8UC1);
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const Int32 v = s.pixel(x, y);
            grey.at<std::uint8_t>(y, x) =
                static_cast<std::uint8_t>(((v & 255) + ((v >> 8) & 255) + ((v >> 16) & 255)) / 3);
        }
    cv::Mat out;
    if (grey.empty()) return 35;
    return static_cast<int>(cv::threshold(grey, out, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU));
}

}  // namespace

std::string how_it_lay(const Registration& reg) {
    std::string out;
    if (reg.mirrored) out = "the page is mirrored";
    else if (reg.mirror_evidence < kMirrorDecides) out = "cannot tell whether the page is mirrored (its printed digits are unclear)";
    const char* turned = reg.turn == 90    ? "the page is turned a quarter turn (its top at the left)"
                         : reg.turn == 180 ? "the page is upside down"
                         : reg.turn == 270 ? "the page is turned a quarter turn (its top at the right)"
                                           : "";
    if (*turned) out += (out.empty() ? "" : "; ") + std::string(turned);
    return out;
}

bool lay_needs_a_person(const Registration& reg) { return reg.mirrored || reg.mirror_evidence < kMirrorDecides; }

namespace {

// The clock of one read, against the time limit.
struct Timing {
    Clock::time_point start;
    std::chrono::milliseconds limit;

    double elapsed_ms() const { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }
    bool over() const { return Clock::now() - start > limit; }
    std::string error(const char* stage) const {
        return "the page took longer than the time limit of " + std::to_string(limit.count() / 1000.0).substr(0, 4) +
               " s while " + stage;
    }
};

// A small picture of the page for review outputs, when asked for.
void keep_thumbnail(PageResult& result, const cv::Mat& image, const ReadOptions& options) {
    if (options.thumbnail_long_side <= 0 || image.empty()) return;
    // Averaging whole k x k squares first is several times faster than
    // area resampling by a fraction of a large page.
    cv::Mat source = image;
    const int k = std::max(image.cols, image.rows) / (2 * options.thumbnail_long_side);
    if (k >= 2) {
        const cv::Mat whole = image(cv::Rect(0, 0, image.cols / k * k, image.rows / k * k));
        cv::resize(whole, source, cv::Size(whole.cols / k, whole.rows / k), 0, 0, cv::INTER_AREA);
    }
    const double f =
        std::min(1.0, static_cast<double>(options.thumbnail_long_side) / std::max(source.cols, source.rows));
    cv::Mat& thumbnail = result.thumbnail.emplace();
    cv::resize(source, thumbnail, cv::Size(), f, f, cv::INTER_AREA);
    if (thumbnail.channels() == 1) cv::cvtColor(thumbnail, thumbnail, cv::COLOR_GRAY2BGR);
    result.thumbnail_scale = static_cast<double>(thumbnail.cols) / std::max(result.image_size.width, 1);
}

// The block's picture in `surface` (located and rectified, or as it
// stood) through the decisions and the four steps.
PageResult finish(PageResult result, Surface surface, bool located, const ReadOptions& options,
                  const Timing& timing) {
    if (!result.block && options.keep_block && in_block_frame({surface.width(), surface.height()}))
        result.block = to_mat(surface);

    if (in_block_frame({surface.width(), surface.height()})) {
        result.decision = decide_columns(surface);
        result.reading = result.decision->reading;
    }

    // Both boxes may say "auto": the numbers are derived from the picture
    // and written into the boxes, so the steps and the window show them.
    std::string threshold = options.threshold.value_or(located ? "auto" : "35");
    std::string black_samples = options.black_samples.value_or(located ? "auto" : "8");
    const bool threshold_auto = is_auto(threshold), samples_auto = is_auto(black_samples);
    if (result.decision) {
        if (samples_auto) {
            const AutoSettings s = auto_settings(surface, *result.decision);
            black_samples = std::to_string(s.black_samples);
            if (threshold_auto) threshold = std::to_string(s.threshold);
        } else if (threshold_auto) {
            threshold = std::to_string(auto_threshold(surface, *result.decision, black_samples_of(black_samples)));
        }
    } else {
        if (threshold_auto) threshold = std::to_string(otsu_threshold(surface));
        if (samples_auto) black_samples = "8";
    }
    result.threshold = threshold;
    result.black_samples = black_samples;

    result.form.emplace(std::move(surface));
    Form1& form = *result.form;
    form.txtTreshold.Text = threshold;
    form.txtBlack_Pixels.Text = black_samples;
    form.Student_ID.Text = options.student_id;
    form.on_caption_changed = options.on_caption;
    for (const ButtonId id : options.clicks) {
        if (timing.over()) {
            form.on_caption_changed = nullptr;
            result.status = "error";
            result.why = timing.error("running the four steps");
            result.ms = timing.elapsed_ms();
            return result;
        }
        ClickOutcome outcome = click(form, id);
        if (outcome.error) {
            result.failed_button = id;
            result.error = std::move(outcome.error);
            break;
        }
    }
    form.on_caption_changed = nullptr;

    if (result.error) {
        result.status = "error";
        result.why = result.error->report();
    } else if (!result.decision) {
        result.status = "review";
        result.why = "the picture is not the ID block's frame (262 x 362), so its columns were not decided";
    } else if (!result.decision->all_digits) {
        result.status = "review";
        result.why = result.decision->reasons;
    } else if (form.Student_ID.Text != result.reading) {
        result.status = "review";
        result.why = "the four steps read \"" + form.Student_ID.Text + "\", the columns " + result.reading;
    } else {
        result.status = "ok";
    }
    // How the page lay: a mirrored one is read the right way round but goes
    // to a person; a turned one needs no one, but is said.
    if (result.registration && result.status != "error") {
        const std::string lay = how_it_lay(*result.registration);
        if (lay_needs_a_person(*result.registration)) result.status = "review";
        if (!lay.empty()) result.why = result.why.empty() ? lay : lay + "; " + result.why;
    }
    result.ms = timing.elapsed_ms();
    return result;
}

}  // namespace

PageResult read_page(PagePicture picture, const ReadOptions& options) {
    const Timing timing{Clock::now(), options.time_limit};

    PageResult result;
    result.image_size = picture.full_size.area() > 0 ? picture.full_size : picture.image.size();
    const cv::Size size = picture.exact ? cv::Size(picture.exact->width(), picture.exact->height())
                                        : picture.image.size();
    if (!to_locate(options, size)) {
        Surface surface = picture.exact ? std::move(*picture.exact) : to_surface(picture.image);
        if (options.thumbnail_long_side > 0)
            keep_thumbnail(result, picture.image.empty() ? to_mat(surface) : picture.image, options);
        return finish(std::move(result), std::move(surface), false, options, timing);
    }

    cv::Mat image = picture.image;
    if (image.empty() && picture.exact) image = to_mat(*picture.exact);
    int reduction = std::max(picture.reduction, 1);
    LocateOptions locate_options;
    locate_options.deadline = Deadline(timing.start + options.time_limit);
    LocateResult found = locate_block(grey_of(image), locate_options);
    if (!found.registration && !found.timed_out && reduction > 1 && picture.full_resolution && !timing.over()) {
        // Small printing on a page decoded at a reduced size: look again
        // at full size.
        if (auto full = picture.full_resolution()) {
            image = *full;
            reduction = 1;
            locate_options.reduced_searched = true;
            found = locate_block(grey_of(image), locate_options);
        }
    }
    if (found.timed_out || timing.over()) {
        result.status = "error";
        result.why = timing.error("locating the block");
        result.ms = timing.elapsed_ms();
        return result;
    }
    keep_thumbnail(result, image, options);
    if (!found.registration) {
        result.status = "not-found";
        result.why = found.why_not;
        result.ms = timing.elapsed_ms();
        return result;
    }
    const Registration& reg = *found.registration;
    result.registration = reduction > 1 ? scale_registration(reg, reduction) : reg;
    // A black-and-white page is smoothed to about a unit, so that a mark's
    // dots read as the grey they stand for.
    // A one-channel page's block was rectified already, for the mirror check.
    cv::Mat& block = result.block.emplace(image.channels() == 1 && !found.rectified.empty()
                                              ? found.rectified
                                              : rectify_block(image, reg.block_to_page, found.bilevel ? 1.0 : 0.0));
    if (block.channels() == 1) cv::cvtColor(block, block, cv::COLOR_GRAY2BGR);
    Surface surface = to_surface(block);
    return finish(std::move(result), std::move(surface), true, options, timing);
}

PageResult read_page(Surface exact, const ReadOptions& options) {
    if (to_locate(options, {exact.width(), exact.height()}) || options.thumbnail_long_side > 0) {
        PagePicture picture;
        picture.full_size = {exact.width(), exact.height()};
        picture.exact = std::move(exact);
        return read_page(std::move(picture), options);
    }
    PageResult result;
    result.image_size = {exact.width(), exact.height()};
    return finish(std::move(result), std::move(exact), false, options, Timing{Clock::now(), options.time_limit});
}

}  // namespace idr::scan
