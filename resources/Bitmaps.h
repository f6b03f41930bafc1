// The program's pictures.
#pragma once

#include <cstdint>

namespace res {

// A 24-bit picture: nHeight rows of nWidth pixels, top row first, each pixel red, green, blue.
struct SBitmap
{
    int nWidth;
    int nHeight;
    const uint8_t* pBits;
};

// The splash and About picture: 254 × 166.
inline constexpr uint32_t kBitmapSplash = 102;

// The picture id; nullptr when there is none.
const SBitmap* FindBitmap(uint32_t id);

} // namespace res
