#pragma once
// `id-reader --review RESULTS.jsonl`: the pages of a headless run (the JSON
// Lines of `id-reader-cli --json`) that were not read "ok", in the file's
// order, for the operator to look at in the window. No Qt here.

#include <istream>
#include <string>

#include "app/gui/page_list.h"

namespace idr {

// The pages of `in` whose "status" is not "ok". `name` names the results in
// messages. A line that is not such an object, a file that does not exist
// and a page that its file does not have each give one message naming the
// line; the other lines still count. A relative file name is looked up
// from the working folder, then from `base_folder` (the results' folder).
PageListing review_pages(std::istream& in, const std::string& name, const std::string& base_folder);

// The same from a file; a results file that cannot be read is one message.
PageListing review_pages_from_file(const std::string& path);

}  // namespace idr
