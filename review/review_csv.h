#pragma once
// The operator's review file: one row per page read in the window, written
// (or updated) by Ctrl+S as `id-reader-review.csv` in the folder of the
// first file opened. Columns:
//   file     the scan, relative to the CSV's folder when it lies inside it
//   page     1-based page within the file
//   reading  the columns' reading ('_' blank, '*' several marks, '?' unsure)
//   status   ok | review | corrected
//   id       the ID to use: the reading when ok, the operator's ID when
//            corrected, empty when the page still needs review
// Updating keeps every row of other pages already in the file, in place.

#include <optional>
#include <string>
#include <vector>

namespace idr::review {

inline constexpr const char* kReviewFileName = "id-reader-review.csv";
inline constexpr const char* kReviewHeader = "file,page,reading,status,id";

struct ReviewRow {
    std::string file;
    int page = 1;
    std::string reading;
    std::string status;
    std::string id;
};

// The fields of each record of CSV text; quoted fields may span lines. A
// leading UTF-8 byte-order mark is skipped.
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

// The file's text after the update: the header, then the existing rows with
// rows of the same file and page replaced by `rows`, then the rows that were
// not in it yet. `existing` empty: a new file. Returns nothing when the
// existing text is not a review file (another header): it is not ours to
// overwrite.
std::optional<std::string> updated_review_csv(const std::string& existing, const std::vector<ReviewRow>& rows);

// How a scan is named in the file: relative to `folder` when it lies inside
// it, else its absolute path.
std::string file_for_csv(const std::string& file, const std::string& folder);

// Reads `path` (if it exists), updates it and writes it back through a
// temporary file beside it, so a failure leaves the old file whole. Returns
// an error message naming the file and the reason, or nothing.
std::optional<std::string> write_review_csv(const std::string& path, const std::vector<ReviewRow>& rows);

}  // namespace idr::review
