// Platform threads: suspended start, bounded waits, priorities without a real-time policy.
#include "platform/Thread.h"

#include <atomic>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

namespace {

struct SProbe
{
    std::atomic<bool> ran{false};
    std::atomic<bool> release{false};
    std::atomic<int> priority{-1};
    std::atomic<int> policy{-1};
};

unsigned Probe(void* p)
{
    auto* probe = static_cast<SProbe*>(p);
    probe->priority = static_cast<int>(platform::GetCurrentThreadPriority());
    int policy = 0;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    probe->policy = policy;
    probe->ran = true;
    while (!probe->release)
        platform::Sleep(1);
    return 7;
}

unsigned Raise(void* p)
{
    auto* probe = static_cast<SProbe*>(p);
    platform::SetCurrentThreadPriority(platform::ThreadPriority::TimeCritical);
    int policy = 0;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    probe->policy = policy;
    probe->priority = static_cast<int>(platform::GetCurrentThreadPriority());
    platform::SetCurrentThreadPriority(platform::ThreadPriority::Normal);
    probe->ran = platform::GetCurrentThreadPriority() == platform::ThreadPriority::Normal;
    return 0;
}

} // namespace

TEST(Thread, SuspendedThreadRunsOnlyAfterResume)
{
    SProbe probe;
    auto thread = platform::CThread::Start(Probe, &probe, platform::ThreadPriority::Lowest, true);
    ASSERT_TRUE(thread);
    EXPECT_FALSE(thread->Wait(30));
    EXPECT_FALSE(probe.ran);
    thread->Resume();
    probe.release = true;
    ASSERT_TRUE(thread->Wait(10000));
    EXPECT_TRUE(probe.ran);
    EXPECT_EQ(thread->ExitCode(), 7u);
    // Lowering needs no privilege: the start priority always takes.
    EXPECT_EQ(probe.priority, static_cast<int>(platform::ThreadPriority::Lowest));
    EXPECT_EQ(probe.policy, SCHED_OTHER);
}

TEST(Thread, TimeCriticalIsNeverRealTime)
{
    SProbe probe;
    auto thread = platform::CThread::Start(Raise, &probe, platform::ThreadPriority::Normal, false);
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->Wait(10000));
    EXPECT_EQ(probe.policy, SCHED_OTHER);
    if (geteuid() == 0)
    {
        EXPECT_EQ(probe.priority, static_cast<int>(platform::ThreadPriority::TimeCritical));
        EXPECT_TRUE(probe.ran);
    }
}

TEST(Thread, DestroyingASuspendedThreadLetsItFinish)
{
    SProbe probe;
    probe.release = true;
    {
        auto thread = platform::CThread::Start(Probe, &probe, platform::ThreadPriority::Idle, true);
        ASSERT_TRUE(thread);
    }
    EXPECT_TRUE(probe.ran);
    EXPECT_EQ(probe.policy, SCHED_IDLE);
}
