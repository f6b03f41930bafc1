// Threads on std::thread; priorities as per-thread nice values and SCHED_IDLE (Linux).
#include "platform/Thread.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace platform {

struct CThread::SState
{
    std::mutex mutex;
    std::condition_variable cv;
    bool resumed = false;
    bool ended = false;
    unsigned exitCode = 0;
    pid_t tid = 0; // the kernel's id of the thread, once it has taken its start priority
    std::thread thread;
};

namespace {

// The nice value of a normal thread: the one the process had when it started.
int BaseNice()
{
    static const int base = [] {
        errno = 0;
        const int n = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
        return errno == 0 ? n : 0;
    }();
    return base;
}

// On Linux, PRIO_PROCESS with a thread id addresses that one thread.
id_t CurrentThreadId()
{
    return static_cast<id_t>(syscall(SYS_gettid));
}

// One thread as the scheduling calls address it: its pthread handle for the policy and its
// kernel id for the nice value.
struct SSchedTarget
{
    pthread_t handle;
    id_t tid;
};

SSchedTarget CurrentTarget()
{
    return {pthread_self(), CurrentThreadId()};
}

bool SetNice(const SSchedTarget& t, int nice)
{
    return setpriority(PRIO_PROCESS, t.tid, nice) == 0;
}

int CurrentNice(const SSchedTarget& t)
{
    errno = 0;
    const int n = getpriority(PRIO_PROCESS, t.tid);
    return errno == 0 ? n : BaseNice();
}

bool SetPolicy(const SSchedTarget& t, int policy)
{
    sched_param param{};
    param.sched_priority = 0;
    return pthread_setschedparam(t.handle, policy, &param) == 0;
}

int CurrentPolicy(const SSchedTarget& t)
{
    int policy = SCHED_OTHER;
    sched_param param{};
    if (pthread_getschedparam(t.handle, &policy, &param) != 0)
        return SCHED_OTHER;
    return policy;
}

// The strongest nice value RLIMIT_NICE grants without privileges.
int StrongestAllowedNice()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -20;
    const long strongest = 20 - static_cast<long>(limit.rlim_cur);
    return static_cast<int>(strongest < -20 ? -20 : strongest > 19 ? 19 : strongest);
}

bool SetOrdinaryNice(const SSchedTarget& t, int nice)
{
    if (CurrentPolicy(t) != SCHED_OTHER && !SetPolicy(t, SCHED_OTHER))
        return false;
    return SetNice(t, nice);
}

bool ApplyPriority(const SSchedTarget& t, ThreadPriority priority)
{
    const int base = BaseNice();
    switch (priority)
    {
    case ThreadPriority::Idle:
        return SetPolicy(t, SCHED_IDLE) || SetNice(t, 19);
    case ThreadPriority::Lowest:
        return SetOrdinaryNice(t, base + 2 > 19 ? 19 : base + 2);
    case ThreadPriority::Normal:
        return SetOrdinaryNice(t, base);
    case ThreadPriority::TimeCritical:
        if (SetOrdinaryNice(t, -20))
            return true;
        // Without privileges: as strong as the nice limit allows, never weaker than now.
        {
            const int allowed = StrongestAllowedNice();
            return allowed < CurrentNice(t) && SetOrdinaryNice(t, allowed);
        }
    }
    return false;
}

void Trampoline(std::shared_ptr<CThread::SState> state, CThread::Entry entry, void* param,
                ThreadPriority priority)
{
    SetCurrentThreadPriority(priority);
    {
        std::unique_lock lock(state->mutex);
        state->tid = static_cast<pid_t>(CurrentThreadId());
        state->cv.notify_all();
        state->cv.wait(lock, [&] { return state->resumed; });
    }
    const unsigned code = entry(param);
    std::lock_guard lock(state->mutex);
    state->exitCode = code;
    state->ended = true;
    state->cv.notify_all();
}

} // namespace

std::unique_ptr<CThread> CThread::Start(Entry entry, void* param, ThreadPriority priority,
                                        bool suspended)
{
    std::unique_ptr<CThread> thread(new CThread);
    thread->m_state = std::make_shared<SState>();
    thread->m_state->resumed = !suspended;
    try
    {
        thread->m_state->thread = std::thread(Trampoline, thread->m_state, entry, param, priority);
    }
    catch (const std::system_error&)
    {
        return nullptr;
    }
    return thread;
}

CThread::~CThread()
{
    Resume();
    if (m_state->thread.joinable())
        m_state->thread.join();
}

void CThread::Resume()
{
    std::lock_guard lock(m_state->mutex);
    m_state->resumed = true;
    m_state->cv.notify_all();
}

bool CThread::Wait(uint32_t ms)
{
    std::unique_lock lock(m_state->mutex);
    return m_state->cv.wait_for(lock, std::chrono::milliseconds(ms),
                                [&] { return m_state->ended; });
}

bool CThread::SetPriority(ThreadPriority priority)
{
    std::unique_lock lock(m_state->mutex);
    // The thread records its id as soon as it has taken its start priority, so a change asked
    // for now is never overwritten by that start.
    m_state->cv.wait(lock, [&] { return m_state->tid != 0 || m_state->ended; });
    // Under the lock the thread cannot end, so its handle and id still name it.
    if (m_state->ended)
        return false;
    return ApplyPriority({m_state->thread.native_handle(), static_cast<id_t>(m_state->tid)},
                         priority);
}

unsigned CThread::ExitCode() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->exitCode;
}

bool SetCurrentThreadPriority(ThreadPriority priority)
{
    return ApplyPriority(CurrentTarget(), priority);
}

ThreadPriority GetCurrentThreadPriority()
{
    const SSchedTarget self = CurrentTarget();
    if (CurrentPolicy(self) == SCHED_IDLE)
        return ThreadPriority::Idle;
    const int nice = CurrentNice(self);
    const int base = BaseNice();
    if (nice > base)
        return ThreadPriority::Lowest;
    if (nice < base)
        return ThreadPriority::TimeCritical;
    return ThreadPriority::Normal;
}

void SetNormalProcessPriority() {}

void Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace platform
