// Threads with a start priority and a suspended start, and the calling thread's priority.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// Scheduling priorities, weakest first. Best effort: where the OS refuses one (an
// unprivileged process may lower its priority but not raise it again), the thread keeps
// the priority it has. No priority ever asks for a real-time policy.
enum class ThreadPriority
{
    Idle,         // runs only when nothing else wants the processor
    Lowest,       // a little below normal
    Normal,       // the process's own priority
    TimeCritical, // the strongest priority the OS allows this process without real time
};

// One thread running entry(param).
class CThread
{
public:
    using Entry = unsigned (*)(void* param);

    // Starts a thread at priority; a suspended thread runs entry only after Resume.
    // Returns nullptr when the OS refuses a thread.
    static std::unique_ptr<CThread> Start(Entry entry, void* param, ThreadPriority priority,
                                          bool suspended);

    // Waits for the thread to end (a suspended thread is resumed first, so it can).
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Lets a suspended thread run; harmless on a running one.
    void Resume();

    // Changes the thread's priority from another thread, best effort as at the start;
    // false when the OS refused it or the thread has ended.
    bool SetPriority(ThreadPriority priority);

    // Waits up to ms milliseconds for the thread to end; true when it has ended.
    bool Wait(uint32_t ms);

    // What entry returned; 0 while the thread runs.
    unsigned ExitCode() const;

    struct SState;

private:
    CThread() = default;
    std::shared_ptr<SState> m_state;
};

// Sets the calling thread's priority; false when the OS refused it.
bool SetCurrentThreadPriority(ThreadPriority priority);

// The calling thread's priority as far as it can be told.
ThreadPriority GetCurrentThreadPriority();

// Returns the process to the normal priority class where the OS has classes. POSIX has
// none: the process's nice value is the user's choice and stays.
void SetNormalProcessPriority();

// Suspends the calling thread for ms milliseconds.
void Sleep(uint32_t ms);

} // namespace platform
