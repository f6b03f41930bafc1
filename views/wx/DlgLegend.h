// The partition colour legend: eight swatches with their class names.
#pragma once

#include "platform/Types.h"

#include <array>
#include <wx/dc.h>
#include <wx/panel.h>

// A flat square of one colour, without border or text.
class CColorView : public wxWindow
{
public:
    CColorView(wxWindow* pParent, wxWindowID id, COLORREF clr, const wxPoint& pos,
               const wxSize& size);

    // Fills the whole of a client area of size with the colour.
    void Paint(wxDC& dc, const wxSize& size) const;

    COLORREF m_clr;

private:
    void OnPaint(wxPaintEvent& event);
};

struct SLegendEntry
{
    int nId;           // control id of the swatch
    const char* label; // the class name beside it
    COLORREF clr;
};

// The eight classes, top to bottom; the graph paints partitions in the same colours.
extern const std::array<SLegendEntry, 8> kLegendEntries;

// The legend page: swatches of 9 × 9 dialog units at x = 6, y = 8 + 17 k, each followed by
// its label at x = 23, one unit lower.
class CDlgLegend : public wxPanel
{
public:
    explicit CDlgLegend(wxWindow* pParent);

    CColorView* GetSwatch(int k) const { return m_swatches[static_cast<size_t>(k)]; }

private:
    std::array<CColorView*, 8> m_swatches{};
};
