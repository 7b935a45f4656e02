// The handlers on the embedded sheet. Each iteration works on a copy of a
// prepared model; the copy is made with the timer paused.

#include <benchmark/benchmark.h>

#include <vector>

#include "reading/binarization.h"
#include "reading/dispatch.h"
#include "reading/grid.h"
#include "reading/id_reading.h"
#include "reading/cell_check.h"
#include "reading/positioning.h"
#include "rules/colour.h"
#include "rules/text.h"

namespace {

using namespace idr;

const Form1& fresh_sheet() {
    static const Form1 form;
    return form;
}

// The sheet after "1. Binary" and "2. Draw grid", ready for inspection.
const Form1& gridded_sheet() {
    static const Form1 form = [] {
        Form1 f;
        cmdBinary_Click(f);
        cmdDraw_Click(f);
        return f;
    }();
    return form;
}

const Form1& inspected_sheet() {
    static const Form1 form = [] {
        Form1 f = gridded_sheet();
        cmdCheck_Click(f);
        return f;
    }();
    return form;
}

template <void (*Handler)(Form1&)>
void run_on_copies(benchmark::State& state, const Form1& prepared) {
    for (auto _ : state) {
        state.PauseTiming();
        Form1 form = prepared;
        state.ResumeTiming();
        Handler(form);
        benchmark::DoNotOptimize(form.Caption().data());
    }
}

void BM_Binarization(benchmark::State& state) { run_on_copies<cmdBinary_Click>(state, fresh_sheet()); }
void BM_DrawGrid(benchmark::State& state) { run_on_copies<cmdDraw_Click>(state, fresh_sheet()); }
void BM_CellInspection(benchmark::State& state) { run_on_copies<cmdCheck_Click>(state, gridded_sheet()); }
void BM_IdReading(benchmark::State& state) { run_on_copies<cmdCheck_ID_Click>(state, inspected_sheet()); }

// One arrow click; the template simply walks (there are no bounds).
void BM_MoveTemplate(benchmark::State& state) {
    Form1 form = fresh_sheet();
    for (auto _ : state) {
        Command1_Click(form);
        benchmark::DoNotOptimize(form.Shape1(0).Top);
    }
}

// The default click sequence from start-up, window creation included.
void BM_DefaultClicks(benchmark::State& state) {
    for (auto _ : state) {
        Form1 form;
        for (ButtonId id : {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId}) click(form, id);
        benchmark::DoNotOptimize(form.Student_ID.Text.data());
    }
}

// The machine's limit for the same thresholding: the threshold converted
// once and the pixel array walked directly, one read and one write a pixel.
void BM_ThresholdBaseline(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Int32> pixels = fresh_sheet().picRedraw.surface.pixels();
        state.ResumeTiming();
        const double threshold = text_to_double(fresh_sheet().txtTreshold.Text, ".");
        for (Int32& v : pixels) {
            const int sum = (v & 255) + ((v >> 8) & 255) + ((v >> 16) & 255);
            const int average = (sum + 1) / 3;  // sum / 3 rounded; thirds never tie
            v = threshold >= average ? kBlack : kWhite;
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_Binarization)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThresholdBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawGrid)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CellInspection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IdReading)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveTemplate)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_DefaultClicks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
