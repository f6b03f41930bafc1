// The processor-load meter on the real machine: a busy loop on one of two processors reads
// about half, none about nothing. These tests measure load, so they run alone.
#include "platform/Clock.h"
#include "platform/Processor.h"
#include "views/CpuMeter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// The meter's readings may stray this far (percentage points) from the load made here.
constexpr uint32_t kTolerance = 15;
// Intervals between timer events: shorter than the window's second, long enough to count.
constexpr auto kInterval = std::chrono::milliseconds(300);
constexpr int kAttempts = 8;
// An attempt counts only when other programs used at most this share (percent) of the two
// processors' time: the meter reads their load as well as ours.
constexpr uint64_t kQuietPercent = 5;

// Clock ticks of the processors: all of them, and those spent on work (not idle or waiting
// for a device), from /proc/stat.
struct SCpuTimes
{
    uint64_t total = 0;
    uint64_t busy = 0;
};

SCpuTimes ProcessorTimes(const std::vector<uint32_t>& processors)
{
    SCpuTimes times;
    std::ifstream stat("/proc/stat");
    std::string line;
    while (std::getline(stat, line))
    {
        std::istringstream in(line);
        std::string name;
        in >> name;
        for (uint32_t p : processors)
            if (name == "cpu" + std::to_string(p))
            {
                uint64_t v[8] = {};
                for (uint64_t& x : v)
                    in >> x;
                for (uint64_t x : v)
                    times.total += x;
                times.busy += v[0] + v[1] + v[2] + v[5] + v[6] + v[7]; // all but idle, iowait
            }
    }
    return times;
}

// Clock ticks this process has run, all threads together (utime + stime of /proc/self/stat).
uint64_t OwnTicks()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold spaces, start after its ')'.
    std::istringstream in(text.substr(text.rfind(')') + 2));
    std::string field;
    uint64_t utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i)
    {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return utime + stime;
}

// What other programs did on processors from a moment on: the share of their time that is
// neither idle nor this process's.
class COtherLoad
{
public:
    explicit COtherLoad(std::vector<uint32_t> processors)
        : m_processors(std::move(processors)), m_start(ProcessorTimes(m_processors)),
          m_nOwnStart(OwnTicks())
    {}
    uint64_t Percent() const
    {
        const SCpuTimes now = ProcessorTimes(m_processors);
        const uint64_t total = now.total - m_start.total;
        const uint64_t busy = now.busy - m_start.busy;
        const uint64_t own = OwnTicks() - m_nOwnStart;
        if (total == 0)
            return 100;
        return busy > own ? (busy - own) * 100 / total : 0;
    }

private:
    std::vector<uint32_t> m_processors;
    SCpuTimes m_start;
    uint64_t m_nOwnStart;
};

// A normal-priority thread spinning on one processor until it is destroyed.
class CBusyLoop
{
public:
    explicit CBusyLoop(uint32_t processor)
        : m_thread([this, processor] {
              platform::PinCurrentThread(processor);
              while (!m_bStop.load(std::memory_order_relaxed))
                  m_nSpins.store(m_nSpins.load(std::memory_order_relaxed) + 1,
                                 std::memory_order_relaxed);
          })
    {}
    ~CBusyLoop()
    {
        m_bStop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_bStop{false};
    std::atomic<uint64_t> m_nSpins{0};
    std::thread m_thread;
};

// The median of n readings kInterval apart.
uint32_t MedianReading(CCpuMeter& meter, int n)
{
    std::vector<uint32_t> readings;
    for (int i = 0; i < n; ++i)
    {
        std::this_thread::sleep_for(kInterval);
        readings.push_back(meter.OnTimer());
    }
    std::sort(readings.begin(), readings.end());
    return readings[readings.size() / 2];
}

} // namespace

TEST(CpuMeterLoad, OneBusyProcessorOfTwoReadsHalf)
{
    const std::vector<uint32_t> usable = platform::UsableProcessors();
    if (usable.size() < 2)
        GTEST_SKIP() << "needs two processors, the process may run on " << usable.size();
    CCpuMeter meter({usable[0], usable[1]});
    ASSERT_EQ(meter.Start(), 2u);

    // The first event measures since the machine started; the next ones calibrate the
    // idle rate.
    meter.OnTimer();
    MedianReading(meter, 3);

    // Other programs of the machine count as load too: an attempt during which they ran is
    // repeated.
    std::string history;
    for (int attempt = 0; attempt < kAttempts; ++attempt)
    {
        const COtherLoad others({usable[0], usable[1]});
        const uint32_t idle = MedianReading(meter, 3);
        uint32_t busy = 0;
        {
            CBusyLoop loop(usable[0]);
            MedianReading(meter, 1); // the interval in which the loop starts
            busy = MedianReading(meter, 3);
        }
        const uint64_t other = others.Percent();
        history += " idle " + std::to_string(idle) + "%, busy " + std::to_string(busy) +
                   "%, others " + std::to_string(other) + "%;";
        if (other > kQuietPercent)
            continue;
        EXPECT_LE(idle, kTolerance) << history;
        EXPECT_GE(busy, 50 - kTolerance) << history;
        EXPECT_LE(busy, 50 + kTolerance) << history;
        return;
    }
    GTEST_SKIP() << "other programs kept the processors busy, so the meter could not be checked:"
                 << history;
}

TEST(CpuMeterLoad, StopEndsWhileEveryProcessorIsBusy)
{
    const std::vector<uint32_t> usable = platform::UsableProcessors();
    ASSERT_FALSE(usable.empty());
    CCpuMeter meter;
    ASSERT_EQ(meter.Start(), usable.size());
    std::vector<std::unique_ptr<CBusyLoop>> loops;
    for (uint32_t processor : usable)
        loops.push_back(std::make_unique<CBusyLoop>(processor));
    std::this_thread::sleep_for(kInterval);

    // The idle threads get their processors back for the stop, so it does not take the
    // whole wait.
    const uint32_t start = platform::TickCount();
    meter.Stop();
    const uint32_t took = platform::TickCount() - start;
    EXPECT_LT(took, CCpuMeter::kStopWaitMs) << "the stop took " << took << " ms";
}
