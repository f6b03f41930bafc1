// The platform's services for a test run.
#include "engine/RunEnvironment.h"

#include "platform/Clock.h"
#include "platform/Memory.h"

int64_t CRunEnvironment::CounterFrequency()
{
    return platform::PerformanceFrequency();
}

uint32_t CRunEnvironment::TickCount()
{
    return platform::TickCount();
}

void CRunEnvironment::Sleep(uint32_t ms)
{
    platform::Sleep(ms);
}

void CRunEnvironment::SetThreadPriority(platform::ThreadPriority priority)
{
    platform::SetCurrentThreadPriority(priority);
}

void CRunEnvironment::SetNormalPriorityClass()
{
    platform::SetNormalProcessPriority();
}

void* CRunEnvironment::AllocPages(size_t bytes)
{
    return platform::AllocPages(bytes);
}

void CRunEnvironment::FreePages(void* block)
{
    platform::FreePages(block);
}

std::unique_ptr<platform::CThread> CRunEnvironment::CreateThread(platform::CThread::Entry entry,
                                                                 void* param,
                                                                 platform::ThreadPriority priority,
                                                                 bool suspended)
{
    return platform::CThread::Start(entry, param, priority, suspended);
}

CRunEnvironment& CRunEnvironment::System()
{
    static CRunEnvironment system;
    return system;
}
