// The speed graph's geometry: scales, margins, plot rectangles, grid lines and labels.
#pragma once

#include "views/Canvas.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A text of the graph; x and y are its cell's top-left corner.
struct SGraphLabel
{
    std::string text;
    int32_t x = 0;
    int32_t y = 0;
    SSize size;
    BOOL bShown = 0; // drawn; a label that would collide with its neighbour is not
};

struct SGraphGridLine
{
    int32_t pos = 0;    // y of a speed line, x of a cylinder line
    uint32_t value = 0; // the speed or cylinder it stands for
    SGraphLabel label;
};

// Everything is 32-bit integer arithmetic; divisions truncate.
struct SGraphLayout
{
    int32_t m_nWidth = 0; // client size
    int32_t m_nHeight = 0;
    SFont m_font;        // the font all text of the graph is measured and drawn with
    SGraphLabel m_title; // "Speed[kB/s]", measured even when there is no plot
    // 0 when the client area leaves no room for a plot: then only the background is painted
    // and every member below is zero.
    BOOL m_bPlot = 0;
    uint32_t m_nCylinders = 0;
    uint32_t m_nCylinderRange = 0; // the cylinder count rounded up to a multiple of 256
    int32_t m_nLeftMargin = 0;
    int32_t m_nAvailWidth = 0;
    int32_t m_nAvailHeight = 0;
    uint32_t m_nXScale = 0;     // cylinders per pixel, at least 1
    uint32_t m_nSpeedRange = 0; // the maximum rounded up to a multiple of 1000 kB/s
    uint32_t m_nYScale = 0;     // kB/s per pixel, at least 1
    int32_t m_nPlotWidth = 0;
    int32_t m_nPlotHeight = 0;
    int32_t m_nX0 = 0;
    int32_t m_nYTop = 0;
    int32_t m_nYBottom = 0;
    SRect m_rcAxes;                             // the axes' extent over the cylinder range
    SRect m_rcData;                             // the plot area over the drive's cylinders
    std::vector<SGraphGridLine> m_speedGrid;    // bottom up, 11 lines, the top one unlabelled
    std::vector<SGraphGridLine> m_cylinderGrid; // left to right, the last one unlabelled
    SGraphLabel m_caption;                      // "Cylinders"

    // Where cylinder c and speed v are drawn; sums wrap at 32 bits.
    int32_t CylinderX(uint32_t nCylinder) const
    {
        if (m_nXScale == 0) // no plot
            return m_nX0;
        return static_cast<int32_t>(static_cast<uint32_t>(m_nX0) + nCylinder / m_nXScale);
    }
    int32_t SpeedY(uint32_t nSpeed) const
    {
        if (m_nYScale == 0)
            return m_nYBottom;
        return static_cast<int32_t>(static_cast<uint32_t>(m_nYBottom) - nSpeed / m_nYScale);
    }
};

// The least distance in pixels between two cylinder grid lines.
inline constexpr uint32_t kGridMinSpacing = 8;

// The number of cylinder grid intervals n over a plot nPlotWidth pixels wide: R ÷ 256 (at
// least 10) while its lines are kGridMinSpacing pixels apart, else R ÷ (256 · 2^k) for the
// smallest k that puts them so far apart (at least 1).
uint32_t CylinderGridLines(uint32_t nCylinderRange, int32_t nPlotWidth);

// Measures a text in the graph's font.
using FTextExtent = std::function<SSize(const std::string&)>;

// The graph's font for a client area nHeight pixels high.
SFont GraphFont(int32_t nHeight);

// The layout for a client area of nWidth × nHeight; textExtent measures in GraphFont(nHeight).
SGraphLayout ComputeGraphLayout(uint32_t nCylinders, uint32_t nGraphMax, int32_t nWidth,
                                int32_t nHeight, const FTextExtent& textExtent);

// The shaded column of the selected cylinders [nSelStart, nSelEnd); empty without a plot.
SRect GraphSelectionRect(const SGraphLayout& layout, uint32_t nSelStart, uint32_t nSelEnd);
// The selection outline's corners: the shaded column's outermost pixels.
SRect GraphSelectionOutline(const SGraphLayout& layout, uint32_t nSelStart, uint32_t nSelEnd);
