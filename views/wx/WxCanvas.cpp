// The views' canvas on a wx device context.
#include "views/wx/WxCanvas.h"

#include <algorithm>
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
    Flush();
    m_dc.SetPen(wxNullPen);
    m_dc.SetBrush(wxNullBrush);
    m_dc.SetFont(wxNullFont);
}

void CWxCanvas::FillRect(const SRect& rc, COLORREF clr)
{
    Flush();
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    m_dc.SetPen(*wxTRANSPARENT_PEN);
    m_bPenSet = false;
    m_dc.SetBrush(wxBrush(ToWxColour(clr)));
    m_dc.DrawRectangle(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

void CWxCanvas::SetPen(const SPen& pen)
{
    if (m_bPenSet && pen == m_pen)
        return;
    wxPen p(ToWxColour(pen.clr), pen.width > 0 ? pen.width : 1,
            pen.style == EPenStyle::Dotted ? wxPENSTYLE_DOT : wxPENSTYLE_SOLID);
    p.SetCap(wxCAP_BUTT);
    m_dc.SetPen(p);
    m_pen = pen;
    m_bPenSet = true;
}

void CWxCanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen)
{
    if (pen.style == EPenStyle::Solid)
    {
        if (!m_chain.empty() && pen == m_chainPen && m_chain.back() == wxPoint(x1, y1))
        {
            m_chain.emplace_back(x2, y2);
            return;
        }
        Flush();
        m_chain = {wxPoint(x1, y1), wxPoint(x2, y2)};
        m_chainPen = pen;
        return;
    }
    Flush();
    SetPen(pen);
    m_dc.DrawLine(x1, y1, x2, y2);
}

void CWxCanvas::Flush()
{
    if (m_chain.empty())
        return;
    // Within one column a run of points covers the pixels between its lowest and highest
    // point: first, highest, lowest and last point cover the same pixels.
    std::vector<wxPoint> points;
    points.reserve(std::min<size_t>(m_chain.size(), 8192));
    size_t i = 0;
    while (i < m_chain.size())
    {
        size_t j = i;
        int top = m_chain[i].y, bottom = m_chain[i].y;
        while (j + 1 < m_chain.size() && m_chain[j + 1].x == m_chain[i].x)
        {
            ++j;
            top = std::min(top, m_chain[j].y);
            bottom = std::max(bottom, m_chain[j].y);
        }
        points.push_back(m_chain[i]);
        if (j - i >= 2)
        {
            points.emplace_back(m_chain[i].x, top);
            points.emplace_back(m_chain[i].x, bottom);
        }
        if (j > i)
            points.push_back(m_chain[j]);
        i = j + 1;
    }
    SetPen(m_chainPen);
    if (points.size() == 2)
        m_dc.DrawLine(points[0], points[1]);
    else
        m_dc.DrawLines(static_cast<int>(points.size()), points.data());
    m_chain.clear();
}

SFont CWxCanvas::SelectFont(const SFont& font)
{
    Flush();
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
    Flush();
    m_dc.SetTextForeground(ToWxColour(clr));
    m_dc.DrawText(wxString::FromUTF8(text), x, y);
}
