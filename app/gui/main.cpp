// id-reader: the window. No command line, no files, no settings: the sheet is
// compiled in, and closing the window ends the program.

#include <QApplication>

#include "form/form1.h"
#include "app/gui/application.h"
#include "app/gui/main_window.h"

int main(int argc, char* argv[]) {
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
