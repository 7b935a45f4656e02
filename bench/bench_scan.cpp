// A whole page read, beside what decoding its JPEG alone costs: a 300-dpi A4
// greyscale scan (2480 x 3508) and a 12-megapixel colour phone photo; and two
// pages a real stack brings: the same scan in an office machine's black and
// white (CCITT group 4 TIFF), and a 3000 x 4000 picture of noise. The pages
// are made once by the test-page maker with fixed seeds.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "scan/encode.h"
#include "scan/jpeg_decoder.h"
#include "scan/load.h"
#include "scan/page_memory.h"
#include "scan/read_page.h"
#include "tools/pagegen/bilevel_output.h"
#include "tools/pagegen/page.h"

#include <filesystem>
#include <iterator>
#include <opencv2/core.hpp>

namespace {

// Ten clean pencil marks, so that every read ends "ok".
void clean_marks(idr::pagegen::PagePlan& plan) {
    for (int c = 0; c < 10; ++c) plan.columns[static_cast<std::size_t>(c)] = {idr::pagegen::Mark::Pencil, (3 * c + 1) % 10, -1, 70};
}

std::string jpeg_of(const cv::Mat& image, int quality) {
    const std::vector<std::uint8_t> bytes = idr::scan::encode_jpeg(image, quality);
    return {bytes.begin(), bytes.end()};
}

const std::string& a4_grey_scan() {
    static const std::string bytes = [] {
        idr::pagegen::PagePlan plan = idr::pagegen::random_plan(11, idr::pagegen::Kind::Scan);
        plan.dpi = 300;
        plan.unit_px = 1.5;
        plan.colour = false;
        plan.rotation_deg = 1.2;
        clean_marks(plan);
        plan.paper_width_in = 2480 / 300.0;
        plan.paper_height_in = 3508 / 300.0;
        const auto page = idr::pagegen::make_page(plan);
        return jpeg_of(page.image, 90);
    }();
    return bytes;
}

const std::string& phone_photo() {
    static const std::string bytes = [] {
        idr::pagegen::PagePlan plan = idr::pagegen::random_plan(12, idr::pagegen::Kind::Photo);
        plan.colour = true;
        plan.dpi = 300;
        plan.unit_px = 2.0;
        plan.perspective = 0.05;
        plan.paper_width_in = 3000 / 300.0;
        plan.paper_height_in = 4000 / 300.0;
        plan.margin_frac = 0.0;
        clean_marks(plan);
        const auto page = idr::pagegen::make_page(plan);
        return jpeg_of(page.image, 90);
    }();
    return bytes;
}

// The A4 scan in black and white, thresholded at half the paper's
// brightness, as a group 4 TIFF.
const std::string& a4_g4_scan() {
    static const std::string bytes = [] {
        idr::pagegen::PagePlan plan = idr::pagegen::random_plan(13, idr::pagegen::Kind::Scan);
        plan.dpi = 300;
        plan.unit_px = 1.5;
        plan.colour = false;
        plan.rotation_deg = 0.8;
        clean_marks(plan);
        plan.paper_width_in = 2480 / 300.0;
        plan.paper_height_in = 3508 / 300.0;
        plan.stack.bilevel = idr::pagegen::Bilevel::Threshold;
        plan.stack.cut = 0.5;
        const auto page = idr::pagegen::make_page(plan);
        const std::string path = (std::filesystem::temp_directory_path() / "idr-bench-g4.tif").string();
        if (auto trouble = idr::pagegen::write_bilevel(page.image, idr::pagegen::BilevelFile::TiffG4, 300, path)) {
            std::fprintf(stderr, "%s\n", trouble->c_str());
            std::exit(1);
        }
        std::ifstream f(path, std::ios::binary);
        std::string out{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
        std::filesystem::remove(path);
        return out;
    }();
    return bytes;
}

// Random grey, 3000 x 4000, as a PNG: no block, and clutter everywhere.
const std::string& noise_page() {
    static const std::string bytes = [] {
        cv::Mat noise(4000, 3000, CV_8UC1);
        cv::theRNG().state = 2026;
        cv::randu(noise, 0, 256);
        const std::vector<std::uint8_t> png = idr::scan::encode_png(noise, 1);
        return std::string(png.begin(), png.end());
    }();
    return bytes;
}

// What `djpeg -grayscale` does: the whole JPEG decoded to grey, full size
// (libjpeg, the luma only, the accurate integer DCT).
void BM_DecodeJpegGreyFullSize(benchmark::State& state) {
    const std::string& bytes = a4_grey_scan();
    for (auto _ : state) benchmark::DoNotOptimize(idr::scan::decode_jpeg(bytes, idr::scan::PixelKind::Grey, 1));
}
BENCHMARK(BM_DecodeJpegGreyFullSize)->Unit(benchmark::kMillisecond);

// The same page decoded at 1/2, 1/4 and 1/8 of its size in the DCT domain,
// as the reader may ask for a page larger than locating needs.
void BM_DecodeJpegGreyScaled(benchmark::State& state) {
    const std::string& bytes = a4_grey_scan();
    const int reduction = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(idr::scan::decode_jpeg(bytes, idr::scan::PixelKind::Grey, reduction));
}
BENCHMARK(BM_DecodeJpegGreyScaled)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

// The colour phone photo decoded to grey (its chroma is never converted)
// and to colour, at full and at half size.
void BM_DecodePhotoJpeg(benchmark::State& state) {
    const std::string& bytes = phone_photo();
    const auto kind = state.range(0) == 0 ? idr::scan::PixelKind::Grey : idr::scan::PixelKind::Colour;
    const int reduction = static_cast<int>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(idr::scan::decode_jpeg(bytes, kind, reduction));
}
BENCHMARK(BM_DecodePhotoJpeg)->ArgNames({"colour", "reduction"})->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond);

// The page as id-reader-cli reads it: headers, decoding (at half size, as the
// reader asks for pages this large), locating, rectifying, deciding and the
// four steps.
void read_whole(benchmark::State& state, const std::string& bytes, const std::string& status = "ok") {
    for (auto _ : state) {
        auto opened = idr::scan::open_scan_bytes(bytes, "page");
        auto& source = *std::get<std::unique_ptr<idr::scan::PageSource>>(opened);
        const auto kind = source.declared_grey(1) ? idr::scan::PixelKind::Grey : idr::scan::PixelKind::Colour;
        const cv::Size size = source.declared_size(1);
        const int reduction = std::max(size.width, size.height) >= 3000 ? 2 : 1;
        auto page = std::get<idr::scan::Page>(source.page(1, kind, reduction));
        idr::scan::PagePicture picture;
        picture.image = page.image;
        picture.full_size = page.full_size;
        picture.reduction = page.reduction;
        auto result = idr::scan::read_page(std::move(picture));
        if (result.status != status) state.SkipWithError(("page read as " + result.status + ": " + result.why).c_str());
        benchmark::DoNotOptimize(result);
    }
}

void BM_ReadA4GreyScan(benchmark::State& state) { read_whole(state, a4_grey_scan()); }
BENCHMARK(BM_ReadA4GreyScan)->Unit(benchmark::kMillisecond);

// The same page decoded once, before timing: what the reader does after
// decoding (locating, rectifying, deciding, the four steps), without the
// decoder's time in every figure.
void BM_ReadA4GreyScanDecoded(benchmark::State& state) {
    auto opened = idr::scan::open_scan_bytes(a4_grey_scan(), "page");
    auto& source = *std::get<std::unique_ptr<idr::scan::PageSource>>(opened);
    const auto page = std::get<idr::scan::Page>(source.page(1, idr::scan::PixelKind::Grey, 2));
    for (auto _ : state) {
        idr::scan::PagePicture picture;
        picture.image = page.image;
        picture.full_size = page.full_size;
        picture.reduction = page.reduction;
        auto result = idr::scan::read_page(std::move(picture));
        if (result.status != "ok") state.SkipWithError(("page read as " + result.status + ": " + result.why).c_str());
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ReadA4GreyScanDecoded)->Unit(benchmark::kMillisecond);

void BM_ReadPhonePhoto12MP(benchmark::State& state) { read_whole(state, phone_photo()); }
BENCHMARK(BM_ReadPhonePhoto12MP)->Unit(benchmark::kMillisecond);

void BM_ReadA4BlackAndWhiteG4(benchmark::State& state) { read_whole(state, a4_g4_scan()); }
BENCHMARK(BM_ReadA4BlackAndWhiteG4)->Unit(benchmark::kMillisecond);

void BM_ReadNoise3000x4000(benchmark::State& state) { read_whole(state, noise_page(), "not-found"); }
BENCHMARK(BM_ReadNoise3000x4000)->Unit(benchmark::kMillisecond);

}  // namespace

// IDR_BENCH_PAGES=DIR also writes the two pages there, to time other tools
// (djpeg -grayscale) on the same bytes.
int main(int argc, char** argv) {
    idr::scan::keep_page_buffers();  // as the programs do
    if (const char* dir = std::getenv("IDR_BENCH_PAGES")) {
        std::ofstream(std::string(dir) + "/a4-grey-300dpi.jpg", std::ios::binary) << a4_grey_scan();
        std::ofstream(std::string(dir) + "/photo-12mp.jpg", std::ios::binary) << phone_photo();
        std::ofstream(std::string(dir) + "/a4-bw-300dpi-g4.tif", std::ios::binary) << a4_g4_scan();
        std::ofstream(std::string(dir) + "/noise-3000x4000.png", std::ios::binary) << noise_page();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
