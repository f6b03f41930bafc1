// The speed graph's layout arithmetic.
#include "views/GraphLayout.h"

#include "framework/Format.h"

#include <algorithm>
#include <limits>

namespace {

// Sums and products wrap at 32 bits, as the layout has always computed them; going through
// unsigned keeps that defined for absurd cylinder counts and speeds.
int32_t WrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t WrapSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

int32_t WrapMul(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

} // namespace

uint32_t CylinderGridLines(uint32_t nCylinderRange, int32_t nPlotWidth)
{
    // One line per 256 cylinders, at least ten, as long as the lines stay kGridMinSpacing
    // pixels apart. A drive of hundreds of thousands of cylinders would otherwise get a line
    // every pixel or two: its step is doubled until they are that far apart again.
    const uint64_t width = nPlotWidth > 0 ? static_cast<uint64_t>(nPlotWidth) : 0;
    uint64_t n = std::max(nCylinderRange / 256u, 10u);
    for (uint32_t doublings = 1; width < kGridMinSpacing * n && n > 1 && doublings < 32;
         ++doublings)
        n = std::max<uint64_t>(nCylinderRange / (uint64_t{256} << doublings), 1);
    return static_cast<uint32_t>(n);
}

SFont GraphFont(int32_t nHeight)
{
    SFont font;
    font.face = "Arial";
    font.height = nHeight < 20 ? 0 : std::min(nHeight / 20, 14);
    font.weight = 400;
    font.bFixedPitch = 1;
    return font;
}

SGraphLayout ComputeGraphLayout(uint32_t nCylinders, uint32_t nGraphMax, int32_t nWidth,
                                int32_t nHeight, const FTextExtent& textExtent)
{
    SGraphLayout l;
    l.m_nWidth = nWidth;
    l.m_nHeight = nHeight;
    l.m_font = GraphFont(nHeight);
    l.m_title.text = "Speed[kB/s]";
    l.m_title.size = textExtent(l.m_title.text);
    const int32_t tw = l.m_title.size.cx;
    const int32_t th = l.m_title.size.cy;

    // A pane too narrow or too low for a plot would divide by zero or by a negative width.
    const int64_t aw64 = int64_t{nWidth} - (int64_t{tw} + 5) - 20;
    const int64_t ah64 = int64_t{nHeight} - 20 - (int64_t{th} + 2);
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (aw64 <= 0 || ah64 <= 0 || aw64 > kMax || ah64 > kMax)
        return l;
    const int32_t aw = static_cast<int32_t>(aw64);
    const int32_t ah = static_cast<int32_t>(ah64);

    l.m_bPlot = 1;
    l.m_nCylinders = nCylinders;
    const uint32_t R = ((nCylinders + 255u) / 256u) * 256u;
    l.m_nCylinderRange = R;
    l.m_nLeftMargin = tw + 5;
    l.m_nAvailWidth = aw;
    l.m_nAvailHeight = ah;
    l.m_nXScale = (static_cast<uint32_t>(aw) + R - 1u) / static_cast<uint32_t>(aw);
    if (l.m_nXScale == 0)
        l.m_nXScale = 1;
    const uint32_t M = nGraphMax == 0 ? 1u : nGraphMax;
    const uint32_t S = ((M + 999u) / 1000u) * 1000u;
    l.m_nSpeedRange = S;
    l.m_nYScale = (S + static_cast<uint32_t>(ah) - 1u) / static_cast<uint32_t>(ah);
    if (l.m_nYScale == 0)
        l.m_nYScale = 1;
    const int32_t pw = static_cast<int32_t>(R / l.m_nXScale);
    const int32_t ph = static_cast<int32_t>(S / l.m_nYScale);
    l.m_nPlotWidth = pw;
    l.m_nPlotHeight = ph;
    l.m_nX0 = WrapAdd(WrapSub(aw, pw) / 2, l.m_nLeftMargin);
    l.m_nYTop = WrapAdd(WrapSub(ah, ph) / 2, 20);
    l.m_nYBottom = WrapAdd(l.m_nYTop, ph);
    const int32_t x0 = l.m_nX0;
    const int32_t yBottom = l.m_nYBottom;
    l.m_rcAxes = {x0, l.m_nYTop, WrapAdd(x0, pw), yBottom};
    l.m_rcData = {x0, l.m_nYTop, l.CylinderX(nCylinders), yBottom};

    l.m_title.x = x0 - tw - 5;
    l.m_title.y = l.m_nYTop - th;
    l.m_title.bShown = 1;

    for (int32_t k = 0; k <= 10; ++k)
    {
        SGraphGridLine line;
        line.pos = WrapSub(yBottom, WrapMul(k, ph) / 10);
        line.value = (S / 10u) * static_cast<uint32_t>(k);
        if (k < 10)
        {
            // Right-aligned in five characters. (The label's format has always been "% 5u";
            // the blank flag does nothing for an unsigned number, so the texts are the same.)
            line.label.text = fw::FormatText("%5u", line.value);
            line.label.size = textExtent(line.label.text);
            line.label.x = x0 - line.label.size.cx - 5;
            line.label.y = line.pos - line.label.size.cy;
            line.label.bShown = 1;
        }
        l.m_speedGrid.push_back(std::move(line));
    }

    // Labels hang centred below their line; one that would touch or overlap the previous
    // drawn label is left out.
    const uint32_t n = CylinderGridLines(R, pw);
    int32_t last = 0;
    l.m_cylinderGrid.reserve(n + 1);
    for (uint32_t k = 0; k <= n; ++k)
    {
        SGraphGridLine line;
        const int32_t dx = static_cast<int32_t>(k * static_cast<uint32_t>(pw) / n);
        line.pos = WrapAdd(x0, dx);
        line.value = (R / n) * k;
        if (k < n)
        {
            line.label.text = fw::FormatText("%u", line.value);
            line.label.size = textExtent(line.label.text);
            line.label.x = WrapSub(line.pos, line.label.size.cx / 2);
            line.label.y = yBottom;
            if (line.label.x > last)
            {
                line.label.bShown = 1;
                last = WrapAdd(line.label.x, line.label.size.cx);
            }
        }
        l.m_cylinderGrid.push_back(std::move(line));
    }

    l.m_caption.text = "Cylinders";
    l.m_caption.size = textExtent(l.m_caption.text);
    l.m_caption.x = nWidth - l.m_caption.size.cx - 5;
    l.m_caption.y = yBottom;
    l.m_caption.bShown = l.m_caption.x > last;
    return l;
}

SRect GraphSelectionRect(const SGraphLayout& layout, uint32_t nSelStart, uint32_t nSelEnd)
{
    if (!layout.m_bPlot)
        return {};
    return {layout.CylinderX(nSelStart), layout.m_nYTop, WrapAdd(layout.CylinderX(nSelEnd), 1),
            layout.m_nYBottom};
}

SRect GraphSelectionOutline(const SGraphLayout& layout, uint32_t nSelStart, uint32_t nSelEnd)
{
    if (!layout.m_bPlot)
        return {};
    return {layout.CylinderX(nSelStart), layout.m_nYTop, layout.CylinderX(nSelEnd),
            layout.m_nYBottom - 1};
}
