#pragma once
// What main() sets up before the window is built; the widget tests and the
// start-up probe do the same, so they see the window the program shows.

class QApplication;

namespace idr {

// Fusion style (the same look on every desktop), the window font for
// everything, message boxes included, and the translation of the window's
// own texts for the system locale.
void prepare_application(QApplication& app);

}  // namespace idr
