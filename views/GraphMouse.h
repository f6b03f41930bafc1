// What the speed graph's mouse gestures compute: the press, the drag outline and the
// cylinder range of a release, from the plot rectangles of the last paint.
#pragma once

#include "platform/Types.h"
#include "views/Canvas.h"

#include <cstdint>

// Whether (x, y) lies in rc: left and top included, right and bottom excluded. A press
// starts a drag only inside the plot area; so does the crosshair cursor.
BOOL GraphPointInRect(const SRect& rc, int32_t x, int32_t y);

// x moved onto the plot area's columns, both edges included.
int32_t GraphClampToData(const SRect& rcData, int32_t x);

// The outline while the mouse moves at x: anchored at the press x, following the mouse
// within the plot area, from one row below the axes' top to one row above their bottom.
SRect GraphDragOutline(int32_t nPressX, int32_t x, const SRect& rcData, const SRect& rcAxes);

// What a release does. Either way the document's selection is cleared first; with
// m_bSetSelection the document then selects m_nA to m_nB of a plot area m_nWidth wide
// (pixel offsets from its left edge, in the order of the gesture).
struct SGraphRelease
{
    BOOL m_bSetSelection = 0;
    int32_t m_nA = 0;
    int32_t m_nB = 0;
    int32_t m_nWidth = 0;

    friend bool operator==(const SGraphRelease&, const SGraphRelease&) = default;
};

// A release at x after a press at nPressX. Releasing where the press was (before any
// clamping) selects nothing; else the release x is clamped to the plot area, so a press
// on the first column and a release to its left ask for an empty range.
SGraphRelease GraphReleaseSelection(int32_t nPressX, int32_t x, const SRect& rcData);
