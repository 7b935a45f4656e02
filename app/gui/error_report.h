#pragma once
// How the window reports a run-time error that stopped a handler: a modal
// message box naming the kind of error and what failed. The window keeps
// running afterwards with everything the handler did before the failing step.

#include <QString>

#include "rules/error.h"

class QWidget;

namespace idr {

struct ErrorReport {
    QString title;    // the message box's window title
    QString text;     // "Run-time error: <kind>"
    QString details;  // what failed, and that the window carries on
};

ErrorReport describe(const RuntimeError& error);

// Shows the report in a modal message box over `parent` and returns when the
// operator has dismissed it (Enter, Escape or OK).
void show_error_report(QWidget* parent, const RuntimeError& error);

}  // namespace idr
