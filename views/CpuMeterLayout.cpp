// The processor-load meter's picture: layout arithmetic and painting onto a canvas.
#include "views/CpuMeterLayout.h"

#include "framework/Format.h"

#include <algorithm>

SCpuMeterLayout ComputeCpuMeterLayout(int32_t nWidth, int32_t nHeight, uint32_t nUsage)
{
    SCpuMeterLayout l;
    l.m_nWidth = nWidth;
    l.m_nHeight = nHeight;
    l.m_nUsage = nUsage;
    l.m_nX0 = std::max(nWidth / 10, 10);
    l.m_nBar = std::max(4 * (nWidth / 10), 20);
    l.m_nY0 = std::max(nHeight / 10, 10);
    l.m_nSeg = std::max(nHeight / 20, 2);
    l.m_nGap = std::max(nHeight / 50, 1);
    l.m_nNotch = std::max(l.m_nSeg / 2, 2);

    l.m_nLit = std::min(nUsage / 10 + (nUsage % 10 != 0 ? 1 : 0), 10u);
    for (int32_t k = 0; k < 10; ++k)
    {
        SCpuMeterSegment& s = l.m_segments[static_cast<size_t>(k)];
        const int32_t top = l.m_nY0 + k * (l.m_nSeg + l.m_nGap);
        const int32_t bottom = top + l.m_nSeg;
        s.m_rcLeft = {l.m_nX0, top, l.m_nX0 + l.m_nBar - l.m_nNotch, bottom};
        s.m_rcRight = {l.m_nX0 + l.m_nBar + l.m_nNotch, top, l.m_nX0 + 2 * l.m_nBar, bottom};
        // The lit column grows from the bottom.
        s.m_bLit = k >= 10 - static_cast<int32_t>(l.m_nLit) ? 1 : 0;
        s.m_clr = s.m_bLit ? kCpuMeterLitColor : kCpuMeterUnlitColor;
    }

    l.m_text = fw::FormatText("%2u%%", nUsage);
    l.m_rcText.left = 0;
    l.m_rcText.top = l.m_nY0 + 10 * (l.m_nSeg + l.m_nGap);
    l.m_rcText.right = std::max(nWidth, 2 * l.m_nX0 + 2 * l.m_nBar);
    l.m_rcText.bottom = std::max(l.m_rcText.top + 20, nHeight);
    l.m_font.face = "Arial";
    l.m_font.height = ((l.m_rcText.bottom - l.m_rcText.top) / 10) * 8;
    return l;
}

void PaintCpuMeter(ICanvas& canvas, const SCpuMeterLayout& layout)
{
    canvas.FillRect({0, 0, layout.m_nWidth, layout.m_nHeight}, kCpuMeterBackgroundColor);
    for (const SCpuMeterSegment& s : layout.m_segments)
    {
        const SPen pen{s.m_clr, EPenStyle::Solid, 1};
        for (int32_t y = s.m_rcLeft.top; y < s.m_rcLeft.bottom; ++y)
        {
            canvas.DrawLine(s.m_rcLeft.left, y, s.m_rcLeft.right, y, pen);
            canvas.DrawLine(s.m_rcRight.left, y, s.m_rcRight.right, y, pen);
        }
    }
    const SFont previous = canvas.SelectFont(layout.m_font);
    const SSize extent = canvas.GetTextExtent(layout.m_text);
    canvas.DrawText(layout.TextX(extent), layout.TextY(extent), layout.m_text, kCpuMeterLitColor);
    canvas.SelectFont(previous);
}
