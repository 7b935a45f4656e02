// id-reader-cli: the reader's buttons on the window model, without a window.

#include <algorithm>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/options.h"
#include "app/cli/reader.h"
#include "printing/form_drawing.h"

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
    if (auto problem = write_form(*options.print_form, paper, options.dpi)) {
        err << "id-reader-cli: " << *problem << '\n';
        return idr::cli::kExitFile;
    }
    return idr::cli::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace idr::cli;
    std::ios::sync_with_stdio(false);
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
        return checked_output(run_pages(parsed.options, std::cin, std::cout, std::cerr));
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "id-reader-cli: " << e.what() << '\n';
        return kExitRuntimeError;
    }
}
