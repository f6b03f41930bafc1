// Page-aligned, committed, read-write buffers for unbuffered device reads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// The size of a memory page in bytes.
size_t PageSize();

// Allocates bytes (rounded up to whole pages), zero-filled and committed.
// Returns nullptr when bytes is 0 or the memory cannot be had.
void* AllocPages(size_t bytes);

// Releases a block from AllocPages; nullptr is ignored.
void FreePages(void* block);

// Owns one AllocPages block.
class CPageBuffer
{
public:
    CPageBuffer() = default;
    explicit CPageBuffer(size_t bytes) : m_pData(static_cast<uint8_t*>(AllocPages(bytes))) {}
    ~CPageBuffer() { FreePages(m_pData); }
    CPageBuffer(const CPageBuffer&) = delete;
    CPageBuffer& operator=(const CPageBuffer&) = delete;

    uint8_t* Get() const { return m_pData; }
    explicit operator bool() const { return m_pData != nullptr; }

private:
    uint8_t* m_pData = nullptr;
};

} // namespace platform
