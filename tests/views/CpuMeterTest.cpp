// The processor-load meter: its load arithmetic, its picture, and its pinned idle threads.
#include "views/CpuMeter.h"
#include "platform/Processor.h"
#include "platform/Thread.h"
#include "views/CpuMeterLayout.h"
#include "views/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <sched.h>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr COLORREF kBackground = RgbColor(0, 0, 64);
constexpr COLORREF kUnlit = RgbColor(0, 128, 0);
constexpr COLORREF kLit = RgbColor(0, 255, 0);

} // namespace

TEST(CpuLoad, UpdatesFromCountAndTickCount)
{
    struct SStep
    {
        uint64_t count;
        uint32_t now;
        uint64_t rate; // expected m_nMaxRate after the step
        uint32_t usage;
    };
    struct SCase
    {
        const char* what;
        SCpuLoad start;
        std::vector<SStep> steps;
    };
    const std::vector<SCase> cases = {
        // The first event divides by the time since the machine started.
        {"first event, no counting yet", {}, {{5000, 3600000, 1, 100}}},
        {"first event becomes the maximum", {}, {{7200000, 3600000, 2, 0}}},
        {"half the highest rate",
         {},
         {{7200000, 3600000, 2, 0}, {9200000, 3601000, 2000, 0}, {10200000, 3602000, 2000, 50}}},
        {"a third of the highest rate truncates",
         {1000, 1000, 0, 0},
         {{333000, 2000, 1000, 67}, {334000, 3000, 1000, 100}}},
        {"a faster idle machine raises the maximum",
         {0, 1000, 0, 0},
         {{1500000, 1000, 1500, 0}, {2250000, 1500, 1500, 0}, {3000000, 2500, 1500, 50}}},
        {"no time elapsed counts as one millisecond",
         {1000, 10, 500, 0},
         {{10500, 1000, 10000, 0}}},
        {"the tick count wraps", {0xFFFFFF00u, 1000, 0, 0}, {{512000, 0x100, 1000, 0}}},
        {"the count wraps", {0, 1000, UINT64_MAX - 99, 0}, {{400900, 1000, 1000, 60}}},
    };
    for (const SCase& c : cases)
    {
        SCpuLoad load = c.start;
        for (size_t i = 0; i < c.steps.size(); ++i)
        {
            const SStep& s = c.steps[i];
            EXPECT_EQ(load.Update(s.count, s.now), s.usage) << c.what << ", step " << i;
            EXPECT_EQ(load.m_nUsage, s.usage) << c.what << ", step " << i;
            EXPECT_EQ(load.m_nMaxRate, s.rate) << c.what << ", step " << i;
            EXPECT_EQ(load.m_nLastCount, s.count) << c.what << ", step " << i;
            EXPECT_EQ(load.m_dwLastTick, s.now) << c.what << ", step " << i;
        }
    }
}

TEST(CpuMeterLayout, WorkedExampleAt80x76)
{
    const SCpuMeterLayout l = ComputeCpuMeterLayout(80, 76, 0);
    EXPECT_EQ(l.m_nX0, 10);
    EXPECT_EQ(l.m_nBar, 32);
    EXPECT_EQ(l.m_nY0, 10);
    EXPECT_EQ(l.m_nSeg, 3);
    EXPECT_EQ(l.m_nGap, 1);
    EXPECT_EQ(l.m_nNotch, 2);
    for (int32_t k = 0; k < 10; ++k)
    {
        const SCpuMeterSegment& s = l.m_segments[static_cast<size_t>(k)];
        // Bars from 10 to 40 and from 44 to 74 (ends excluded) on rows 10 to 12, 14 to 16, ...
        EXPECT_EQ(s.m_rcLeft, (SRect{10, 10 + 4 * k, 40, 13 + 4 * k})) << k;
        EXPECT_EQ(s.m_rcRight, (SRect{44, 10 + 4 * k, 74, 13 + 4 * k})) << k;
    }
    EXPECT_EQ(l.m_rcText, (SRect{0, 50, 84, 76}));
    EXPECT_EQ(l.m_font, (SFont{"Arial", 16, 400, 0}));
}

