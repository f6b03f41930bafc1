// The cairo canvas: fills and text through cairo and pango, lines set as pixels or stroked.
#include "views/cairo/CairoCanvas.h"

#include <algorithm>
#include <cstdlib>
#include <pango/pangocairo.h>

namespace {

constexpr int32_t kDefaultCellHeight = 13; // for a font request without a height

double Red(COLORREF clr)
{
    return (clr & 0xFF) / 255.0;
}
double Green(COLORREF clr)
{
    return ((clr >> 8) & 0xFF) / 255.0;
}
double Blue(COLORREF clr)
{
    return ((clr >> 16) & 0xFF) / 255.0;
}

// The minor-axis offset of step i on a line of n steps that moves dMinor across: rounded to
// the nearest, halves toward the start, as the incremental line algorithm rounds.
int64_t MinorOffset(int64_t i, int64_t n, int64_t dMinor)
{
    const int64_t a = dMinor < 0 ? -dMinor : dMinor;
    int64_t offset;
    if (n < (int64_t{1} << 31))
        offset = (2 * i * a + n - 1) / (2 * n);
    else // only a line reaching far outside the surface is this long
        offset = static_cast<int64_t>((2.0L * i * a + n - 1) / (2.0L * n));
    return dMinor < 0 ? -offset : offset;
}

} // namespace

CCairoCanvas::CCairoCanvas(cairo_t* cr) : m_cr(cr), m_pSurface(cairo_get_target(cr))
{
    cairo_matrix_t matrix;
    cairo_get_matrix(m_cr, &matrix);
    const bool bIdentity = matrix.xx == 1 && matrix.yx == 0 && matrix.xy == 0 && matrix.yy == 1 &&
                           matrix.x0 == 0 && matrix.y0 == 0;
    if (bIdentity && cairo_surface_get_type(m_pSurface) == CAIRO_SURFACE_TYPE_IMAGE)
    {
        const cairo_format_t format = cairo_image_surface_get_format(m_pSurface);
        if (format == CAIRO_FORMAT_RGB24 || format == CAIRO_FORMAT_ARGB32)
        {
            m_bPixelLines = true;
            m_nStride = cairo_image_surface_get_stride(m_pSurface);
            m_nSurfaceWidth = cairo_image_surface_get_width(m_pSurface);
            m_nSurfaceHeight = cairo_image_surface_get_height(m_pSurface);
        }
    }

    m_pLayout = pango_cairo_create_layout(m_cr);
    // Whole-pixel metrics, so that extents and positions are the integers the layout expects.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango_layout_get_context(m_pLayout), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(m_pLayout);
    ApplyFont();
}

CCairoCanvas::~CCairoCanvas()
{
    Flush();
    g_object_unref(m_pLayout);
}

void CCairoCanvas::SetSource(COLORREF clr)
{
    cairo_set_source_rgb(m_cr, Red(clr), Green(clr), Blue(clr));
}

void CCairoCanvas::FillRect(const SRect& rc, COLORREF clr)
{
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    StrokePending();
    EndPixels();
    SetSource(clr);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(m_cr, rc.left, rc.top, static_cast<double>(int64_t{rc.right} - rc.left),
                    static_cast<double>(int64_t{rc.bottom} - rc.top));
    cairo_fill(m_cr);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_DEFAULT);
}

void CCairoCanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen)
{
    if (x1 == x2 && y1 == y2)
        return; // the end point is excluded, so nothing is left
    if (m_bPixelLines && pen.width <= 1)
    {
        if (x1 == x2 && pen.style == EPenStyle::Solid)
            AddColumnSpan(x1, y1, y2, pen.clr);
        else
        {
            FlushColumnSpan();
            SetPixels(x1, y1, x2, y2, pen);
        }
        return;
    }
    EndPixels();
    if (m_bStrokePending && !(pen == m_strokePen))
        StrokePending();
    if (!m_bStrokePending)
    {
        m_bStrokePending = true;
        m_strokePen = pen;
        cairo_new_path(m_cr);
    }
    // A dotted line starts its pattern afresh; a solid one may continue the path.
    if (pen.style == EPenStyle::Dotted || !cairo_has_current_point(m_cr) || x1 != m_xStrokeEnd ||
        y1 != m_yStrokeEnd)
        cairo_move_to(m_cr, x1 + 0.5, y1 + 0.5);
    cairo_line_to(m_cr, x2 + 0.5, y2 + 0.5);
    m_xStrokeEnd = x2;
    m_yStrokeEnd = y2;
}

