#include "review/reviewed_page.h"

#include <new>
#include <utility>
#include <variant>

#include "reading/dispatch.h"
#include "review/review_picture.h"

namespace idr::review {

scan::ReadOptions review_read_options() {
    scan::ReadOptions read;
    read.thumbnail_long_side = kReviewThumbnailSide;
    return read;
}

ReviewedPage read_for_review(PageDecoder& decoder, const std::string& file, int page, bool png) {
    ReviewedPage out;
    auto unreadable = [&](const std::string& message) {
        out.outcome = unreadable_page(file, page, message);
        out.picture = review_picture(out.outcome, png);
        return std::move(out);
    };
    try {
        auto picture = decoder.picture(file, page);
        if (auto* message = std::get_if<std::string>(&picture)) return unreadable(*message);
        const scan::PageResult result = scan::read_page(std::move(std::get<scan::PagePicture>(picture)),
                                                        review_read_options());
        out.outcome = outcome_of(file, page, result);
        if (result.error && result.failed_button && result.form)
            out.outcome.error = button_of(*result.form, *result.failed_button).name + ": " + result.error->report();
        out.picture = review_picture(out.outcome, result, png);
    } catch (const std::bad_alloc&) {
        decoder.close();
        return unreadable("cannot load: not enough memory");
    }
    return out;
}

}  // namespace idr::review