TEST(CpuMeterLayout, SmallAndLargeClientAreas)
{
    struct SCase
    {
        int32_t w, h;
        int32_t x0, bar, y0, seg, gap, notch;
        SRect text;
        int32_t fontHeight;
    };
    const std::vector<SCase> cases = {
        // The minimums hold in a tiny window; the text rectangle keeps 20 rows.
        {0, 0, 10, 20, 10, 2, 1, 2, {0, 40, 60, 60}, 16},
        {30, 30, 10, 20, 10, 2, 1, 2, {0, 40, 60, 60}, 16},
        {200, 400, 20, 80, 40, 20, 8, 10, {0, 320, 200, 400}, 64},
        {123, 97, 12, 48, 10, 4, 1, 2, {0, 60, 123, 97}, 24},
    };
    for (const SCase& c : cases)
    {
        const SCpuMeterLayout l = ComputeCpuMeterLayout(c.w, c.h, 50);
        EXPECT_EQ(l.m_nX0, c.x0) << c.w << "x" << c.h;
        EXPECT_EQ(l.m_nBar, c.bar) << c.w << "x" << c.h;
        EXPECT_EQ(l.m_nY0, c.y0) << c.w << "x" << c.h;
        EXPECT_EQ(l.m_nSeg, c.seg) << c.w << "x" << c.h;
        EXPECT_EQ(l.m_nGap, c.gap) << c.w << "x" << c.h;
        EXPECT_EQ(l.m_nNotch, c.notch) << c.w << "x" << c.h;
        EXPECT_EQ(l.m_rcText, c.text) << c.w << "x" << c.h;
        EXPECT_EQ(l.m_font.height, c.fontHeight) << c.w << "x" << c.h;
    }
}

TEST(CpuMeterLayout, LitSegmentsAndText)
{
    struct SCase
    {
        uint32_t usage;
        uint32_t lit;
        const char* text;
    };
    const std::vector<SCase> cases = {
        {0, 0, " 0%"},   {1, 1, " 1%"},     {9, 1, " 9%"},     {10, 1, "10%"},
        {11, 2, "11%"},  {50, 5, "50%"},    {55, 6, "55%"},    {90, 9, "90%"},
        {91, 10, "91%"}, {100, 10, "100%"}, {250, 10, "250%"}, // never more than the column
    };
    for (const SCase& c : cases)
    {
        const SCpuMeterLayout l = ComputeCpuMeterLayout(80, 76, c.usage);
        EXPECT_EQ(l.m_nLit, c.lit) << c.usage;
        EXPECT_EQ(l.m_text, c.text) << c.usage;
        // The lit column grows from the bottom.
        for (uint32_t k = 0; k < 10; ++k)
        {
            const bool lit = k >= 10 - c.lit;
            EXPECT_EQ(l.m_segments[k].m_bLit, lit ? 1 : 0) << c.usage << " segment " << k;
            EXPECT_EQ(l.m_segments[k].m_clr, lit ? kLit : kUnlit) << c.usage << " segment " << k;
        }
    }
}

TEST(CpuMeterLayout, PaintsBackgroundRowsAndCentredText)
{
    CRecordingCanvas canvas(7, 14);
    const SFont before = canvas.SelectFont({"Before", 9, 400, 0});
    (void)before;
    canvas.Clear();
    PaintCpuMeter(canvas, ComputeCpuMeterLayout(80, 76, 25));

    const auto& calls = canvas.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().kind, SCanvasCall::Fill);
    EXPECT_EQ(calls.front().rc, (SRect{0, 0, 80, 76}));
    EXPECT_EQ(calls.front().clr, kBackground);

    // Every row of every segment: two solid lines of width 1, top segment first; 25 % lights
    // the lowest three.
    const auto lines = canvas.Calls(SCanvasCall::Line);
    ASSERT_EQ(lines.size(), 60u);
    for (size_t i = 0; i < lines.size(); ++i)
    {
        const int32_t k = static_cast<int32_t>(i / 6);
        const int32_t y = 10 + 4 * k + static_cast<int32_t>(i % 6) / 2;
        const bool left = i % 2 == 0;
        EXPECT_EQ(lines[i].rc, left ? (SRect{10, y, 40, y}) : (SRect{44, y, 74, y})) << i;
        EXPECT_EQ(lines[i].pen, (SPen{k >= 7 ? kLit : kUnlit, EPenStyle::Solid, 1})) << i;
    }

    // "25%" is 21 × 14 in the recording canvas: centred in (0, 50)-(84, 76).
    const auto texts = canvas.Calls(SCanvasCall::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "25%");
    EXPECT_EQ(texts[0].x, (84 - 21) / 2);
    EXPECT_EQ(texts[0].y, 50 + (26 - 14) / 2);
    EXPECT_EQ(texts[0].clr, kLit);
    const auto fonts = canvas.Calls(SCanvasCall::SelectFont);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0].font, (SFont{"Arial", 16, 400, 0}));
    EXPECT_EQ(canvas.CurrentFont().face, "Before");
}

