// The speed graph as a picture file, painted as the desktop view paints it at a client size.
#pragma once

#include "views/GraphData.h"

#include <cstdint>
#include <string>

enum class EGraphImageFormat
{
    Png,
    Svg,
};

// The largest width or height an image may have.
inline constexpr int32_t kMaxGraphImageSide = 32767;

// Paints data at a client size of nWidth × nHeight into the file at path. Returns 0, or a
// Win32 error number: InvalidParameter for a side outside 1 … kMaxGraphImageSide, otherwise
// the error of creating or writing the file (a partly written regular file is removed).
uint32_t WriteGraphImage(const SGraphData& data, int32_t nWidth, int32_t nHeight,
                         const std::string& path, EGraphImageFormat format);
