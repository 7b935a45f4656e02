// id-reader: the window. No files, no settings: the sheet is compiled in, and
// closing the window ends the program. One hidden option for scripts:
// --print-layout prints the window's rectangles and exits (no display needed).

#include <QApplication>

#include <cstring>
#include <iostream>

#include "app/gui/application.h"
#include "app/gui/layout_report.h"
#include "app/gui/main_window.h"
#include "form/form1.h"

int main(int argc, char* argv[]) {
    if (argc == 2 && std::strcmp(argv[1], "--print-layout") == 0) {
        idr::print_layout(std::cout);
        return std::cout.flush() ? 0 : 1;
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
