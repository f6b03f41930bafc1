// The UI thread's queue.
#include "framework/MessageQueue.h"

#include <chrono>

namespace fw {

namespace {
// How often a PumpUntil with nothing arriving looks at its condition again.
constexpr uint32_t kPollMs = 5;

// The queue whose wake handler the calling thread is inside, if any.
thread_local const CMessageQueue* t_pWaking = nullptr;
} // namespace

CMessageQueue::CMessageQueue() : m_owner(std::this_thread::get_id()) {}

CMessageQueue::~CMessageQueue()
{
    // Release every waiter, also one that queues while this runs, before the members go.
    std::unique_lock lock(m_mutex);
    m_wake.reset();
    m_cvWoken.wait(lock, [&] { return m_nWaking == 0; });
    for (;;)
    {
        for (SItem& item : m_items)
            if (item.call)
                item.call->done = true;
        m_items.clear();
        m_cvDone.notify_all();
        if (m_nWaiting == 0)
            break;
        m_cvDone.wait(lock, [&] { return m_nWaiting == 0 || !m_items.empty(); });
    }
}

void CMessageQueue::Push(SItem item)
{
    std::shared_ptr<const std::function<void()>> wake;
    {
        std::lock_guard lock(m_mutex);
        if (item.call)
            ++m_nWaiting;
        m_items.push_back(std::move(item));
        wake = m_wake;
        if (wake)
            ++m_nWaking;
    }
    m_cvArrived.notify_all();
    m_cvDone.notify_all();
    if (!wake)
        return;
    // Counted while inside, so that replacing the handler waits for this call to leave it.
    const CMessageQueue* outer = t_pWaking;
    t_pWaking = this;
    try
    {
        (*wake)();
    }
    catch (...)
    {
        t_pWaking = outer;
        LeaveWake();
        throw;
    }
    t_pWaking = outer;
    LeaveWake();
}

void CMessageQueue::LeaveWake()
{
    std::lock_guard lock(m_mutex);
    --m_nWaking;
    // Under the lock: a destructor waiting for the last waker may destroy the condition
    // the moment the lock is free.
    m_cvWoken.notify_all();
}

void CMessageQueue::Complete(const std::shared_ptr<SCall>& call, bool ran, std::exception_ptr error)
{
    {
        std::lock_guard lock(m_mutex);
        call->done = true;
        call->ran = ran;
        call->error = std::move(error);
    }
    m_cvDone.notify_all();
}

void CMessageQueue::Post(CWnd* target, std::function<void()> fn)
{
    Push(SItem{target, std::move(fn), nullptr});
}

bool CMessageQueue::Call(CWnd* target, const std::function<void()>& fn)
{
    if (IsOwnerThread())
    {
        fn();
        return true;
    }
    auto call = std::make_shared<SCall>();
    Push(SItem{target, fn, call});
    std::unique_lock lock(m_mutex);
    m_cvDone.wait(lock, [&] { return call->done; });
    --m_nWaiting;
    const bool ran = call->ran;
    std::exception_ptr error = call->error;
    // Under the lock: a destructor waiting for the last caller may destroy the condition
    // the moment the lock is free.
    m_cvDone.notify_all();
    lock.unlock();
    if (error)
        std::rethrow_exception(error);
    return ran;
}

size_t CMessageQueue::Pump(uint32_t waitMs)
{
    size_t count = 0;
    std::unique_lock lock(m_mutex);
    if (m_items.empty() && waitMs > 0)
        m_cvArrived.wait_for(lock, std::chrono::milliseconds(waitMs),
                             [&] { return !m_items.empty(); });
    // Only what is queued now: a handler that posts again does not keep this pump going.
    size_t budget = m_items.size();
    while (budget-- > 0 && !m_items.empty())
    {
        SItem item = std::move(m_items.front());
        m_items.pop_front();
        lock.unlock();
        ++count;
        if (item.call)
        {
            std::exception_ptr error;
            try
            {
                item.fn();
            }
            catch (...)
            {
                error = std::current_exception();
            }
            Complete(item.call, true, error);
        }
        else
        {
            item.fn();
        }
        lock.lock();
    }
    return count;
}

bool CMessageQueue::PumpUntil(const std::function<bool()>& done, uint32_t ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        if (done())
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        Pump(static_cast<uint32_t>(left < kPollMs ? left + 1 : kPollMs));
    }
}

void CMessageQueue::Forget(CWnd* target)
{
    std::deque<SItem> dropped;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_items.begin(); it != m_items.end();)
        {
            if (it->target == target)
            {
                dropped.push_back(std::move(*it));
                it = m_items.erase(it);
            }
            else
            {
                ++it;
            }
        }
    }
    for (SItem& item : dropped)
        if (item.call)
            Complete(item.call, false, nullptr);
}

void CMessageQueue::SetWakeHandler(std::function<void()> wake)
{
    std::unique_lock lock(m_mutex);
    m_wake = wake ? std::make_shared<const std::function<void()>>(std::move(wake)) : nullptr;
    const size_t self = t_pWaking == this ? 1 : 0;
    m_cvWoken.wait(lock, [&] { return m_nWaking <= self; });
}

size_t CMessageQueue::Pending() const
{
    std::lock_guard lock(m_mutex);
    return m_items.size();
}

size_t CMessageQueue::WaitingCallers() const
{
    std::lock_guard lock(m_mutex);
    return m_nWaiting;
}

} // namespace fw
