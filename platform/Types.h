// The fixed-width integer types the drive layer and its callers share on every platform.
#pragma once

#include <cstdint>

// A 32-bit flag: nonzero is true.
using BOOL = int;
#ifndef TRUE
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
#endif
// A colour as 0x00BBGGRR.
using COLORREF = uint32_t;

inline constexpr COLORREF RgbColor(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
