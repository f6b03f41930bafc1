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

bool SetNice(int nice)
{
    return setpriority(PRIO_PROCESS, CurrentThreadId(), nice) == 0;
}

int CurrentNice()
{
    errno = 0;
    const int n = getpriority(PRIO_PROCESS, CurrentThreadId());
    return errno == 0 ? n : BaseNice();
}

bool SetPolicy(int policy)
{
    sched_param param{};
    param.sched_priority = 0;
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

int CurrentPolicy()
{
    int policy = SCHED_OTHER;
    sched_param param{};
    if (pthread_getschedparam(pthread_self(), &policy, &param) != 0)
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

bool SetOrdinaryNice(int nice)
{
    if (CurrentPolicy() != SCHED_OTHER && !SetPolicy(SCHED_OTHER))
        return false;
    return SetNice(nice);
}

void Trampoline(std::shared_ptr<CThread::SState> state, CThread::Entry entry, void* param,
                ThreadPriority priority)
{
    SetCurrentThreadPriority(priority);
    {
        std::unique_lock lock(state->mutex);
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

unsigned CThread::ExitCode() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->exitCode;
}

bool SetCurrentThreadPriority(ThreadPriority priority)
{
    const int base = BaseNice();
    switch (priority)
    {
    case ThreadPriority::Idle:
        return SetPolicy(SCHED_IDLE) || SetNice(19);
    case ThreadPriority::Lowest:
        return SetOrdinaryNice(base + 2 > 19 ? 19 : base + 2);
    case ThreadPriority::Normal:
        return SetOrdinaryNice(base);
    case ThreadPriority::TimeCritical:
        if (SetOrdinaryNice(-20))
            return true;
        // Without privileges: as strong as the nice limit allows, never weaker than now.
        {
            const int allowed = StrongestAllowedNice();
            return allowed < CurrentNice() && SetOrdinaryNice(allowed);
        }
    }
    return false;
}

ThreadPriority GetCurrentThreadPriority()
{
    if (CurrentPolicy() == SCHED_IDLE)
        return ThreadPriority::Idle;
    const int nice = CurrentNice();
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
