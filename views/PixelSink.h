// Pixel-level drawing without a toolkit: a sink that takes single pixels, a drawing context
// with a current position over it, and an in-memory picture that is such a sink.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <vector>

// How a drawn colour meets the pixel under it.
enum class EPixelMode
{
    Plain, // the pixel takes the colour
    Xor,   // the pixel is combined with the colour by exclusive-or: black keeps it, white
           // inverts it, and drawing the same colour twice restores it
};

class IPixelSink
{
public:
    virtual ~IPixelSink() = default;
    // Draws one pixel; a pixel outside the sink's picture is ignored.
    virtual void PutPixel(int32_t x, int32_t y, COLORREF clr, EPixelMode mode) = 0;
};

// A drawing context on a sink: the current position and the pixel mode, as line drawing
// expects them.
class CPixelDC
{
public:
    CPixelDC(IPixelSink& sink, EPixelMode mode) : m_sink(sink), m_mode(mode) {}

    void MoveTo(int32_t x, int32_t y)
    {
        m_nX = x;
        m_nY = y;
    }
    int32_t GetX() const { return m_nX; }
    int32_t GetY() const { return m_nY; }
    EPixelMode GetMode() const { return m_mode; }
    // Returns the mode it replaces.
    EPixelMode SetMode(EPixelMode mode)
    {
        const EPixelMode previous = m_mode;
        m_mode = mode;
        return previous;
    }
    void SetPixel(int32_t x, int32_t y, COLORREF clr) { m_sink.PutPixel(x, y, clr, m_mode); }

private:
    IPixelSink& m_sink;
    EPixelMode m_mode;
    int32_t m_nX = 0;
    int32_t m_nY = 0;
};

// A picture of nWidth × nHeight colours in rows, top row first.
class CPixelBuffer : public IPixelSink
{
public:
    CPixelBuffer(int32_t nWidth, int32_t nHeight, COLORREF clr = 0);

    void PutPixel(int32_t x, int32_t y, COLORREF clr, EPixelMode mode) override;

    int32_t GetWidth() const { return m_nWidth; }
    int32_t GetHeight() const { return m_nHeight; }
    // The colour at (x, y); 0 outside the picture.
    COLORREF GetPixel(int32_t x, int32_t y) const;
    const std::vector<COLORREF>& Pixels() const { return m_pixels; }

    // Same size and the same colours.
    friend bool operator==(const CPixelBuffer& a, const CPixelBuffer& b)
    {
        return a.m_nWidth == b.m_nWidth && a.m_nHeight == b.m_nHeight && a.m_pixels == b.m_pixels;
    }

private:
    bool Contains(int32_t x, int32_t y) const
    {
        return x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight;
    }

    int32_t m_nWidth;
    int32_t m_nHeight;
    std::vector<COLORREF> m_pixels;
};
