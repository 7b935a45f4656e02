// id-reader: the window. No files, no settings: the sheet is compiled in, and
// closing the window ends the program. The command line knows only --help and
// --version (and Qt's own options).

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "app/gui/application.h"
#include "app/gui/layout_report.h"
#include "app/gui/main_window.h"
#include "form/form1.h"

namespace {

constexpr const char* kUsage =
    "Usage: id-reader [OPTIONS]\n"
    "\n"
    "Opens the id-reader window on the built-in answer sheet. Its four buttons, used in\n"
    "order, read the sheet's student ID block: 1. Binary (black and white by the\n"
    "brightness threshold), 2. Draw grid, 3. Check  object (marks the filled cells),\n"
    "4. Check ID (the marked cells' digits, column by column).\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "Qt's own options (-platform NAME, -display DISPLAY, -style NAME, ...) are accepted.\n"
    "The same steps without a window, on the built-in sheet or on scans: id-reader-cli.\n";

// Answered before QApplication exists, so both work without a display (the
// man page is generated from --help on build machines that have none).
// Returns true when the program should end.
bool answer_help_or_version(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) break;
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(arg, "-V") == 0 || std::strcmp(arg, "--version") == 0) {
            std::printf("id-reader %s\n", IDR_VERSION);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 2 && std::strcmp(argv[1], "--print-layout") == 0) {
        // Hidden, for scripts: the window's rectangles, no display needed.
        idr::print_layout(std::cout);
        return std::cout.flush() ? 0 : 1;
    }
    if (answer_help_or_version(argc, argv)) {
        // A closed or full standard output is a failure, not a silent success.
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    QApplication app(argc, argv);
    idr::prepare_application(app);
    idr::Form1 form;
    idr::MainWindow window(form);
    window.show();
    // Ask for the keyboard focus, so the keys reach picRedraw from the
    // start also where no window manager hands it out.
    window.activateWindow();
    return app.exec();
}
