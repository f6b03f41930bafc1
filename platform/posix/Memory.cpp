// Page-aligned buffers on the C library's aligned allocator.
#include "platform/Memory.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace platform {

size_t PageSize()
{
    static const size_t page = [] {
        const long n = sysconf(_SC_PAGESIZE);
        return n > 0 ? static_cast<size_t>(n) : size_t{4096};
    }();
    return page;
}

void* AllocPages(size_t bytes)
{
    const size_t page = PageSize();
    if (bytes == 0 || bytes > SIZE_MAX - page)
        return nullptr;
    const size_t rounded = (bytes + page - 1) / page * page;
    void* block = nullptr;
    if (posix_memalign(&block, page, rounded) != 0)
        return nullptr;
    // Touch every page now, so that the buffer is committed before anything is timed.
    std::memset(block, 0, rounded);
    return block;
}

void FreePages(void* block)
{
    std::free(block);
}

} // namespace platform
