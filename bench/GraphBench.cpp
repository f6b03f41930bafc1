// The speed graph of a 250,000-cylinder drive at 1920 × 1080: paint through cairo, and the
// layout alone. The goal for a paint is 16 ms, one frame.
#include "bench/BigRun.h"
#include "views/GraphPainter.h"
#include "views/cairo/CairoCanvas.h"
#include "views/cairo/GraphImage.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using bench::kCylinders;
using bench::kHeight;
using bench::kWidth;
using bench::SRun;

const SRun& Run()
{
    static const SRun run;
    return run;
}

// A window repainting: the same surface and canvas every time.
void BM_PaintCairo(benchmark::State& state)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    {
        CCairoCanvas canvas(cr);
        for (auto _ : state)
        {
            PaintGraph(canvas, Run().data, kWidth, kHeight);
            canvas.Flush();
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_PaintCairo)->Unit(benchmark::kMillisecond);

// A picture painted once: a new canvas, so every label is measured afresh.
void BM_PaintCairoNewCanvas(benchmark::State& state)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    for (auto _ : state)
    {
        CCairoCanvas canvas(cr);
        PaintGraph(canvas, Run().data, kWidth, kHeight);
        canvas.Flush();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_PaintCairoNewCanvas)->Unit(benchmark::kMillisecond);

// The same paint with PNG encoding and the file write.
void BM_WritePng(benchmark::State& state)
{
    const std::string path = "/tmp/ratemark-bench-" + std::to_string(getpid()) + ".png";
    for (auto _ : state)
        if (WriteGraphImage(Run().data, kWidth, kHeight, path, EGraphImageFormat::Png) != 0)
            state.SkipWithError("cannot write the PNG file");
    std::remove(path.c_str());
}
BENCHMARK(BM_WritePng)->Unit(benchmark::kMillisecond);

// The layout arithmetic with fixed text metrics, as the mouse handlers could recompute it.
void BM_Layout(benchmark::State& state)
{
    const FTextExtent extent = [](const std::string& text) {
        return SSize{static_cast<int32_t>(text.size()) * 7, 14};
    };
    for (auto _ : state)
    {
        SGraphLayout layout =
            ComputeGraphLayout(kCylinders, Run().data.m_nGraphMax, kWidth, kHeight, extent);
        benchmark::DoNotOptimize(layout);
    }
}
BENCHMARK(BM_Layout)->Unit(benchmark::kMicrosecond);

} // namespace
