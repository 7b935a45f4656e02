// The baseline for the GUI measurements: a bare Qt window with one button.
//   bare_qt_window start   show it, quit once the window system exposed it
//   bare_qt_window titles  then set the title 363 times, each pushed to the
//                          window system at once as id-reader does during
//                          "1. Binary", and report the time in ms
// Prints "peak_rss_kb <n>" last.

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QWindow>

#include <cstdio>
#include <cstring>

#include "proc_status.h"

int main(int argc, char* argv[]) {
    const bool titles = argc > 1 && std::strcmp(argv[1], "titles") == 0;
    QApplication app(argc, argv);
    QWidget window;
    window.resize(420, 384);
    QPushButton button(QStringLiteral("Button"), &window);
    button.setGeometry(288, 56, 89, 25);
    window.show();
    while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
        app.processEvents(QEventLoop::WaitForMoreEvents);
    }
    app.processEvents();

    if (titles) {
        QElapsedTimer timer;
        timer.start();
        for (int row = 0; row <= 362; ++row) {
            window.setWindowTitle(QStringLiteral("Image binary process done  %1%").arg(row * 100 / 362));
            app.processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        std::printf("titles_ms %.2f\n", static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("peak_rss_kb %ld\n", peak_rss_kb());
    return 0;
}
