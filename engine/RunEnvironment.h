// The clock, memory, scheduling and thread services a test run uses; tests replace them.
#pragma once

#include "platform/Thread.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Every operation defaults to the platform's own; a test overrides what it scripts.
class CRunEnvironment
{
public:
    virtual ~CRunEnvironment() = default;

    // Ticks per second of the counter the drive's read times are in; 0 when there is none.
    virtual int64_t CounterFrequency();
    // Milliseconds, wrapping at 32 bits.
    virtual uint32_t TickCount();
    virtual void Sleep(uint32_t ms);
    // The calling thread's priority, best effort.
    virtual void SetThreadPriority(platform::ThreadPriority priority);
    virtual void SetNormalPriorityClass();
    // Page-aligned committed memory; nullptr when there is none.
    virtual void* AllocPages(size_t bytes);
    virtual void FreePages(void* block);
    // The worker thread; nullptr when the OS refuses one.
    virtual std::unique_ptr<platform::CThread> CreateThread(platform::CThread::Entry entry,
                                                            void* param,
                                                            platform::ThreadPriority priority,
                                                            bool suspended);

    // The platform's services.
    static CRunEnvironment& System();
};
