// The selection outline's animation step on a full-screen graph: what one timer tick costs
// before the window shows the changed pixels.
#include "views/PixelSink.h"
#include "views/Selection.h"

#include <benchmark/benchmark.h>

namespace {

class CPictureOwner : public ISelectionOwner
{
public:
    explicit CPictureOwner(CPixelBuffer& picture) : m_picture(picture) {}
    IPixelSink* GetOutlineSink() override { return &m_picture; }
    void ReleaseOutlineSink(IPixelSink*) override {}

private:
    CPixelBuffer& m_picture;
};

// A settled outline round most of a 1920 × 1080 plot: Hide redraws it, Show steps it.
void SettledTick(benchmark::State& state)
{
    CPixelBuffer picture(1920, 1080, RgbColor(182, 184, 184));
    CPictureOwner owner(picture);
    CSelection outline(&owner);
    outline.Show({100, 20, 1880, 1040});
    for (auto _ : state)
    {
        outline.Tick();
        benchmark::DoNotOptimize(picture.Pixels().data());
    }
}
BENCHMARK(SettledTick)->Unit(benchmark::kMicrosecond);

// A drag across the plot: each mouse move takes the old outline off by exclusive-or and
// draws the new one.
void DragMove(benchmark::State& state)
{
    CPixelBuffer picture(1920, 1080, RgbColor(182, 184, 184));
    CPictureOwner owner(picture);
    CSelection outline(&owner);
    outline.SetSettled(0);
    int32_t x = 200;
    for (auto _ : state)
    {
        outline.Show({100, 21, x, 1039});
        x = x < 1880 ? x + 1 : 200;
        benchmark::DoNotOptimize(picture.Pixels().data());
    }
}
BENCHMARK(DragMove)->Unit(benchmark::kMicrosecond);

} // namespace
