// make_pages: writes varied test pages and their truth (truth.jsonl) for the
// scan reader. See tools/pagegen/README.md.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <opencv2/imgproc.hpp>

#include "tools/pagegen/output.h"
#include "tools/pagegen/page.h"
#include "tools/pagegen/random.h"

namespace {

using namespace idr::pagegen;

// How often each kind comes up when none are asked for: mostly scans, as
// the reader will mostly see.
Kind default_kind(Random& rng) {
    const double roll = rng.unit();
    if (roll < 0.45) return Kind::Scan;
    if (roll < 0.7) return Kind::Photo;
    if (roll < 0.8) return Kind::BlockOnly;
    if (roll < 0.9) return Kind::BackPage;
    return Kind::RingsOnly;
}

std::string page_name(int index, FileFormat format) {
    std::ostringstream s;
    s << 'p' << std::setw(4) << std::setfill('0') << index << file_extension(format);
    return s.str();
}

// Small red crosses on the truth corners, for checking them by eye.
void mark_corners(GeneratedPage& page) {
    if (!page.truth.corners) return;
    if (page.image.channels() == 1) cv::cvtColor(page.image, page.image, cv::COLOR_GRAY2BGR);
    page.jpeg_bytes.clear();
    const int arm = std::max(3, static_cast<int>(*page.truth.unit_px * 4));
    for (const auto& c : *page.truth.corners) {
        // Line ends are whole pixels; a cross centred on a fractional point
        // is drawn with 4 bits of sub-pixel precision.
        constexpr int kShift = 4;
        const cv::Point p(static_cast<int>(std::lround(c.x * 16)), static_cast<int>(std::lround(c.y * 16)));
        const cv::Point dx(arm * 16, 0), dy(0, arm * 16);
        cv::line(page.image, p - dx, p + dx, cv::Scalar(0, 0, 255), 1, cv::LINE_AA, kShift);
        cv::line(page.image, p - dy, p + dy, cv::Scalar(0, 0, 255), 1, cv::LINE_AA, kShift);
    }
}

struct Bundle {
    FileFormat format = FileFormat::Tiff;
    std::string name;
    std::vector<GeneratedPage> pages;
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes test pages with the student-ID block (and pages without it) and their truth."};
    std::string out_dir;
    int count = 20;
    std::uint64_t seed = 1;
    std::vector<std::string> kind_names;
    std::vector<std::string> stack_names;
    int multipage = 0;
    bool show_corners = false;
    bool quiet = false;
    app.add_option("OUTDIR", out_dir, "Folder for the pages and truth.jsonl (created if missing)")->required();
    app.add_option("--count", count, "Number of pages")->check(CLI::Range(1, 100000));
    app.add_option("--seed", seed, "Seed: the same seed gives the same pages, byte for byte");
    app.add_option("--kinds", kind_names, "Kinds of page to draw from: scan, photo, block, back, rings")
        ->delimiter(',')
        ->check([](const std::string& k) {
            return kind_from_name(k) ? std::string() : "unknown kind '" + k + "' (scan, photo, block, back, rings)";
        });
    app.add_option("--stack", stack_names,
                   "What the stack does to each page, drawn from: upright, turned, mirrored, bw, dither "
                   "(bw and dither only for scans, back and rings pages)")
        ->delimiter(',')
        ->check([](const std::string& k) {
            return stack_kind_from_name(k) ? std::string()
                                           : "unknown stack '" + k + "' (upright, turned, mirrored, bw, dither)";
        });
    app.add_option("--multipage", multipage,
                   "Gather up to this many pages into one TIFF or PDF when a page comes out as one")
        ->check(CLI::Range(0, 100));
    app.add_flag("--show-corners", show_corners, "Draw a red cross on each truth corner (for checking by eye)");
    app.add_flag("--quiet", quiet, "Print only the summary");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    std::vector<Kind> kinds;
    for (const auto& k : kind_names) kinds.push_back(*kind_from_name(k));
    std::vector<StackKind> stacks;
    for (const auto& k : stack_names) stacks.push_back(*stack_kind_from_name(k));

    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec) {
        std::cerr << "make_pages: " << out_dir << ": " << ec.message() << '\n';
        return 3;
    }
    const std::filesystem::path dir(out_dir);
    std::ofstream truth_file(dir / "truth.jsonl");
    if (!truth_file) {
        std::cerr << "make_pages: " << (dir / "truth.jsonl").string() << ": could not be created\n";
        return 3;
    }

