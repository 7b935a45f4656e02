// id-reader: the window. Without files it shows the built-in sheet; files
// and folders named on the command line (or --review RESULTS.jsonl) open as
// a list of pages. No settings: closing the window ends the program.

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "app/gui/application.h"
#include "app/gui/layout_report.h"
#include "app/gui/main_window.h"
#include "form/form1.h"
#include "scan/page_memory.h"

namespace {

constexpr const char* kUsage =
    "Usage: id-reader [OPTIONS] [FILE | DIR ...]\n"
    "\n"
    "Opens the id-reader window on the built-in answer sheet, or on the pages of the\n"
    "scans named (PNG, JPEG, TIFF, WebP, BMP, HEIC, AVIF, PDF; a folder: its scan\n"
    "files by name).\n"
    "Its four buttons, used in order, read the student ID block: 1. Binary (black and\n"
    "white by the brightness threshold), 2. Draw grid, 3. Check  object (marks the\n"
    "filled cells), 4. Check ID (the marked cells' digits, column by column).\n"
    "\n"
    "  --review RESULTS.jsonl  open the pages that id-reader-cli --json did not read \"ok\"\n"
    "  -h, --help              print this help and exit\n"
    "  -V, --version           print the version and exit\n"
    "\n"
    "Keys: PgDown / PgUp next and previous page, Ctrl+R the page afresh, Ctrl+O open\n"
    "scans, Ctrl+Shift+O open a folder, Ctrl+S save the IDs to id-reader-review.csv\n"
    "in the folder of the first file opened, Ctrl+E write the HTML report of the pages\n"
    "open (as id-reader-cli --report does), Ctrl+P print the blank form.\n"
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

// What the command line asks for, once Qt has taken its own options out.
struct Arguments {
    QStringList files;
    QStringList reviews;
    QString error;  // a usage error, in words
};

Arguments parse_arguments(const QStringList& args) {
    Arguments out;
    bool options_end = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!options_end && arg == QLatin1String("--")) {
            options_end = true;
        } else if (!options_end && arg == QLatin1String("--review")) {
            if (i + 1 >= args.size()) {
                out.error = QStringLiteral("--review needs the results file (JSON Lines of id-reader-cli --json)");
                return out;
            }
            out.reviews << args[++i];
        } else if (!options_end && arg.startsWith(QLatin1String("--review="))) {
            out.reviews << arg.mid(9);
        } else if (!options_end && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            out.error = QStringLiteral("unknown option %1 (see id-reader --help)").arg(arg);
            return out;
        } else {
            out.files << arg;
        }
    }
    return out;
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
    // A usage error that needs no display is told without one.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--review") == 0 && i + 1 == argc) {
            std::fputs("id-reader: --review needs the results file (JSON Lines of id-reader-cli --json)\n", stderr);
            return 2;
        }
    }
    idr::scan::keep_page_buffers();
    QApplication app(argc, argv);  // takes Qt's own options out of the list
    const Arguments args = parse_arguments(QApplication::arguments());
    if (!args.error.isEmpty()) {
        std::fprintf(stderr, "id-reader: %s\n", args.error.toLocal8Bit().constData());
        return 2;
    }
    idr::prepare_application(app);
    idr::Form1 form;
    idr::MainWindow window(form);
    window.show();
    // Ask for the keyboard focus, so the keys reach picRedraw from the
    // start also where no window manager hands it out.
    window.activateWindow();
    // The pages open once the window is up; what could not be opened is
    // reported over it.
    QTimer::singleShot(0, &window, [&window, &args] {
        for (const QString& results : args.reviews) window.open_review(results);
        if (!args.files.isEmpty()) window.open_paths(args.files);
    });
    return app.exec();
}
