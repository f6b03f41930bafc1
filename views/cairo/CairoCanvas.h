// The canvas on a cairo context, with text through pango.
#pragma once

#include "views/Canvas.h"

#include <cairo.h>
#include <string>
#include <unordered_map>

typedef struct _PangoLayout PangoLayout;

class CCairoCanvas : public ICanvas
{
public:
    // Draws through cr, which must outlive the canvas. On a 32-bit image surface under an
    // untransformed context, lines are set pixel by pixel as a one-pixel pen sets them;
    // on every other surface they are stroked along the pixel centres.
    explicit CCairoCanvas(cairo_t* cr);
    ~CCairoCanvas() override;
    CCairoCanvas(const CCairoCanvas&) = delete;
    CCairoCanvas& operator=(const CCairoCanvas&) = delete;

    void FillRect(const SRect& rc, COLORREF clr) override;
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen) override;
    SFont SelectFont(const SFont& font) override;
    SSize GetTextExtent(const std::string& text) override;
    void DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr) override;

    // Completes the drawing so far on the surface; call before the surface is read or written.
    void Flush();

private:
    void SetSource(COLORREF clr);
    void ApplyFont();
    // Direct pixel writes and cairo's own drawing must not overlap unsynchronised.
    void BeginPixels();
    void EndPixels();
    static uint32_t PixelValue(COLORREF clr);
    void SetPixels(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen);
    // Vertical solid lines that continue one another in one column, as a curve's steps do
    // where many cylinders share a pixel column, are set once as their union.
    void AddColumnSpan(int32_t x, int32_t y1, int32_t y2, COLORREF clr);
    void FlushColumnSpan();
    void StrokePending();

    cairo_t* m_cr;
    cairo_surface_t* m_pSurface;
    bool m_bPixelLines = false;
    bool m_bPixelsActive = false;
    unsigned char* m_pData = nullptr;
    int m_nStride = 0;
    int m_nSurfaceWidth = 0;
    int m_nSurfaceHeight = 0;
    bool m_bSpanPending = false;
    int32_t m_xSpan = 0;
    int32_t m_ySpanLo = 0; // inclusive
    int32_t m_ySpanHi = 0;
    uint32_t m_spanPixel = 0;

    PangoLayout* m_pLayout;
    SFont m_font;
    std::unordered_map<std::string, SSize> m_extents; // of the selected font

    // Stroked lines are gathered into one path while the pen stays the same.
    bool m_bStrokePending = false;
    SPen m_strokePen;
    int32_t m_xStrokeEnd = 0;
    int32_t m_yStrokeEnd = 0;
};
