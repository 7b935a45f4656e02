// id-reader-cli: the reader's buttons on the window model, without a window.

#include <algorithm>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <csignal>

#include <unistd.h>

#include "app/cli/batch.h"
#include "app/cli/options.h"
#include "app/cli/reader.h"
#include "app/lazy/lazy_library.h"
#include "printing/form_drawing.h"
#include "scan/page_memory.h"

namespace {

// Output that could not be written (a closed standard output, a full disk)
// must not end as a success.
int checked_output(int status) {
    std::cout.flush();
    if (std::cout) return status;
    std::cerr << "id-reader-cli: cannot write the results to standard output\n";
    return std::max(status, idr::cli::kExitFile);
}

int print_form(const idr::cli::Options& options, std::ostream& err) {
    using namespace idr::printing;
    const Paper paper = !options.paper ? default_paper() : *options.paper == "letter" ? Paper::Letter : Paper::A4;
    if (auto missing = idr::lazy::cairo().problem()) {
        err << "id-reader-cli: " << *options.print_form << ": cannot draw the form: " << *missing << '\n';
        return idr::cli::kExitFile;
    }
    if (auto problem = write_form(*options.print_form, paper, options.dpi)) {
        err << "id-reader-cli: " << *problem << '\n';
        return idr::cli::kExitFile;
    }
    return idr::cli::kExitOk;
}

// Ctrl+C (or a polite kill) stops the batch: no new page is started, the
// pages in flight are finished and written, so no output line is cut. Only
// the first signal is caught; a second one ends the program at once, as the
// user expects of an impatient Ctrl+C.
extern "C" void on_stop_signal(int) { idr::cli::request_stop(); }

void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace idr::cli;
    std::ios::sync_with_stdio(false);
    idr::scan::keep_page_buffers();
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
        const ParseResult parsed = parse_command_line(args);
        switch (parsed.action) {
            case ParseResult::Action::Help:
                std::cout << parsed.help;
                return checked_output(kExitOk);
            case ParseResult::Action::Version:
                std::cout << "id-reader-cli " << IDR_VERSION << '\n';
                return checked_output(kExitOk);
            case ParseResult::Action::UsageError:
                std::cerr << "id-reader-cli: " << parsed.error << "\n(try id-reader-cli --help)\n";
                return kExitUsage;
            case ParseResult::Action::Run:
                break;
        }
        if (parsed.options.print_form) return checked_output(print_form(parsed.options, std::cerr));
        catch_stop_signals();
        RunSettings settings;
        settings.progress_line = isatty(STDERR_FILENO) == 1;
        return checked_output(run_pages(parsed.options, std::cin, std::cout, std::cerr, settings));
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "id-reader-cli: " << e.what() << '\n';
        return kExitRuntimeError;
    }
}
