// Runs the UI queue's items on the wx event loop: worker sends and posts reach their windows
// there, also while a modal dialog runs its own loop.
#pragma once

#include <atomic>
#include <memory>

namespace fw {
class CMessageQueue;
}

class CWxQueuePump
{
public:
    // Installs itself as queue's wake handler; the queue must outlive this object.
    explicit CWxQueuePump(fw::CMessageQueue& queue);
    // Removes the wake handler; a pump already scheduled then does nothing.
    ~CWxQueuePump();
    CWxQueuePump(const CWxQueuePump&) = delete;
    CWxQueuePump& operator=(const CWxQueuePump&) = delete;

    // Runs everything queued now (UI thread).
    void PumpNow();

private:
    // Shared with the scheduled calls, which may outlive this object on the event loop.
    struct SState
    {
        fw::CMessageQueue* pQueue = nullptr;
        std::atomic<bool> bScheduled{false};
        std::atomic<bool> bAlive{true};
    };
    static void Pump(SState& state);

    std::shared_ptr<SState> m_pState;
};
