// The speed graph's paint, step by step onto the canvas.
#include "views/GraphPainter.h"

#include <algorithm>
#include <vector>

namespace {

// Where cylinder c lies, no further right than the plot area's right edge.
int32_t ClipToData(const SGraphLayout& layout, uint64_t c)
{
    const int64_t x = int64_t{layout.m_nX0} + static_cast<int64_t>(c / layout.m_nXScale);
    return static_cast<int32_t>(
        std::clamp<int64_t>(x, layout.m_rcData.left, layout.m_rcData.right));
}

// A segment that touches a failed cylinder gets the error colour.
void DrawCurve(ICanvas& canvas, const SGraphLayout& layout, const CReadingResult* pResults,
               int32_t nResults, int32_t xStart, COLORREF clr, COLORREF clrError)
{
    if (!pResults || nResults < 1)
        return;
    int32_t x = xStart;
    int32_t y = layout.SpeedY(pResults[0].m_nSpeed);
    for (int32_t i = 1; i < nResults; ++i)
    {
        const CReadingResult& prev = pResults[i - 1];
        const CReadingResult& cur = pResults[i];
        const int32_t x2 = layout.CylinderX(static_cast<uint32_t>(cur.m_nCylinder));
        const int32_t y2 = layout.SpeedY(cur.m_nSpeed);
        const bool bError = prev.m_dwError != 0 || cur.m_dwError != 0;
        canvas.DrawLine(x, y, x2, y2, SPen{bError ? clrError : clr, EPenStyle::Solid, 1});
        x = x2;
        y = y2;
    }
}

} // namespace

SGraphLayout PaintGraph(ICanvas& canvas, const SGraphData& data, int32_t nWidth, int32_t nHeight)
{
    canvas.FillRect({0, 0, nWidth, nHeight}, kGraphBackgroundColor);
    const SFont previousFont = canvas.SelectFont(GraphFont(nHeight));
    const SGraphLayout layout = ComputeGraphLayout(
        data.m_nCylinders, data.m_nGraphMax, nWidth, nHeight,
        [&canvas](const std::string& text) { return canvas.GetTextExtent(text); });
    if (!layout.m_bPlot)
    {
        canvas.SelectFont(previousFont);
        return layout;
    }
    const int32_t x0 = layout.m_nX0;
    const int32_t yTop = layout.m_nYTop;
    const int32_t yBottom = layout.m_nYBottom;

    // Cylinders outside every partition keep the plot colour, which is the Free class's.
    canvas.FillRect(layout.m_rcData, kGraphPlotColor);
    std::vector<int32_t> boundaries{layout.m_rcData.right};
    if (data.m_bHasDrive)
    {
        for (const SGraphPartition& part : data.m_partitions)
        {
            // In 64 bits and cut to the plot area: a table entry may claim far more cylinders
            // than the drive has (0xFFFFFFFF sectors), and its end must not wrap around.
            const int32_t x1 = ClipToData(layout, uint64_t{part.m_nStartCylinder});
            const int32_t x2 =
                ClipToData(layout, uint64_t{part.m_nStartCylinder} + part.m_nCylinders + 1u);
            if (x2 > x1)
                canvas.FillRect({x1, yTop, x2, yBottom}, part.m_clr);
            boundaries.push_back(x1);
            boundaries.push_back(x2);
        }
        if (data.m_bSelection)
            canvas.FillRect(GraphSelectionRect(layout, data.m_nSelStart, data.m_nSelEnd),
                            kGraphSelectionColor);
    }

    const SPen solid{kGraphGrayColor, EPenStyle::Solid, 1};
    canvas.DrawLine(x0, yBottom, x0, yTop, solid);
    canvas.DrawText(layout.m_title.x, layout.m_title.y, layout.m_title.text, kGraphGrayColor);
    canvas.DrawLine(x0, yBottom, layout.m_rcAxes.right, yBottom, solid);
    for (const int32_t x : boundaries)
        canvas.DrawLine(x, yBottom, x, yTop, solid);

    const SPen dotted{kGraphGrayColor, EPenStyle::Dotted, 1};
    for (const SGraphGridLine& line : layout.m_speedGrid)
    {
        canvas.DrawLine(x0, line.pos, layout.m_rcAxes.right, line.pos, dotted);
        if (line.label.bShown)
            canvas.DrawText(line.label.x, line.label.y, line.label.text, kGraphGrayColor);
    }
    for (const SGraphGridLine& line : layout.m_cylinderGrid)
    {
        canvas.DrawLine(line.pos, yBottom, line.pos, yBottom - layout.m_nPlotHeight, dotted);
        if (line.label.bShown)
            canvas.DrawText(line.label.x, line.label.y, line.label.text, kGraphGrayColor);
    }
    if (layout.m_caption.bShown)
        canvas.DrawText(layout.m_caption.x, layout.m_caption.y, layout.m_caption.text,
                        kGraphGrayColor);
    canvas.SelectFont(previousFont);

    // The first point stands on the speed axis whatever its cylinder.
    DrawCurve(canvas, layout, data.m_pResults, data.m_nResults, x0, kGraphCurveColor,
              kGraphCurveErrorColor);
    if (data.m_bSelection)
        DrawCurve(canvas, layout, data.m_pSelResults, data.m_nSelResults,
                  layout.CylinderX(data.m_nSelStart), kGraphSelCurveColor,
                  kGraphSelCurveErrorColor);
    return layout;
}
