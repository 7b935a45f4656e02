#pragma once
// Texts placed in spreadsheet cells and CSV fields: the CSV lines of
// id-reader-cli, the spreadsheet and the review file of corrections all
// write file names and typed IDs, which may be anything.

#include <string>

namespace idr::review {

// A field that a spreadsheet program would take for a formula (it starts
// with =, +, -, @, a tab or a carriage return) gets a leading apostrophe, as
// spreadsheet programs expect, so opening the file runs nothing.
std::string spreadsheet_safe(const std::string& text);

// RFC 4180 field: quoted when it holds a comma, a quote, CR or LF, with the
// quotes doubled.
std::string csv_field(const std::string& text);

// Text a spreadsheet cell can hold: invalid UTF-8 replaced by U+FFFD, at
// most 32,767 characters, and never the start of a formula.
std::string spreadsheet_text(const std::string& text);

}  // namespace idr::review
