#include "review/page_outcome.h"

namespace idr::review {

PageOutcome outcome_of(const std::string& file, int page, const scan::PageResult& result) {
    PageOutcome o;
    o.file = file;
    o.page = page;
    o.status = result.status;
    o.why = result.why;
    o.reading = result.reading;
    if (result.form) {
        o.student_id = result.form->Student_ID.Text;
        o.caption = result.form->Caption();
    }
    o.threshold = result.threshold;
    o.black_samples = result.black_samples;
    o.decision = result.decision;
    o.registration = result.registration;
    o.image_size = result.image_size;
    if (result.status == "error" && !result.error) o.error = result.why;  // e.g. the time limit
    o.ms = result.ms;
    return o;
}

PageOutcome unreadable_page(const std::string& file, int page, const std::string& message) {
    PageOutcome o;
    o.file = file;
    o.page = page;
    o.status = "unreadable";
    o.error = message;
    return o;
}

}  // namespace idr::review