namespace {

std::set<pid_t> ThreadIds()
{
    std::set<pid_t> out;
    if (DIR* dir = opendir("/proc/self/task"))
    {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.')
                out.insert(static_cast<pid_t>(std::stol(e->d_name)));
        closedir(dir);
    }
    return out;
}

// The one processor a thread is bound to, or -1 when it may run on several.
int PinnedProcessor(pid_t tid)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(tid, sizeof set, &set) != 0 || CPU_COUNT(&set) != 1)
        return -1;
    for (int i = 0; i < CPU_SETSIZE; ++i)
        if (CPU_ISSET(i, &set))
            return i;
    return -1;
}

bool WaitFor(const std::function<bool()>& pred, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

TEST(CpuMeter, CountsWithOneIdleThreadPinnedToEachProcessor)
{
    const std::vector<uint32_t> usable = platform::UsableProcessors();
    ASSERT_FALSE(usable.empty());
    const std::set<pid_t> before = ThreadIds();
    std::set<pid_t> counting;
    {
        CCpuMeter meter;
        EXPECT_EQ(meter.GetProcessors(), usable);
        ASSERT_EQ(meter.Start(), usable.size());
        EXPECT_EQ(meter.Start(), usable.size()) << "a second start makes no more threads";

        // The counting threads are the new ones at idle priority (a sanitizer's runtime may
        // start threads of its own). Each binds itself as it starts: wait for that.
        std::multiset<int> pinned;
        ASSERT_TRUE(WaitFor(
            [&] {
                counting.clear();
                pinned.clear();
                for (pid_t tid : ThreadIds())
                    if (!before.count(tid) && sched_getscheduler(tid) == SCHED_IDLE)
                    {
                        counting.insert(tid);
                        pinned.insert(PinnedProcessor(tid));
                    }
                return pinned.count(-1) == 0 && counting.size() == usable.size();
            },
            std::chrono::seconds(30)))
            << counting.size() << " idle threads, " << pinned.count(-1) << " not bound";
        EXPECT_EQ(pinned, std::multiset<int>(usable.begin(), usable.end()));

        // The count grows even on a busy machine, if only slowly at idle priority.
        const uint64_t first = meter.GetCount();
        EXPECT_TRUE(WaitFor([&] { return meter.GetCount() > first; }, std::chrono::seconds(30)));
        meter.Stop();
        const uint64_t stopped = meter.GetCount();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(meter.GetCount(), stopped) << "no thread counts after the stop";
    }
    const std::set<pid_t> after = ThreadIds();
    for (pid_t tid : counting)
        EXPECT_EQ(after.count(tid), 0u) << "counting thread " << tid << " has not ended";
}

TEST(CpuMeter, WatchesTheProcessorsItIsGivenAndRestarts)
{
    const std::vector<uint32_t> usable = platform::UsableProcessors();
    ASSERT_FALSE(usable.empty());
    CCpuMeter meter({usable.back()});
    EXPECT_EQ(meter.GetProcessors(), std::vector<uint32_t>{usable.back()});
    ASSERT_EQ(meter.Start(), 1u);
    ASSERT_TRUE(WaitFor([&] { return meter.GetCount() > 0; }, std::chrono::seconds(30)));
    meter.Stop();
    const uint64_t counted = meter.GetCount();
    // A restart keeps the count going from where it stood.
    ASSERT_EQ(meter.Start(), 1u);
    EXPECT_TRUE(WaitFor([&] { return meter.GetCount() > counted; }, std::chrono::seconds(30)));
}

TEST(CpuMeter, WithoutThreadsTheLoadReadsFull)
{
    // A meter that never started counts nothing: every event after the first reads 100.
    CCpuMeter meter;
    meter.OnTimer(1000);
    EXPECT_EQ(meter.OnTimer(2000), 100u);
    EXPECT_EQ(meter.OnTimer(3000), 100u);
}
