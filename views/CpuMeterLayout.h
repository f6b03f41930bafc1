// The processor-load meter's picture: a column of ten segments and the load in percent.
#pragma once

#include "views/Canvas.h"

#include <array>
#include <cstdint>
#include <string>

inline constexpr COLORREF kCpuMeterBackgroundColor = RgbColor(0, 0, 64);
inline constexpr COLORREF kCpuMeterUnlitColor = RgbColor(0, 128, 0);
inline constexpr COLORREF kCpuMeterLitColor = RgbColor(0, 255, 0); // also the percentage

// One segment: the same two bars on each of its rows, split by a notch in the middle. The
// rectangles exclude their right and bottom edges, as the lines that draw them exclude their
// end points.
struct SCpuMeterSegment
{
    SRect m_rcLeft;
    SRect m_rcRight;
    BOOL m_bLit = 0;
    COLORREF m_clr = 0;
};

// Everything is 32-bit integer arithmetic; divisions truncate.
struct SCpuMeterLayout
{
    int32_t m_nWidth = 0; // client size
    int32_t m_nHeight = 0;
    uint32_t m_nUsage = 0;
    int32_t m_nX0 = 0;    // left edge of the bars
    int32_t m_nBar = 0;   // half the width of a segment, notch included
    int32_t m_nY0 = 0;    // top of the first segment
    int32_t m_nSeg = 0;   // rows of a segment
    int32_t m_nGap = 0;   // rows between segments
    int32_t m_nNotch = 0; // half the gap in the middle of a segment
    uint32_t m_nLit = 0;  // lit segments, counted from the bottom: the tens rounded up
    std::array<SCpuMeterSegment, 10> m_segments; // top (0) to bottom (9)
    std::string m_text;                          // "%2u%%" of the usage
    SFont m_font;
    SRect m_rcText; // the text is centred on one line in it

    // The top-left corner of a text of size extent centred in m_rcText.
    int32_t TextX(const SSize& extent) const
    {
        return m_rcText.left + (m_rcText.right - m_rcText.left - extent.cx) / 2;
    }
    int32_t TextY(const SSize& extent) const
    {
        return m_rcText.top + (m_rcText.bottom - m_rcText.top - extent.cy) / 2;
    }
};

// The picture for a client area of nWidth × nHeight showing nUsage percent (above 100 reads
// as 100 for the segments).
SCpuMeterLayout ComputeCpuMeterLayout(int32_t nWidth, int32_t nHeight, uint32_t nUsage);

// Paints the layout: the background over the client area, each segment row by row with a
// solid pen of width 1, then the text in its font. The previous font is restored.
void PaintCpuMeter(ICanvas& canvas, const SCpuMeterLayout& layout);
