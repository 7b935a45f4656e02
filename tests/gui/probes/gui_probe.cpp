// Times the real window in-process, on whatever platform Qt is given (the
// measurement script runs it under Xvfb).
//   gui_probe start   build the window as id-reader does, show it, quit once
//                     the window system has exposed it (timed from outside)
//   gui_probe binary  show it, then click "1. Binary" and report the time to
//                     the final caption and the repainted picture, in ms
// Prints "peak_rss_kb <n>" last.

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <cstdio>
#include <cstring>

#include "form/form1.h"
#include "app/gui/application.h"
#include "app/gui/caption_button.h"
#include "app/gui/main_window.h"
#include "proc_status.h"

namespace {

void wait_until_exposed(QApplication& app, QWidget& window) {
    while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
        app.processEvents(QEventLoop::WaitForMoreEvents);
    }
    app.processEvents();  // the first paint, flushed to the server
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool binary = argc > 1 && std::strcmp(argv[1], "binary") == 0;
    QApplication app(argc, argv);
    idr::prepare_application(app);
    idr::Form1 form;
    idr::MainWindow window(form);
    window.show();
    wait_until_exposed(app, window);

    if (binary) {
        QElapsedTimer timer;
        timer.start();
        window.button(idr::ButtonId::Binary)->click();
        const double returned_ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        app.processEvents();  // the repaint the click scheduled, flushed
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        std::printf("binary_ms %.2f\nbinary_click_returned_ms %.2f\ncaption %s\n", ms, returned_ms,
                    qPrintable(window.windowHandle()->title()));

        idr::Form1 bare_model;
        timer.restart();
        idr::click(bare_model, idr::ButtonId::Binary);
        std::printf("binary_model_only_ms %.2f\n", static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("peak_rss_kb %ld\n", peak_rss_kb());
    return 0;
}
