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

// Owns one block of an environment's AllocPages: freed through the same environment when
// the owner goes, however the code that holds it is left.
class CRunPages
{
public:
    CRunPages() = default;
    CRunPages(CRunEnvironment& env, size_t bytes)
        : m_pEnv(&env), m_pData(static_cast<uint8_t*>(env.AllocPages(bytes)))
    {}
    ~CRunPages() { Reset(); }
    CRunPages(CRunPages&& other) noexcept : m_pEnv(other.m_pEnv), m_pData(other.m_pData)
    {
        other.m_pData = nullptr;
    }
    CRunPages& operator=(CRunPages&& other) noexcept
    {
        if (this != &other)
        {
            Reset();
            m_pEnv = other.m_pEnv;
            m_pData = other.m_pData;
            other.m_pData = nullptr;
        }
        return *this;
    }
    CRunPages(const CRunPages&) = delete;
    CRunPages& operator=(const CRunPages&) = delete;

    uint8_t* Get() const { return m_pData; }
    explicit operator bool() const { return m_pData != nullptr; }
    // Frees the block now.
    void Reset()
    {
        if (m_pData)
            m_pEnv->FreePages(m_pData);
        m_pData = nullptr;
    }

private:
    CRunEnvironment* m_pEnv = nullptr;
    uint8_t* m_pData = nullptr;
};
