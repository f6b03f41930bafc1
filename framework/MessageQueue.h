// The UI thread's queue: posted messages, and calls from other threads that wait to be run.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace fw {

class CWnd;

// Everything another thread asks of the UI thread goes through one queue, in the order it
// was asked. The thread that creates the queue is its owner, the UI thread; only the owner
// pumps. A front end either pumps in its own loop (the console program) or installs a wake
// handler that schedules a pump in its toolkit's loop.
class CMessageQueue
{
public:
    CMessageQueue();
    // Callers still waiting in Call return without their call having run.
    ~CMessageQueue();
    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    bool IsOwnerThread() const { return std::this_thread::get_id() == m_owner; }

    // Queues fn for the owner thread; target (may be null) names the window it belongs to,
    // so that the window's destruction drops it.
    void Post(CWnd* target, std::function<void()> fn);

    // Runs fn on the owner thread and returns once it has run, rethrowing its exception.
    // On the owner thread fn runs at once. Returns false when fn was dropped unrun (its
    // window or the queue went away).
    bool Call(CWnd* target, const std::function<void()>& fn);

    // Owner thread: runs what is queued, first waiting up to waitMs for something to arrive.
    // Returns the number of items run. An exception of a posted item passes to the caller;
    // the items after it stay queued.
    size_t Pump(uint32_t waitMs = 0);

    // Owner thread: keeps pumping until done() or ms have passed; returns done().
    bool PumpUntil(const std::function<bool()>& done, uint32_t ms);

    // Drops the items queued for target; its waiting callers return.
    void Forget(CWnd* target);

    // Called from the queuing thread whenever an item arrives; null for none. Returns once no
    // other thread is inside the handler it replaces, so what that handler uses may be
    // destroyed right after (a handler that replaces itself does not wait for itself). The
    // handler must not wait for the owner thread.
    void SetWakeHandler(std::function<void()> wake);

    // Items not yet run, and threads waiting in Call.
    size_t Pending() const;
    size_t WaitingCallers() const;

private:
    struct SCall
    {
        bool done = false;
        bool ran = false;
        std::exception_ptr error;
    };
    struct SItem
    {
        CWnd* target = nullptr;
        std::function<void()> fn;
        std::shared_ptr<SCall> call; // null for a posted item
    };

    void Push(SItem item);
    void LeaveWake();
    void Complete(const std::shared_ptr<SCall>& call, bool ran, std::exception_ptr error);

    const std::thread::id m_owner;
    mutable std::mutex m_mutex;
    std::condition_variable m_cvArrived;
    std::condition_variable m_cvDone;
    std::condition_variable m_cvWoken;
    size_t m_nWaking = 0; // threads inside the wake handler
    std::deque<SItem> m_items;
    size_t m_nWaiting = 0;
    std::shared_ptr<const std::function<void()>> m_wake;
};

} // namespace fw
