#pragma once
// The blank answer-sheet form on a printer: the same page as
// `id-reader-cli --print-form`, rendered at 300 dpi and drawn over the whole
// sheet of paper (the form keeps its own margins).

#include <QString>

#include <optional>

#include "printing/form_drawing.h"

class QPrinter;

namespace idr {

inline constexpr double kPrintDpi = 300;

// Letter for printers set to Letter, else A4 (the form has only these two).
printing::Paper paper_of(const QPrinter& printer);

// Before the print dialog: the locale's paper, the whole sheet as the
// painter's area, one copy, the document named.
void prepare_printer(QPrinter& printer);

// Prints one page; returns what went wrong, or nothing.
std::optional<QString> paint_blank_form(QPrinter& printer);

}  // namespace idr