    Random master(seed);
    std::optional<Bundle> bundle;
    int files = 0;
    auto flush = [&]() -> bool {
        if (!bundle) return true;
        std::vector<const GeneratedPage*> pages;
        for (const auto& p : bundle->pages) pages.push_back(&p);
        if (auto err = write_pages(pages, bundle->format, (dir / bundle->name).string())) {
            std::cerr << "make_pages: " << *err << '\n';
            return false;
        }
        for (const auto& p : bundle->pages) truth_file << truth_json(p.truth).dump() << '\n';
        ++files;
        bundle.reset();
        return true;
    };

    for (int i = 1; i <= count; ++i) {
        const std::uint64_t page_seed = master.next();
        Random pick(page_seed);
        const Kind kind = kinds.empty() ? default_kind(pick)
                                        : kinds[static_cast<std::size_t>(pick.between(0, static_cast<int>(kinds.size()) - 1))];
        PagePlan plan = random_plan(page_seed, kind);
        if (!stacks.empty()) {
            // A stream of its own, so the same seed without --stack gives the
            // same pages as before.
            Random stack_pick(page_seed ^ 0x5A5A17ull);
            StackKind sk = stacks[static_cast<std::size_t>(stack_pick.between(0, static_cast<int>(stacks.size()) - 1))];
            // Black and white is a scanner's mode: photos and the block alone stay grey.
            if ((sk == StackKind::Bw || sk == StackKind::Dither) &&
                (plan.kind == Kind::Photo || plan.kind == Kind::BlockOnly))
                sk = StackKind::Upright;
            plan.stack = random_stack(stack_pick.next(), sk);
            if (plan.stack.bilevel != Bilevel::None) {
                plan.format = plan.stack.file == BilevelFile::Png1  ? FileFormat::Png
                              : plan.stack.file == BilevelFile::Pdf ? FileFormat::Pdf
                                                                    : FileFormat::Tiff;
                plan.jpeg_quality = 0;
                // An office scan is made at a cut that keeps the students'
                // fills: a pencil lighter than it would leave nothing to read.
                if (plan.stack.bilevel == Bilevel::Threshold)
                    for (auto& c : plan.columns)
                        if (c.mark == Mark::Pencil || c.mark == Mark::Double)
                            c.level = std::min(c.level, darkest_surviving_pencil(plan.stack.cut));
            }
        }
        const bool bundles = plan.kind != Kind::Photo && plan.kind != Kind::BlockOnly &&
                             plan.stack.bilevel == Bilevel::None;
        if (bundle && bundles && bundle->pages.size() < static_cast<std::size_t>(multipage)) {
            plan.format = bundle->format;
        } else {
            if (!flush()) return 3;
            if (multipage > 1 && bundles && (plan.format == FileFormat::Tiff || plan.format == FileFormat::Pdf))
                bundle = Bundle{plan.format, page_name(i, plan.format), {}};
        }
        GeneratedPage page = make_page(plan);
        if (show_corners) mark_corners(page);
        Truth& t = page.truth;
        if (bundle) {
            t.file = bundle->name;
            t.page = static_cast<int>(bundle->pages.size()) + 1;
        } else {
            t.file = page_name(i, plan.format);
        }
        if (!quiet)
            std::cout << t.file << (t.page > 1 ? " page " + std::to_string(t.page) : "") << ": " << t.kind << ' '
                      << t.width << 'x' << t.height << ' ' << t.status << ' ' << t.reading << '\n';
        if (bundle) {
            bundle->pages.push_back(std::move(page));
            continue;
        }
        if (auto err = write_page(page, plan.format, (dir / t.file).string())) {
            std::cerr << "make_pages: " << *err << '\n';
            return 3;
        }
        truth_file << truth_json(t).dump() << '\n';
        ++files;
    }
    if (!flush()) return 3;
    truth_file.close();
    if (!truth_file) {
        std::cerr << "make_pages: " << (dir / "truth.jsonl").string() << ": could not be written\n";
        return 3;
    }
    std::cout << count << " pages in " << files << " files, truth in " << (dir / "truth.jsonl").string() << '\n';
    return 0;
}
