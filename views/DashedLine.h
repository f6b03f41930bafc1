// A dashed line drawn pixel by pixel, whose dash pattern can continue across lines.
#pragma once

#include "views/PixelSink.h"

#include <cstdint>

// Draws from pDC's current position to (x2, y2), both end points included, then makes
// (x2, y2) the current position. Each pixel first steps nPhase back by one (wrapping to
// period − 1 below 0, period = nDash + nGap) and then takes clrDash while nPhase < nDash,
// else clrGap; nPhase keeps its last value, so lines drawn in a row share one pattern.
// Nothing is drawn and nothing moves without a context or with a dash or gap below 1.
void DrawDashedLine(CPixelDC* pDC, int32_t x2, int32_t y2, int32_t nDash, int32_t nGap,
                    int32_t& nPhase, COLORREF clrDash, COLORREF clrGap);
