// The in-memory picture that pixel drawing can go into.
#include "views/PixelSink.h"

#include <cstddef>

CPixelBuffer::CPixelBuffer(int32_t nWidth, int32_t nHeight, COLORREF clr)
    : m_nWidth(nWidth > 0 ? nWidth : 0), m_nHeight(nHeight > 0 ? nHeight : 0),
      m_pixels(static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight), clr)
{}

void CPixelBuffer::PutPixel(int32_t x, int32_t y, COLORREF clr, EPixelMode mode)
{
    if (!Contains(x, y))
        return;
    COLORREF& pixel =
        m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)];
    // Only the colour bits take part in exclusive-or: the byte above them is not a colour.
    pixel = mode == EPixelMode::Xor ? pixel ^ (clr & 0x00FFFFFF) : clr;
}

COLORREF CPixelBuffer::GetPixel(int32_t x, int32_t y) const
{
    if (!Contains(x, y))
        return 0;
    return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) +
                    static_cast<size_t>(x)];
}
