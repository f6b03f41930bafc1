// The views' canvas on a wx device context.
#include "views/wx/WxCanvas.h"

#include <wx/dc.h>
#include <wx/graphics.h>
#include <wx/settings.h>

wxFont ToWxFont(const SFont& font)
{
    wxFontInfo info =
        font.height > 0
            ? wxFontInfo(wxSize(0, font.height))
            : wxFontInfo(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetPointSize());
    if (!font.face.empty())
        info.FaceName(wxString::FromUTF8(font.face));
    info.Family(font.bFixedPitch ? wxFONTFAMILY_MODERN : wxFONTFAMILY_DEFAULT);
    info.Weight(font.weight);
    return wxFont(info);
}

CWxCanvas::CWxCanvas(wxDC& dc) : m_dc(dc)
{
    if (wxGraphicsContext* gc = m_dc.GetGraphicsContext())
        gc->SetAntialiasMode(wxANTIALIAS_NONE);
    m_dc.SetBackgroundMode(wxTRANSPARENT);
}

CWxCanvas::~CWxCanvas()
{
    m_dc.SetPen(wxNullPen);
    m_dc.SetBrush(wxNullBrush);
    m_dc.SetFont(wxNullFont);
}

void CWxCanvas::FillRect(const SRect& rc, COLORREF clr)
{
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    m_dc.SetPen(*wxTRANSPARENT_PEN);
    m_bPenSet = false;
    m_dc.SetBrush(wxBrush(ToWxColour(clr)));
    m_dc.DrawRectangle(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

void CWxCanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen)
{
    if (!m_bPenSet || !(pen == m_pen))
    {
        wxPen p(ToWxColour(pen.clr), pen.width > 0 ? pen.width : 1,
                pen.style == EPenStyle::Dotted ? wxPENSTYLE_DOT : wxPENSTYLE_SOLID);
        p.SetCap(wxCAP_BUTT);
        m_dc.SetPen(p);
        m_pen = pen;
        m_bPenSet = true;
    }
    m_dc.DrawLine(x1, y1, x2, y2);
}

SFont CWxCanvas::SelectFont(const SFont& font)
{
    SFont old = m_font;
    m_font = font;
    m_dc.SetFont(ToWxFont(font));
    return old;
}

SSize CWxCanvas::GetTextExtent(const std::string& text)
{
    wxCoord w = 0, h = 0;
    m_dc.GetTextExtent(wxString::FromUTF8(text), &w, &h);
    return {w, h};
}

void CWxCanvas::DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr)
{
    m_dc.SetTextForeground(ToWxColour(clr));
    m_dc.DrawText(wxString::FromUTF8(text), x, y);
}
