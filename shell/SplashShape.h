// The outline of the splash and About window: where its picture is not black.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct SRegionRect
{
    int left;
    int top;
    int right; // one past the last pixel
    int bottom;

    bool operator==(const SRegionRect&) const = default;
};

struct SRegionData
{
    SRegionRect rcBound;            // (0, 0, width, height)
    std::vector<SRegionRect> rects; // one per run, row by row from the top, each from the left
};

// Scans a 24-bit picture (rows of width pixels, red, green, blue, stride bytes apart, top row
// first) and returns one rectangle one pixel high per run of pixels that are not exactly black
// (all three components 0); a run reaching the row's end ends at width. std::nullopt when the
// memory for the list cannot be had; the window then keeps its rectangular shape.
std::optional<SRegionData> ScanNonBlackRuns(const uint8_t* pixels, int width, int height,
                                            size_t stride);
