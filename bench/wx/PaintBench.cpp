// The speed graph window's paint: a 250,000-cylinder curve composed at 1920 × 1080 through
// the wx canvas, as the window does on every progress message (goal: 4 ms median). Needs a
// display (xvfb-run).
#include "views/GraphPainter.h"
#include "views/wx/WxCanvas.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <vector>
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/init.h>

namespace {

constexpr uint32_t kCylinders = 250000;
constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// A full run's results: falling from the outer to the inner zone, some jitter, a few errors.
struct SRun
{
    SRun()
    {
        results.resize(kCylinders);
        uint32_t seed = 12345;
        for (uint32_t c = 0; c < kCylinders; ++c)
        {
            seed = seed * 1103515245u + 12345u;
            CReadingResult& r = results[c];
            r.m_nCylinder = static_cast<int32_t>(c);
            r.m_nSpeed = 200000 - static_cast<uint32_t>(uint64_t{c} * 110000 / kCylinders) +
                         (seed >> 16) % 8000;
            r.m_dwError = c % 40000 == 17 ? 23 : 0;
            data.m_nGraphMax = std::max(data.m_nGraphMax, r.m_nSpeed);
        }
        data.m_nCylinders = kCylinders;
        data.m_pResults = results.data();
        data.m_nResults = static_cast<int32_t>(kCylinders);
        data.m_bHasDrive = 1;
        data.m_partitions = {{0, 30000, 0x79F8B6},
                             {30000, 120000, 0xE9CDFF},
                             {150000, 60000, 0x86EBEC},
                             {210000, 40000, 0xFFD6D6}};
    }

    std::vector<CReadingResult> results;
    SGraphData data;
};

// The window's composition: the kept picture, a memory DC and the canvas on it.
void BM_ComposeWx(benchmark::State& state)
{
    static const SRun run;
    wxBitmap picture(kWidth, kHeight, 24);
    for (auto _ : state)
    {
        wxMemoryDC dc(picture);
        CWxCanvas canvas(dc);
        benchmark::DoNotOptimize(PaintGraph(canvas, run.data, kWidth, kHeight));
    }
}
BENCHMARK(BM_ComposeWx)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

// The same with no results yet: what every paint costs besides the curve.
void BM_ComposeWxEmpty(benchmark::State& state)
{
    static const SRun run;
    SGraphData empty = run.data;
    empty.m_nResults = 0;
    wxBitmap picture(kWidth, kHeight, 24);
    for (auto _ : state)
    {
        wxMemoryDC dc(picture);
        CWxCanvas canvas(dc);
        benchmark::DoNotOptimize(PaintGraph(canvas, empty, kWidth, kHeight));
    }
}
BENCHMARK(BM_ComposeWxEmpty)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv)
{
    wxApp::SetInstance(new wxApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv))
    {
        std::fprintf(stderr, "wx_paint_bench: no display (run under xvfb-run)\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxEntryCleanup();
    return 0;
}
