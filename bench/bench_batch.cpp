// Pages per second of id-reader-cli on a batch of 200 greyscale 300-dpi JPEG
// scans, with one and two threads, and with the review outputs. The pages
// are made once into a folder (default /tmp/idr-bench-batch) and kept for
// later runs. Not a test: nothing here asserts a time.
//
//   bench_batch [FOLDER] [PAGES]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/pagegen/output.h"
#include "tools/pagegen/page.h"

namespace fs = std::filesystem;
using namespace idr;

namespace {

int make_pages(const fs::path& dir, int count) {
    fs::create_directories(dir);
    int made = 0;
    for (int k = 0; k < count; ++k) {
        const fs::path path = dir / ("scan" + std::to_string(1000 + k) + ".jpg");
        if (fs::exists(path)) continue;
        pagegen::PagePlan plan = pagegen::random_plan(7000 + static_cast<std::uint64_t>(k), pagegen::Kind::Scan);
        plan.dpi = 300;
        plan.colour = false;
        plan.cream_paper = false;
        plan.format = pagegen::FileFormat::Jpeg;
        if (plan.jpeg_quality == 0) plan.jpeg_quality = 85;
        if (auto problem = pagegen::write_page(pagegen::make_page(plan), plan.format, path.string())) {
            std::fprintf(stderr, "%s\n", problem->c_str());
            return -1;
        }
        ++made;
    }
    return made;
}

double seconds_of(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) std::fprintf(stderr, "exit status %d: %s\n", status, command.c_str());
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? argv[1] : "/tmp/idr-bench-batch";
    const int count = argc > 2 ? std::atoi(argv[2]) : 200;
    const fs::path pages = dir / "pages";
    const int made = make_pages(pages, count);
    if (made < 0) return 1;
    std::printf("%d pages in %s (%d made now)\n", count, pages.c_str(), made);

    const std::string cli = std::string(IDR_CLI_PATH) + " --quiet --csv ";
    const struct {
        const char* name;
        std::string options;
    } runs[] = {
        {"--jobs 1", "--jobs 1"},
        {"--jobs 2", "--jobs 2"},
        {"--jobs 1 --overlay --report", "--jobs 1 --overlay " + (dir / "overlay").string() + " --report " +
                                            (dir / "report.html").string()},
        {"--jobs 2 --overlay --report", "--jobs 2 --overlay " + (dir / "overlay").string() + " --report " +
                                            (dir / "report.html").string()},
        {"--jobs 2 --xlsx", "--jobs 2 --xlsx " + (dir / "results.xlsx").string()},
    };
    for (const auto& run : runs) {
        const double s = seconds_of(cli + run.options + " " + pages.string() + " > " + (dir / "out.csv").string());
        std::printf("%-30s %6.2f s  %6.2f pages/s\n", run.name, s, count / s);
        std::fflush(stdout);
    }
    return 0;
}
