// Painting of the speed graph onto a canvas: partitions, selection, axes, grids and curves.
#pragma once

#include "views/Canvas.h"
#include "views/GraphData.h"
#include "views/GraphLayout.h"

inline constexpr COLORREF kGraphBackgroundColor = RgbColor(245, 245, 245);
inline constexpr COLORREF kGraphPlotColor = RgbColor(182, 184, 184);
inline constexpr COLORREF kGraphSelectionColor = RgbColor(2, 182, 182);
inline constexpr COLORREF kGraphGrayColor = RgbColor(128, 128, 128); // axes, grids, labels
inline constexpr COLORREF kGraphCurveColor = RgbColor(0, 0, 128);
inline constexpr COLORREF kGraphCurveErrorColor = RgbColor(128, 0, 0);
inline constexpr COLORREF kGraphSelCurveColor = RgbColor(255, 255, 0);
inline constexpr COLORREF kGraphSelCurveErrorColor = RgbColor(255, 0, 0);

// Paints the whole client area of nWidth × nHeight and returns the layout it used, whose
// rectangles the mouse selection works with until the next paint. A client area without
// room for a plot gets the background alone. The selection outline is not drawn here: it
// belongs on top of the finished picture, at GraphSelectionOutline.
SGraphLayout PaintGraph(ICanvas& canvas, const SGraphData& data, int32_t nWidth, int32_t nHeight);
