#pragma once
// What main() sets up before the window is built; the widget tests and the
// start-up probe do the same, so they see the window the program shows.

class QApplication;

namespace idr {

// Fusion style (the same look on every desktop) and the window font for
// everything, message boxes included.
void prepare_application(QApplication& app);

}  // namespace idr