void CCairoCanvas::StrokePending()
{
    if (!m_bStrokePending)
        return;
    m_bStrokePending = false;
    SetSource(m_strokePen.clr);
    cairo_set_line_width(m_cr, std::max(1, m_strokePen.width));
    cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_BUTT);
    if (m_strokePen.style == EPenStyle::Dotted)
    {
        const double dash[] = {1.0, 1.0};
        cairo_set_dash(m_cr, dash, 2, 0);
    }
    cairo_stroke(m_cr);
    cairo_set_dash(m_cr, nullptr, 0, 0);
}

void CCairoCanvas::BeginPixels()
{
    if (m_bPixelsActive)
        return;
    cairo_surface_flush(m_pSurface);
    m_pData = cairo_image_surface_get_data(m_pSurface);
    m_bPixelsActive = true;
}

void CCairoCanvas::EndPixels()
{
    if (!m_bPixelsActive)
        return;
    FlushColumnSpan();
    cairo_surface_mark_dirty(m_pSurface);
    m_bPixelsActive = false;
}

uint32_t CCairoCanvas::PixelValue(COLORREF clr)
{
    return 0xFF000000u | ((clr & 0xFF) << 16) | (clr & 0xFF00) | ((clr >> 16) & 0xFF);
}

void CCairoCanvas::AddColumnSpan(int32_t x, int32_t y1, int32_t y2, COLORREF clr)
{
    // The pixels from y1 toward y2, y2 excluded.
    const int32_t lo = y2 > y1 ? y1 : y2 + 1;
    const int32_t hi = y2 > y1 ? y2 - 1 : y1;
    const uint32_t pixel = PixelValue(clr);
    if (m_bSpanPending && x == m_xSpan && pixel == m_spanPixel &&
        int64_t{lo} <= int64_t{m_ySpanHi} + 1 && int64_t{hi} + 1 >= m_ySpanLo)
    {
        m_ySpanLo = std::min(m_ySpanLo, lo);
        m_ySpanHi = std::max(m_ySpanHi, hi);
        return;
    }
    FlushColumnSpan();
    StrokePending();
    BeginPixels();
    m_bSpanPending = true;
    m_xSpan = x;
    m_ySpanLo = lo;
    m_ySpanHi = hi;
    m_spanPixel = pixel;
}

void CCairoCanvas::FlushColumnSpan()
{
    if (!m_bSpanPending)
        return;
    m_bSpanPending = false;
    if (!m_pData || m_xSpan < 0 || m_xSpan >= m_nSurfaceWidth)
        return;
    const int32_t lo = std::max(m_ySpanLo, 0);
    const int32_t hi = std::min(m_ySpanHi, m_nSurfaceHeight - 1);
    for (int32_t y = lo; y <= hi; ++y)
        reinterpret_cast<uint32_t*>(m_pData + static_cast<ptrdiff_t>(y) * m_nStride)[m_xSpan] =
            m_spanPixel;
}

