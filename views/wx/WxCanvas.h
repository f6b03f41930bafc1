// The views' canvas on a wx device context.
#pragma once

#include "views/Canvas.h"

#include <vector>
#include <wx/colour.h>
#include <wx/font.h>
#include <wx/gdicmn.h>

class wxDC;

// Draws with 1-pixel pens, no smoothing, so every pixel is exactly its colour. Solid lines
// that continue each other (a curve) are collected into one polyline, and the points that one
// pixel column of the polyline visits are cut to those that reach its top and its bottom: a
// curve of 250,000 cylinders on 2,000 pixels is drawn as a few thousand segments, with the
// same pixels.
class CWxCanvas : public ICanvas
{
public:
    explicit CWxCanvas(wxDC& dc);
    ~CWxCanvas() override;

    void FillRect(const SRect& rc, COLORREF clr) override;
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen) override;
    SFont SelectFont(const SFont& font) override;
    SSize GetTextExtent(const std::string& text) override;
    void DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr) override;

    // Draws the collected polyline; every other drawing call does so first.
    void Flush();

private:
    void SetPen(const SPen& pen);

    wxDC& m_dc;
    std::vector<wxPoint> m_chain;
    SPen m_chainPen;
    SFont m_font;
    SPen m_pen;
    bool m_bPenSet = false;
};

inline wxColour ToWxColour(COLORREF clr)
{
    return wxColour(static_cast<unsigned char>(clr & 0xFF),
                    static_cast<unsigned char>((clr >> 8) & 0xFF),
                    static_cast<unsigned char>((clr >> 16) & 0xFF));
}

// The wx font of a font request: the face when given ("Arial" resolves to a metric-compatible
// face), the pixel height (0: the default size), the weight and the modern family.
wxFont ToWxFont(const SFont& font);
