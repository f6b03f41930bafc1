// Performance counter and tick count on CLOCK_MONOTONIC_RAW / CLOCK_MONOTONIC.
#include "platform/Clock.h"

#include <time.h>

namespace platform {

int64_t PerformanceCounter()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t PerformanceFrequency()
{
    return 1000000000;
}

uint32_t TickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    return static_cast<uint32_t>(ms);
}

} // namespace platform
