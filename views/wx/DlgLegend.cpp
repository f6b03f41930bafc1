// The partition colour legend.
#include "views/wx/DlgLegend.h"

#include "views/wx/WxCanvas.h"

#include <wx/dcclient.h>
#include <wx/stattext.h>

const std::array<SLegendEntry, 8> kLegendEntries = {{
    {1005, "NTFS", RgbColor(255, 205, 233)},
    {1006, "FAT", RgbColor(182, 248, 208)},
    {1008, "FAT32", RgbColor(182, 248, 121)},
    {1010, "Free", RgbColor(182, 184, 184)},
    {1011, "Empty Ext.", RgbColor(80, 128, 179)},
    {1012, "Other", RgbColor(214, 214, 255)},
    {1013, "FreeBSD", RgbColor(221, 207, 179)},
    {1014, "Linux", RgbColor(236, 235, 134)},
}};

CColorView::CColorView(wxWindow* pParent, wxWindowID id, COLORREF clr, const wxPoint& pos,
                       const wxSize& size)
    : wxWindow(pParent, id, pos, size, wxBORDER_NONE), m_clr(clr)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CColorView::OnPaint, this);
}

void CColorView::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    Paint(dc, GetClientSize());
}

void CColorView::Paint(wxDC& dc, const wxSize& size) const
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(ToWxColour(m_clr)));
    dc.DrawRectangle(0, 0, size.x, size.y);
}

CDlgLegend::CDlgLegend(wxWindow* pParent) : wxPanel(pParent, wxID_ANY)
{
    constexpr int kSwatchX = 6, kSwatchSide = 9, kTop = 8, kStep = 17;
    constexpr int kLabelX = 23, kLabelW = 43, kLabelH = 8;
    for (size_t k = 0; k < kLegendEntries.size(); ++k)
    {
        const SLegendEntry& e = kLegendEntries[k];
        const int y = kTop + kStep * static_cast<int>(k);
        m_swatches[k] =
            new CColorView(this, e.nId, e.clr, ConvertDialogToPixels(wxPoint(kSwatchX, y)),
                           ConvertDialogToPixels(wxSize(kSwatchSide, kSwatchSide)));
        new wxStaticText(this, wxID_ANY, e.label, ConvertDialogToPixels(wxPoint(kLabelX, y + 1)),
                         ConvertDialogToPixels(wxSize(kLabelW, kLabelH)));
    }
}
