// The dashed line: Bresenham's steps with a dash phase counted down per pixel.
#include "views/DashedLine.h"

#include <cstdlib>

void DrawDashedLine(CPixelDC* pDC, int32_t x2, int32_t y2, int32_t nDash, int32_t nGap,
                    int32_t& nPhase, COLORREF clrDash, COLORREF clrGap)
{
    // A dash or gap below 1 has no pattern to draw (and a negative one could make the period
    // zero).
    if (!pDC || nDash <= 0 || nGap <= 0)
        return;
    // 64 bits: the differences and error terms of far-apart 32-bit points do not fit 32.
    const int64_t period = static_cast<int64_t>(nDash) + nGap;
    int64_t phase = nPhase % period;
    const int64_t x1 = pDC->GetX();
    const int64_t y1 = pDC->GetY();
    const int64_t dx = std::llabs(x2 - x1);
    const int64_t dy = std::llabs(y2 - y1);
    const int64_t sx = x2 >= x1 ? 1 : -1;
    const int64_t sy = y2 >= y1 ? 1 : -1;

    const auto setPixel = [&](int64_t x, int64_t y) {
        phase -= 1;
        if (phase < 0)
            phase = period - 1;
        pDC->SetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y),
                      phase < nDash ? clrDash : clrGap);
    };

    if (dx >= dy)
    {
        int64_t e = 2 * dy - dx;
        setPixel(x1, y1);
        int64_t x = x1 + sx;
        int64_t y = y1;
        for (int64_t i = 0; i < dx; ++i)
        {
            if (e > 0)
            {
                e += 2 * (dy - dx);
                y += sy;
            }
            else
            {
                e += 2 * dy;
            }
            setPixel(x, y);
            x += sx;
        }
    }
    else
    {
        int64_t e = 2 * dx - dy;
        setPixel(x1, y1);
        int64_t y = y1 + sy;
        int64_t x = x1;
        for (int64_t i = 0; i < dy; ++i)
        {
            if (e > 0)
            {
                e += 2 * (dx - dy);
                x += sx;
            }
            else
            {
                e += 2 * dx;
            }
            setPixel(x, y);
            y += sy;
        }
    }
    nPhase = static_cast<int32_t>(phase);
    pDC->MoveTo(x2, y2);
}