void CCairoCanvas::SetPixels(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen)
{
    StrokePending();
    BeginPixels();
    if (!m_pData)
        return;
    const uint32_t pixel = PixelValue(pen.clr);
    const int64_t dx = int64_t{x2} - x1;
    const int64_t dy = int64_t{y2} - y1;
    const int64_t n = std::max(std::llabs(dx), std::llabs(dy));
    const bool bXMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t major1 = bXMajor ? x1 : y1;
    const int64_t minor1 = bXMajor ? y1 : x1;
    const int64_t step = (bXMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t dMinor = bXMajor ? dy : dx;
    const int64_t majorLimit = bXMajor ? m_nSurfaceWidth : m_nSurfaceHeight;
    const int64_t minorLimit = bXMajor ? m_nSurfaceHeight : m_nSurfaceWidth;

    // Only the steps whose major coordinate lies on the surface are walked.
    int64_t iBegin = 0;
    int64_t iEnd = n;
    if (step > 0)
    {
        iBegin = std::max<int64_t>(0, -major1);
        iEnd = std::min(n, majorLimit - major1);
    }
    else
    {
        iBegin = std::max<int64_t>(0, major1 - majorLimit + 1);
        iEnd = std::min(n, major1 + 1);
    }
    if (iBegin >= iEnd)
        return;
    const bool bDotted = pen.style == EPenStyle::Dotted;
    auto put = [&](int64_t i, int64_t minor) {
        if (bDotted && (i & 1))
            return;
        if (minor < 0 || minor >= minorLimit)
            return;
        const int64_t major = major1 + step * i;
        const int64_t x = bXMajor ? major : minor;
        const int64_t y = bXMajor ? minor : major;
        reinterpret_cast<uint32_t*>(m_pData + y * m_nStride)[x] = pixel;
    };
    if (n >= (int64_t{1} << 31))
    {
        for (int64_t i = iBegin; i < iEnd; ++i)
            put(i, minor1 + MinorOffset(i, n, dMinor));
        return;
    }
    // The offset of step i is (2·i·a + n − 1) ÷ 2n; carried along instead of divided anew.
    const int64_t a = std::llabs(dMinor);
    const int64_t sMinor = dMinor < 0 ? -1 : 1;
    int64_t offset = 0;
    int64_t remainder = n - 1;
    if (iBegin > 0)
    {
        const int64_t numerator = 2 * iBegin * a + n - 1;
        offset = numerator / (2 * n);
        remainder = numerator % (2 * n);
    }
    for (int64_t i = iBegin; i < iEnd; ++i)
    {
        put(i, minor1 + sMinor * offset);
        remainder += 2 * a;
        if (remainder >= 2 * n)
        {
            remainder -= 2 * n;
            ++offset;
        }
    }
}

SFont CCairoCanvas::SelectFont(const SFont& font)
{
    SFont previous = m_font;
    if (!(font == m_font))
    {
        m_font = font;
        ApplyFont();
    }
    return previous;
}

void CCairoCanvas::ApplyFont()
{
    m_extents.clear();
    const int32_t cell = m_font.height > 0 ? m_font.height : kDefaultCellHeight;
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, m_font.face.empty() ? "Sans" : m_font.face.c_str());
    pango_font_description_set_weight(
        desc, static_cast<PangoWeight>(std::clamp(m_font.weight, 100, 1000)));
    // The request is a cell height (ascent plus descent), pango's size an em height.
    pango_font_description_set_absolute_size(desc, static_cast<double>(cell) * PANGO_SCALE);
    PangoFontMetrics* metrics =
        pango_context_get_metrics(pango_layout_get_context(m_pLayout), desc, nullptr);
    const int measured =
        pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics);
    pango_font_metrics_unref(metrics);
    double size = static_cast<double>(cell) * PANGO_SCALE;
    if (measured > 0)
        size = size * cell * PANGO_SCALE / measured;
    // Hinting rounds ascent and descent apart, which can add a pixel to the line: shrink
    // the size until the cell fits.
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        pango_font_description_set_absolute_size(desc, size);
        pango_layout_set_font_description(m_pLayout, desc);
        pango_layout_set_text(m_pLayout, "Ag", 2);
        int width = 0;
        int height = 0;
        pango_layout_get_pixel_size(m_pLayout, &width, &height);
        if (height <= cell)
            break;
        size -= size / (2 * cell);
    }
    pango_font_description_free(desc);
}

SSize CCairoCanvas::GetTextExtent(const std::string& text)
{
    const auto it = m_extents.find(text);
    if (it != m_extents.end())
        return it->second;
    pango_layout_set_text(m_pLayout, text.data(), static_cast<int>(text.size()));
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(m_pLayout, &width, &height);
    const SSize size{width, height};
    m_extents.emplace(text, size);
    return size;
}

void CCairoCanvas::DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr)
{
    StrokePending();
    EndPixels();
    SetSource(clr);
    pango_layout_set_text(m_pLayout, text.data(), static_cast<int>(text.size()));
    cairo_move_to(m_cr, x, y);
    pango_cairo_show_layout(m_cr, m_pLayout);
    cairo_new_path(m_cr);
}

void CCairoCanvas::Flush()
{
    StrokePending();
    EndPixels();
    cairo_surface_flush(m_pSurface);
}
