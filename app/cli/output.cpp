#include "app/cli/output.h"

#include <cmath>
#include <ostream>

#include <nlohmann/json.hpp>

#include "review/cell_text.h"

namespace idr::cli {

namespace {

using Json = nlohmann::ordered_json;
using review::csv_field;
using review::spreadsheet_safe;

// Division by a whole power of ten gives the shortest decimal text (0.009,
// not 0.009000000000000001).
double rounded(double v, double step) {
    const double per_unit = std::round(1 / step);
    return std::round(v * per_unit) / per_unit;
}

Json columns_json(const scan::BlockDecision& decision) {
    Json columns = Json::array();
    for (const auto& c : decision.columns) {
        Json darkness = Json::array();
        for (double d : c.darkness) darkness.push_back(rounded(d, 0.001));
        columns.push_back({{"state", scan::state_name(c.state)},
                           {"digit", c.state == scan::ColumnState::Digit ? Json(c.digit) : Json(nullptr)},
                           {"margin", rounded(c.margin, 0.001)},
                           {"darkness", darkness}});
    }
    return columns;
}

Json registration_json(const scan::Registration& reg) {
    Json corners = Json::array();
    for (const auto& p : reg.corners) corners.push_back({rounded(p.x, 0.001), rounded(p.y, 0.001)});
    return {{"corners", corners},
            {"unit_px", rounded(reg.unit_px, 0.0001)},
            {"angle_deg", rounded(reg.angle_deg, 0.001)},
            {"residual_units", rounded(reg.residual_units, 0.001)},
            {"mirror_evidence", rounded(reg.mirror_evidence, 0.001)}};
}

}  // namespace

ResultWriter::ResultWriter(std::ostream& out, OutputFormat format, bool several_files, bool cells)
    : out_(out), format_(format), several_files_(several_files), cells_(cells) {}

void ResultWriter::begin() {
    if (format_ == OutputFormat::Csv) out_ << "sheet,student_id,caption,error,page,status,reading,why\n";
}

void ResultWriter::set_multi_page(bool multi) { multi_page_ = multi; }

void ResultWriter::page_header(const std::string& file, int page) {
    header_written_ = true;
    if (format_ != OutputFormat::Text) return;
    if (several_files_ || multi_page_) out_ << "sheet: " << file << '\n';
    if (multi_page_) out_ << "page: " << page << '\n';
}

void ResultWriter::write(const PageOutcome& o, const Form1* form) {
    switch (format_) {
    case OutputFormat::Text:
        if (!header_written_) page_header(o.file, o.page);
        if (o.status != "unreadable") {
            out_ << "caption: " << o.caption << '\n';
            out_ << "student-id: " << o.student_id << '\n';
        }
        out_ << "status: " << o.status << '\n';
        if (o.status != "unreadable" && o.status != "not-found") out_ << "reading: " << o.reading << '\n';
        if (!o.why.empty() && o.status != "error") out_ << "why: " << o.why << '\n';
        if (cells_ && form) write_cells_table(*form, out_);
        break;
    case OutputFormat::Csv:
        out_ << csv_field(spreadsheet_safe(o.file)) << ',' << csv_field(spreadsheet_safe(o.student_id)) << ','
             << csv_field(o.caption) << ',' << csv_field(o.error) << ',' << o.page << ',' << o.status << ','
             << csv_field(o.reading) << ',' << csv_field(o.status == "error" ? std::string() : o.why) << '\n';
        break;
    case OutputFormat::Json: {
        Json j;
        j["file"] = o.file;
        j["page"] = o.page;
        j["status"] = o.status;
        j["reading"] = o.reading;
        j["student_id"] = o.student_id;
        j["caption"] = o.caption;
        j["threshold"] = o.threshold;
        j["black_samples"] = o.black_samples;
        j["columns"] = o.decision ? columns_json(*o.decision) : Json(nullptr);
        j["registration"] = o.registration ? registration_json(*o.registration) : Json(nullptr);
        // How the block lay on the page: the quarter turn (counter-clockwise)
        // and whether it was seen mirrored; null when it was not found.
        j["turn"] = o.registration ? Json(o.registration->turn) : Json(nullptr);
        j["mirrored"] = o.registration ? Json(o.registration->mirrored) : Json(nullptr);
        j["image_size"] = o.image_size.area() > 0 ? Json::array({o.image_size.width, o.image_size.height})
                                                  : Json(nullptr);
        j["error"] = o.error.empty() ? Json(nullptr) : Json(o.error);
        j["why"] = o.why.empty() ? Json(nullptr) : Json(o.why);
        j["ms"] = rounded(o.ms, 0.1);
        // Invalid UTF-8 in a file name or a typed text is replaced, not a
        // reason to stop the batch.
        out_ << j.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
        break;
    }
    }
    header_written_ = false;
    out_.flush();
}

void ResultWriter::end() { out_.flush(); }

}  // namespace idr::cli
