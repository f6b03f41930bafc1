// The processor-load meter: idle-priority counting threads and the once-a-second load.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {
class CThread;
}

// The load arithmetic of the meter, fed the count and the millisecond tick count once a
// second. The count and the rate are 64-bit: the counts of many processors together pass
// 32 bits within a second. All divisions truncate; differences are unsigned and wrap.
struct SCpuLoad
{
    uint32_t m_dwLastTick = 0; // tick count at the last update
    uint64_t m_nMaxRate = 1;   // highest rate seen, in counts per millisecond
    uint64_t m_nLastCount = 0; // the count at the last update
    uint32_t m_nUsage = 0;     // load in percent, 0 to 100

    // One update with count nCount at tick dwNow; returns the new m_nUsage. The highest rate
    // ever seen stands for an idle machine, so a rate at or above it reads 0.
    uint32_t Update(uint64_t nCount, uint32_t dwNow);
};

// Counts as fast as it can on every processor it watches, at idle priority, so the counting
// only advances where nothing else of the machine wants the processor; the load is how far
// the rate falls below the highest rate seen.
class CCpuMeter
{
public:
    // Watches processors (one counting thread pinned to each). An empty list: every processor
    // the program may run on, or one unpinned thread where the OS does not tell them.
    explicit CCpuMeter(std::vector<uint32_t> processors = {});
    // Stops the counting (see Stop).
    ~CCpuMeter();
    CCpuMeter(const CCpuMeter&) = delete;
    CCpuMeter& operator=(const CCpuMeter&) = delete;

    // Starts the counting threads; a thread the OS refuses is left out, its count stays
    // still. Returns how many threads run. Harmless while they run.
    size_t Start();

    // Asks the threads to end, lets them run at normal priority so a busy machine cannot
    // starve them, and waits up to nWaitMs for each; a thread that outlasts its wait is still
    // waited for before its counter goes.
    void Stop(uint32_t nWaitMs = kStopWaitMs);

    // The once-a-second step: the load now, from the count and the platform's tick count.
    uint32_t OnTimer();
    // The same at a given tick count, for callers that keep their own clock.
    uint32_t OnTimer(uint32_t dwNow);

    // The sum of the counts of every thread; wraps at 64 bits.
    uint64_t GetCount() const;
    uint32_t GetUsage() const { return m_load.m_nUsage; }
    const SCpuLoad& GetLoad() const { return m_load; }
    // The processors the threads are pinned to; empty for one unpinned thread.
    const std::vector<uint32_t>& GetProcessors() const { return m_processors; }

    static constexpr uint32_t kStopWaitMs = 10000;

    struct SCounter;

private:
    // Read by every counting thread on every loop; written once per Stop.
    alignas(64) std::atomic<int> m_bStop{0};
    std::vector<uint32_t> m_processors;
    // One per thread; each on its own cache line so the threads do not slow each other.
    std::vector<std::unique_ptr<SCounter>> m_counters;
    std::vector<std::unique_ptr<platform::CThread>> m_threads;
    SCpuLoad m_load;
};
