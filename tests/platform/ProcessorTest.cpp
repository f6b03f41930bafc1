// Processor sets, binding a thread to a processor, and changing a running thread's priority.
#include "platform/Processor.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sched.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

TEST(Processor, UsableProcessorsAreTheAffinityMask)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    std::vector<uint32_t> expected;
    for (int i = 0; i < CPU_SETSIZE; ++i)
        if (CPU_ISSET(i, &set))
            expected.push_back(static_cast<uint32_t>(i));
    EXPECT_EQ(platform::UsableProcessors(), expected);
}

TEST(Processor, PinningKeepsAThreadOnItsProcessor)
{
    const std::vector<uint32_t> before = platform::UsableProcessors();
    for (uint32_t processor : before)
    {
        std::thread([processor] {
            ASSERT_TRUE(platform::PinCurrentThread(processor)) << processor;
            // The move happens at once; the thread never runs elsewhere after it.
            for (int i = 0; i < 100; ++i)
                ASSERT_EQ(sched_getcpu(), static_cast<int>(processor));
        }).join();
    }
    // Pinning binds the thread that asks, not the process.
    EXPECT_EQ(platform::UsableProcessors(), before);
}

TEST(Processor, PinningToAMissingProcessorFails)
{
    std::thread([] {
        const std::vector<uint32_t> before = platform::UsableProcessors();
        EXPECT_FALSE(platform::PinCurrentThread(1u << 20));
        EXPECT_EQ(platform::UsableProcessors(), before) << "a refused pin changes nothing";
    }).join();
}

namespace {

struct SWaiter
{
    std::atomic<pid_t> tid{0};
    std::atomic<bool> release{false};
};

unsigned WaitForRelease(void* param)
{
    auto* w = static_cast<SWaiter*>(param);
    w->tid = static_cast<pid_t>(syscall(SYS_gettid));
    while (!w->release)
        platform::Sleep(1);
    return 7;
}

} // namespace

TEST(Thread, PriorityOfARunningThreadChangesFromOutside)
{
    SWaiter waiter;
    auto thread =
        platform::CThread::Start(&WaitForRelease, &waiter, platform::ThreadPriority::Idle, true);
    ASSERT_TRUE(thread);
    // Still suspended: the change is not undone when the thread takes its start priority.
    EXPECT_TRUE(thread->SetPriority(platform::ThreadPriority::Normal));
    thread->Resume();
    while (waiter.tid == 0)
        platform::Sleep(1);
    EXPECT_EQ(sched_getscheduler(waiter.tid), SCHED_OTHER);

    EXPECT_TRUE(thread->SetPriority(platform::ThreadPriority::Idle));
    EXPECT_EQ(sched_getscheduler(waiter.tid), SCHED_IDLE);

    waiter.release = true;
    ASSERT_TRUE(thread->Wait(10000));
    EXPECT_EQ(thread->ExitCode(), 7u);
    EXPECT_FALSE(thread->SetPriority(platform::ThreadPriority::Normal)) << "the thread has ended";
}
