// High-resolution performance counter and millisecond tick count.
#pragma once

#include <cstdint>

namespace platform {

// The current value of the high-resolution counter, in ticks.
int64_t PerformanceCounter();

// Ticks of PerformanceCounter per second.
int64_t PerformanceFrequency();

// Milliseconds since an arbitrary start, wrapping at 32 bits.
uint32_t TickCount();

} // namespace platform
