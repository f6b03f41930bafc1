// The speed graph window.
#include "views/wx/RatemarkView.h"

#include "engine/RatemarkDoc.h"
#include "views/GraphPainter.h"
#include "views/wx/WxCanvas.h"

#include <wx/cursor.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>

namespace {

constexpr int kCursorSize = 32;
constexpr int kHotX = 15;
constexpr int kHotY = 16;
constexpr int kArm = 9; // 19 pixels each way: 9 on either side of the crossing

bool OnCross(int x, int y)
{
    return (y == kHotY && x >= kHotX - kArm && x <= kHotX + kArm) ||
           (x == kHotX && y >= kHotY - kArm && y <= kHotY + kArm);
}

} // namespace

wxImage MakeCrossCursorImage()
{
    wxImage image(kCursorSize, kCursorSize);
    // Transparent where the mask colour (magenta) stays.
    image.SetRGB(wxRect(0, 0, kCursorSize, kCursorSize), 255, 0, 255);
    image.SetMaskColour(255, 0, 255);
    for (int y = 0; y < kCursorSize; ++y)
        for (int x = 0; x < kCursorSize; ++x)
        {
            if (OnCross(x, y))
            {
                image.SetRGB(x, y, 0, 0, 0);
                continue;
            }
            bool border = false;
            for (int dy = -1; dy <= 1 && !border; ++dy)
                for (int dx = -1; dx <= 1 && !border; ++dx)
                    border = OnCross(x + dx, y + dy);
            if (border)
                image.SetRGB(x, y, 255, 255, 255);
        }
    image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_X, kHotX);
    image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_Y, kHotY);
    return image;
}

CRatemarkView::CRatemarkView(wxWindow* pParent, fw::CMessageQueue& queue)
    : wxWindow(pParent, wxID_ANY, wxDefaultPosition, wxSize(0, 0), wxFULL_REPAINT_ON_RESIZE),
      fw::CView(queue), m_timer(this, kTimerId)
{
    // Every pixel is painted by us: no background erase before a paint.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetCursor(wxCursor(MakeCrossCursorImage()));
    Bind(wxEVT_PAINT, &CRatemarkView::OnPaint, this);
    Bind(wxEVT_TIMER, &CRatemarkView::OnTimer, this, kTimerId);
    m_timer.Start(kTimerMs);
}

CRatemarkView::~CRatemarkView()
{
    m_timer.Stop();
}

CRatemarkDoc* CRatemarkView::GetRatemarkDoc() const
{
    return static_cast<CRatemarkDoc*>(GetDocument());
}

void CRatemarkView::OnUpdate(fw::CView*, intptr_t)
{
    Refresh(false);
}

void CRatemarkView::OnInitialUpdate()
{
    OnUpdate(nullptr, 0);
}

void CRatemarkView::OnInvalidate(BOOL)
{
    // The picture covers the whole window: erasing first would only flicker.
    Refresh(false);
}

intptr_t CRatemarkView::WindowProc(uint32_t msg, uintptr_t, intptr_t)
{
    if (msg == UM_REFRESH)
        Refresh(false);
    return 0;
}

const wxBitmap& CRatemarkView::Compose()
{
    const double scale = GetContentScaleFactor();
    const wxSize client = GetClientSize();
    // Device pixels: on a scaled screen the graph is painted at full resolution, not
    // painted small and scaled up.
    const int w = std::max(1, static_cast<int>(client.x * scale + 0.5));
    const int h = std::max(1, static_cast<int>(client.y * scale + 0.5));
    if (!m_bmpComposed.IsOk() || m_bmpComposed.GetWidth() != w || m_bmpComposed.GetHeight() != h)
        m_bmpComposed.Create(w, h, 24);
    m_bmpComposed.SetScaleFactor(1.0);
    {
        wxMemoryDC dc(m_bmpComposed);
        CWxCanvas canvas(dc);
        CRatemarkDoc* pDoc = GetRatemarkDoc();
        SGraphData data;
        if (pDoc)
            data = GraphDataOf(*pDoc);
        m_layout = PaintGraph(canvas, data, w, h);
    }
    m_bmpComposed.SetScaleFactor(scale);
    m_rcAxes = m_layout.m_rcAxes;
    m_rcData = m_layout.m_rcData;
    ++m_nPaints;
    return m_bmpComposed;
}

void CRatemarkView::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    Compose();
    // One copy of the finished picture: nothing half-drawn is ever on screen.
    dc.DrawBitmap(m_bmpComposed, 0, 0);
}

void CRatemarkView::OnTimer(wxTimerEvent&)
{
    // The selection outline's animation step goes here.
}
