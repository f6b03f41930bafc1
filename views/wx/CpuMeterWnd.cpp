// The CPU meter's window: the meter's picture painted off screen through a canvas on a wxDC.
#include "views/wx/CpuMeterWnd.h"

#include "views/CpuMeterLayout.h"

#include <wx/dcbuffer.h>
#include <wx/font.h>

namespace {

wxColour ToColour(COLORREF clr)
{
    return wxColour(static_cast<unsigned char>(clr & 0xFF),
                    static_cast<unsigned char>((clr >> 8) & 0xFF),
                    static_cast<unsigned char>((clr >> 16) & 0xFF));
}

// The meter's picture onto a device context; the meter uses solid pens and fills only.
class CMeterDCCanvas : public ICanvas
{
public:
    explicit CMeterDCCanvas(wxDC& dc) : m_dc(dc) {}

    void FillRect(const SRect& rc, COLORREF clr) override
    {
        if (rc.right <= rc.left || rc.bottom <= rc.top)
            return;
        m_dc.SetPen(*wxTRANSPARENT_PEN);
        m_dc.SetBrush(wxBrush(ToColour(clr)));
        m_dc.DrawRectangle(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    }
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen) override
    {
        m_dc.SetPen(wxPen(ToColour(pen.clr), pen.width,
                          pen.style == EPenStyle::Dotted ? wxPENSTYLE_DOT : wxPENSTYLE_SOLID));
        m_dc.DrawLine(x1, y1, x2, y2); // the end point is not drawn
    }
    SFont SelectFont(const SFont& font) override
    {
        const SFont previous = m_font;
        m_font = font;
        wxFontInfo info(wxSize(0, font.height > 0 ? font.height : 12));
        if (!font.face.empty())
            info.FaceName(font.face);
        if (font.bFixedPitch)
            info.Family(wxFONTFAMILY_MODERN);
        info.Weight(font.weight);
        m_dc.SetFont(wxFont(info));
        return previous;
    }
    SSize GetTextExtent(const std::string& text) override
    {
        const wxSize size = m_dc.GetTextExtent(wxString::FromUTF8(text));
        return {size.x, size.y};
    }
    void DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr) override
    {
        m_dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        m_dc.SetTextForeground(ToColour(clr));
        m_dc.DrawText(wxString::FromUTF8(text), x, y);
    }

private:
    wxDC& m_dc;
    SFont m_font;
};

} // namespace

CCpuMeterWnd::CCpuMeterWnd(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : m_timer(this, kTimerId)
{
    // Every pixel is painted by OnPaint: no background erase, no flicker.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, id, pos, size, wxBORDER_NONE);
    Bind(wxEVT_PAINT, &CCpuMeterWnd::OnPaint, this);
    Bind(wxEVT_TIMER, &CCpuMeterWnd::OnTimer, this, kTimerId);
    // Without counting threads the timer still runs: the count stands still and the meter
    // shows 100.
    m_meter.Start();
    m_timer.Start(kPeriodMs);
}

CCpuMeterWnd::~CCpuMeterWnd()
{
    m_timer.Stop();
    m_meter.Stop();
}

void CCpuMeterWnd::Measure()
{
    m_meter.OnTimer();
    Refresh();
}

void CCpuMeterWnd::OnTimer(wxTimerEvent&)
{
    Measure();
}

void CCpuMeterWnd::OnPaint(wxPaintEvent&)
{
    // Composed off screen at the client size and copied to the window in one step.
    wxBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    CMeterDCCanvas canvas(dc);
    PaintCpuMeter(canvas, ComputeCpuMeterLayout(size.x, size.y, m_meter.GetUsage()));
}
