// Processor sets through sched_getaffinity and sched_setaffinity (Linux).
#include "platform/Processor.h"

#include <cerrno>
#include <memory>
#include <sched.h>

namespace platform {

namespace {

// A processor mask of any size; glibc's fixed cpu_set_t stops at 1024 processors.
struct SCpuSet
{
    explicit SCpuSet(size_t count) : count(count), set(CPU_ALLOC(count), &FreeSet)
    {
        if (set)
            CPU_ZERO_S(Bytes(), set.get());
    }
    size_t Bytes() const { return CPU_ALLOC_SIZE(count); }
    static void FreeSet(cpu_set_t* p) { CPU_FREE(p); }

    size_t count;
    std::unique_ptr<cpu_set_t, void (*)(cpu_set_t*)> set;
};

} // namespace

std::vector<uint32_t> UsableProcessors()
{
    // The kernel refuses a mask smaller than its own with EINVAL: grow until it fits.
    for (size_t count = 1024; count <= (size_t{1} << 20); count *= 2)
    {
        SCpuSet cpus(count);
        if (!cpus.set)
            return {};
        if (sched_getaffinity(0, cpus.Bytes(), cpus.set.get()) != 0)
        {
            if (errno == EINVAL)
                continue;
            return {};
        }
        std::vector<uint32_t> out;
        for (size_t i = 0; i < count; ++i)
            if (CPU_ISSET_S(i, cpus.Bytes(), cpus.set.get()))
                out.push_back(static_cast<uint32_t>(i));
        return out;
    }
    return {};
}

bool PinCurrentThread(uint32_t processor)
{
    SCpuSet cpus(static_cast<size_t>(processor) + 1);
    if (!cpus.set)
        return false;
    CPU_SET_S(processor, cpus.Bytes(), cpus.set.get());
    // pid 0 addresses the calling thread alone.
    return sched_setaffinity(0, cpus.Bytes(), cpus.set.get()) == 0;
}

} // namespace platform
