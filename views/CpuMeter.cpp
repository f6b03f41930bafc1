// The processor-load meter's counting threads and its load arithmetic.
#include "views/CpuMeter.h"

#include "platform/Clock.h"
#include "platform/Processor.h"
#include "platform/Thread.h"
#include "platform/Types.h"

#include <utility>

uint32_t SCpuLoad::Update(uint64_t nCount, uint32_t dwNow)
{
    const uint64_t delta = nCount - m_nLastCount;
    uint32_t elapsed = dwNow - m_dwLastTick;
    if (elapsed == 0)
        elapsed = 1;
    const uint64_t rate = delta / elapsed;
    m_dwLastTick = dwNow;
    m_nLastCount = nCount;
    if (rate >= m_nMaxRate)
        m_nMaxRate = rate;
    // m_nMaxRate is at least 1 and never below rate, so the load stays within 0 to 100.
    m_nUsage = static_cast<uint32_t>(100 - rate * 100 / m_nMaxRate);
    return m_nUsage;
}

struct CCpuMeter::SCounter
{
    alignas(64) std::atomic<uint64_t> m_nCount{0};
    const std::atomic<int>* m_pStop = nullptr;
    BOOL m_bPinned = 0;
    uint32_t m_nProcessor = 0;
};

namespace {

// Never sleeps or yields: at idle priority it gets the processor only when nothing else wants
// it. The one writer of its count, so a plain load and store make the increment.
unsigned CountThreadProc(void* param)
{
    auto* counter = static_cast<CCpuMeter::SCounter*>(param);
    if (counter->m_bPinned)
        platform::PinCurrentThread(counter->m_nProcessor);
    while (counter->m_pStop->load(std::memory_order_relaxed) == 0)
        counter->m_nCount.store(counter->m_nCount.load(std::memory_order_relaxed) + 1,
                                std::memory_order_relaxed);
    return 0;
}

} // namespace

CCpuMeter::CCpuMeter(std::vector<uint32_t> processors) : m_processors(std::move(processors))
{
    if (m_processors.empty())
        m_processors = platform::UsableProcessors();
}

CCpuMeter::~CCpuMeter()
{
    Stop();
}

size_t CCpuMeter::Start()
{
    if (!m_threads.empty())
        return m_threads.size();
    m_bStop.store(0);
    if (m_counters.empty())
    {
        const size_t n = m_processors.empty() ? 1 : m_processors.size();
        for (size_t i = 0; i < n; ++i)
        {
            auto counter = std::make_unique<SCounter>();
            counter->m_pStop = &m_bStop;
            counter->m_bPinned = m_processors.empty() ? 0 : 1;
            counter->m_nProcessor = m_processors.empty() ? 0 : m_processors[i];
            m_counters.push_back(std::move(counter));
        }
    }
    for (auto& counter : m_counters)
    {
        // A thread the OS refuses leaves its count where it is.
        auto thread = platform::CThread::Start(&CountThreadProc, counter.get(),
                                               platform::ThreadPriority::Idle, true);
        if (thread)
        {
            thread->Resume();
            m_threads.push_back(std::move(thread));
        }
    }
    return m_threads.size();
}

void CCpuMeter::Stop(uint32_t nWaitMs)
{
    m_bStop.store(1);
    for (auto& thread : m_threads)
        thread->SetPriority(platform::ThreadPriority::Normal);
    for (auto& thread : m_threads)
        thread->Wait(nWaitMs);
    // Destroying a thread object joins it: a counter never goes while its thread reads it.
    m_threads.clear();
}

uint32_t CCpuMeter::OnTimer()
{
    return OnTimer(platform::TickCount());
}

uint32_t CCpuMeter::OnTimer(uint32_t dwNow)
{
    return m_load.Update(GetCount(), dwNow);
}

uint64_t CCpuMeter::GetCount() const
{
    uint64_t sum = 0;
    for (const auto& counter : m_counters)
        sum += counter->m_nCount.load(std::memory_order_relaxed);
    return sum;
}
