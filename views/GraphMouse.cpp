// The arithmetic of the speed graph's press, drag and release.
#include "views/GraphMouse.h"

BOOL GraphPointInRect(const SRect& rc, int32_t x, int32_t y)
{
    return x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom ? 1 : 0;
}

int32_t GraphClampToData(const SRect& rcData, int32_t x)
{
    // Not std::clamp: a plot area of no width (right below left) must not be undefined.
    if (x > rcData.right)
        x = rcData.right;
    if (x < rcData.left)
        x = rcData.left;
    return x;
}

SRect GraphDragOutline(int32_t nPressX, int32_t x, const SRect& rcData, const SRect& rcAxes)
{
    return {nPressX, rcAxes.top + 1, GraphClampToData(rcData, x), rcAxes.bottom - 1};
}

SGraphRelease GraphReleaseSelection(int32_t nPressX, int32_t x, const SRect& rcData)
{
    SGraphRelease r;
    if (nPressX == x)
        return r;
    r.m_bSetSelection = 1;
    r.m_nA = nPressX - rcData.left;
    r.m_nB = GraphClampToData(rcData, x) - rcData.left;
    r.m_nWidth = rcData.right - rcData.left;
    return r;
}
