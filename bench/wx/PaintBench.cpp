// The speed graph window's paint: a 250,000-cylinder curve composed at 1920 × 1080 through
// the wx canvas, as the window does on every progress message (goal: 4 ms median). Needs a
// display (xvfb-run).
#include "bench/BigRun.h"
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

using bench::kCylinders;
using bench::kHeight;
using bench::kWidth;
using bench::SRun;

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
