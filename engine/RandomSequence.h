// The random access test's number generator: the same 0 to 32 767 sequence in every run.
#pragma once

#include <cstdint>

class CRandomSequence
{
public:
    static constexpr int kMax = 0x7FFF;

    // The next draw, 0 to 32 767.
    int Next()
    {
        m_x = m_x * 214013u + 2531011u;
        return static_cast<int>((m_x >> 16) & 0x7FFF);
    }

private:
    uint32_t m_x = 1;
};
