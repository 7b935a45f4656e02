// What the review outputs add to a page: its picture drawn (the block with
// every column's decision, the page small, the legend) and written as PNG by
// the review pictures' own writer, beside zlib at its fastest level through
// libspng; and the small page made while reading. One 300-dpi A4 grey scan,
// made by the test-page maker with a fixed seed, read once before timing.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "review/overlay.h"
#include "review/page_outcome.h"
#include "review/review_picture.h"
#include "scan/encode.h"
#include "scan/load.h"
#include "scan/image_threads.h"
#include "scan/page_memory.h"
#include "scan/read_page.h"
#include "tools/pagegen/page.h"

namespace {

struct ReadPage {
    idr::scan::Page page;
    idr::scan::PageResult result;
    idr::review::PageOutcome outcome;
};

idr::scan::PagePicture picture_of(const idr::scan::Page& page) {
    idr::scan::PagePicture picture;
    picture.image = page.image;
    picture.full_size = page.full_size;
    picture.reduction = page.reduction;
    return picture;
}

const ReadPage& a4_page() {
    static const ReadPage read = [] {
        idr::pagegen::PagePlan plan = idr::pagegen::random_plan(11, idr::pagegen::Kind::Scan);
        plan.dpi = 300;
        plan.unit_px = 1.5;
        plan.colour = false;
        plan.rotation_deg = 1.2;
        plan.paper_width_in = 2480 / 300.0;
        plan.paper_height_in = 3508 / 300.0;
        const std::vector<std::uint8_t> jpeg = idr::scan::encode_jpeg(idr::pagegen::make_page(plan).image, 90);
        auto opened = idr::scan::open_scan_bytes(std::string(jpeg.begin(), jpeg.end()), "page");
        auto& source = *std::get<std::unique_ptr<idr::scan::PageSource>>(opened);
        ReadPage out;
        out.page = std::get<idr::scan::Page>(source.page(1, idr::scan::PixelKind::Grey, 2));
        idr::scan::ReadOptions options;
        options.thumbnail_long_side = idr::review::kReviewThumbnailSide;
        out.result = idr::scan::read_page(picture_of(out.page), options);
        out.outcome = idr::review::outcome_of("page.jpg", 1, out.result);
        return out;
    }();
    return read;
}

cv::Mat overlay_of(const ReadPage& p) {
    return idr::review::render_overlay(p.outcome, p.result.block ? *p.result.block : cv::Mat(),
                                       p.result.thumbnail ? *p.result.thumbnail : cv::Mat(), p.result.thumbnail_scale);
}

// Reading the decoded page with and without the small page kept.
void BM_ReadDecoded(benchmark::State& state) {
    const ReadPage& p = a4_page();
    idr::scan::ReadOptions options;
    options.thumbnail_long_side = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(idr::scan::read_page(picture_of(p.page), options));
}
BENCHMARK(BM_ReadDecoded)->ArgName("thumbnail")->Arg(0)->Arg(idr::review::kReviewThumbnailSide)->Unit(benchmark::kMillisecond);

void BM_RenderOverlay(benchmark::State& state) {
    const ReadPage& p = a4_page();
    for (auto _ : state) benchmark::DoNotOptimize(overlay_of(p));
}
BENCHMARK(BM_RenderOverlay)->Unit(benchmark::kMillisecond);

void BM_ReviewPng(benchmark::State& state) {
    const cv::Mat overlay = overlay_of(a4_page());
    std::size_t bytes = 0;
    for (auto _ : state) bytes = idr::review::encode_png(overlay).size();
    state.counters["KB"] = static_cast<double>(bytes) / 1000;
}
BENCHMARK(BM_ReviewPng)->Unit(benchmark::kMillisecond);

void BM_ReviewPngZlibLevel1(benchmark::State& state) {
    const cv::Mat overlay = overlay_of(a4_page());
    std::size_t bytes = 0;
    for (auto _ : state) bytes = idr::scan::encode_png(overlay, 1).size();
    state.counters["KB"] = static_cast<double>(bytes) / 1000;
}
BENCHMARK(BM_ReviewPngZlibLevel1)->Unit(benchmark::kMillisecond);

void BM_ReviewPicture(benchmark::State& state) {
    const ReadPage& p = a4_page();
    for (auto _ : state) benchmark::DoNotOptimize(idr::review::review_picture(p.outcome, p.result));
}
BENCHMARK(BM_ReviewPicture)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    idr::scan::keep_page_buffers();                   // as the programs do
    idr::scan::keep_image_work_on_calling_threads();  // as a batch of several jobs does
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
