// The speed graph window.
#include "views/wx/RatemarkView.h"

#include "engine/RatemarkDoc.h"
#include "views/GraphMouse.h"
#include "views/GraphPainter.h"
#include "views/wx/WxCanvas.h"

#include <algorithm>
#include <cmath>
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

void CShownPictureSink::Attach(wxImage* pImage)
{
    m_pData = pImage ? pImage->GetData() : nullptr;
    m_nWidth = m_pData ? pImage->GetWidth() : 0;
    m_nHeight = m_pData ? pImage->GetHeight() : 0;
    m_dirty.clear();
    m_bChanged = false;
}

void CShownPictureSink::PutPixel(int32_t x, int32_t y, COLORREF clr, EPixelMode mode)
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return;
    unsigned char* p =
        m_pData +
        (static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)) * 3;
    const unsigned char r = static_cast<unsigned char>(clr & 0xFF);
    const unsigned char g = static_cast<unsigned char>((clr >> 8) & 0xFF);
    const unsigned char b = static_cast<unsigned char>((clr >> 16) & 0xFF);
    if (mode == EPixelMode::Xor)
    {
        p[0] ^= r;
        p[1] ^= g;
        p[2] ^= b;
        m_bChanged = m_bChanged || (r | g | b) != 0;
    }
    else if (p[0] != r || p[1] != g || p[2] != b)
    {
        p[0] = r;
        p[1] = g;
        p[2] = b;
        m_bChanged = true;
    }
    // The outline is four straight lines: grow the last strip along its line while the
    // pixels continue it, so a whole outline is a handful of thin rectangles to show.
    if (!m_dirty.empty())
    {
        SRect& last = m_dirty.back();
        if (x >= last.left && x < last.right && y >= last.top && y < last.bottom)
            return;
        if (last.bottom - last.top == 1 && y == last.top && (x == last.left - 1 || x == last.right))
        {
            last.left = std::min(last.left, x);
            last.right = std::max(last.right, x + 1);
            return;
        }
        if (last.right - last.left == 1 && x == last.left &&
            (y == last.top - 1 || y == last.bottom))
        {
            last.top = std::min(last.top, y);
            last.bottom = std::max(last.bottom, y + 1);
            return;
        }
    }
    m_dirty.push_back({x, y, x + 1, y + 1});
}

CRatemarkView::CRatemarkView(wxWindow* pParent, fw::CMessageQueue& queue)
    : wxWindow(pParent, wxID_ANY, wxDefaultPosition, wxSize(0, 0), wxFULL_REPAINT_ON_RESIZE),
      fw::CView(queue), m_timer(this, kTimerId), m_crossCursor(MakeCrossCursorImage())
{
    // Every pixel is painted by us: no background erase before a paint.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CRatemarkView::OnPaint, this);
    Bind(wxEVT_TIMER, &CRatemarkView::OnTimer, this, kTimerId);
    Bind(wxEVT_LEFT_DOWN, &CRatemarkView::OnLButtonDown, this);
    Bind(wxEVT_MOTION, &CRatemarkView::OnMouseMove, this);
    Bind(wxEVT_LEFT_UP, &CRatemarkView::OnLButtonUp, this);
    Bind(wxEVT_SET_CURSOR, &CRatemarkView::OnSetCursor, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CRatemarkView::OnCaptureLost, this);
    m_timer.Start(kTimerMs);
}

CRatemarkView::~CRatemarkView()
{
    m_timer.Stop();
    // The window is going: the outline has nothing left to be taken off.
    m_bDestroying = true;
    m_pSelection.reset();
}

CRatemarkDoc* CRatemarkView::GetRatemarkDoc() const
{
    return static_cast<CRatemarkDoc*>(GetDocument());
}

void CRatemarkView::RequestCompose()
{
    m_bComposeNeeded = true;
    Refresh(false);
}

void CRatemarkView::OnUpdate(fw::CView*, intptr_t)
{
    // An outline object exists exactly while the document has a selection; a new one is
    // settled and is placed by the next paint.
    CRatemarkDoc* pDoc = GetRatemarkDoc();
    if (pDoc && pDoc->HasSelection())
    {
        if (!m_pSelection)
            m_pSelection = std::make_unique<CSelection>(this);
    }
    else
    {
        m_pSelection.reset();
    }
    RequestCompose();
}

void CRatemarkView::OnInitialUpdate()
{
    OnUpdate(nullptr, 0);
    m_pSelection.reset();
}

void CRatemarkView::OnInvalidate(BOOL)
{
    // The picture covers the whole window: erasing first would only flicker.
    RequestCompose();
}

intptr_t CRatemarkView::WindowProc(uint32_t msg, uintptr_t, intptr_t)
{
    if (msg == UM_REFRESH)
        RequestCompose();
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
    // The shown picture is taken from this one when an outline is next drawn.
    m_bShownValid = false;
    ++m_nPaints;
    return m_bmpComposed;
}

IPixelSink* CRatemarkView::GetOutlineSink()
{
    if (m_bDestroying || !m_bmpComposed.IsOk())
        return nullptr;
    if (!m_bShownValid)
    {
        // The copy is made only while an outline exists, so a run without a selection
        // pays nothing for it.
        m_imgShown = m_bmpComposed.ConvertToImage();
        m_bShownValid = m_imgShown.IsOk();
        if (!m_bShownValid)
            return nullptr;
    }
    m_sink.Attach(&m_imgShown);
    return &m_sink;
}

void CRatemarkView::ReleaseOutlineSink(IPixelSink*)
{
    // Inside a paint the painter shows the strips itself.
    if (m_bPainting || !m_sink.m_bChanged)
        return;
    for (const SRect& rc : m_sink.m_dirty)
    {
        const wxRect logical = ToLogical(rc);
        // Taking a drag outline off and drawing it again touches the same strips.
        if (std::find(m_pendingStrips.begin(), m_pendingStrips.end(), logical) ==
            m_pendingStrips.end())
            m_pendingStrips.push_back(logical);
    }
}

void CRatemarkView::ShowOutlineStrips()
{
    std::vector<wxRect> strips;
    strips.swap(m_pendingStrips);
    for (const wxRect& rc : strips)
    {
        m_outlineRects.push_back(rc);
        Refresh(false, &rc);
    }
    Update();
}

wxPoint CRatemarkView::ToDevice(const wxPoint& pt) const
{
    const double scale = GetContentScaleFactor();
    return wxPoint(static_cast<int>(std::floor(pt.x * scale)),
                   static_cast<int>(std::floor(pt.y * scale)));
}

wxRect CRatemarkView::ToLogical(const SRect& rc) const
{
    const double scale = GetContentScaleFactor();
    const int left = static_cast<int>(std::floor(rc.left / scale));
    const int top = static_cast<int>(std::floor(rc.top / scale));
    const int right = static_cast<int>(std::ceil(rc.right / scale));
    const int bottom = static_cast<int>(std::ceil(rc.bottom / scale));
    return wxRect(left, top, right - left, bottom - top);
}

void CRatemarkView::DrawShownPixels(wxDC& dc, const SRect& rc)
{
    const SRect clipped{std::max(rc.left, 0), std::max(rc.top, 0),
                        std::min(rc.right, m_imgShown.GetWidth()),
                        std::min(rc.bottom, m_imgShown.GetHeight())};
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top)
        return;
    const double scale = GetContentScaleFactor();
    const wxImage part = m_imgShown.GetSubImage(wxRect(
        clipped.left, clipped.top, clipped.right - clipped.left, clipped.bottom - clipped.top));
    dc.DrawBitmap(wxBitmap(part, 24, scale), static_cast<int>(clipped.left / scale),
                  static_cast<int>(clipped.top / scale));
}

void CRatemarkView::PlaceOutline()
{
    if (!m_pSelection)
        return;
    // The fresh picture has no outline on it: Hide must not draw the old one there again.
    const bool bWasShown = m_pSelection->IsShown();
    m_pSelection->Discard();
    CRatemarkDoc* pDoc = GetRatemarkDoc();
    if (m_pSelection->IsSettled())
    {
        if (pDoc && pDoc->HasSelection())
            m_pSelection->Show(
                GraphSelectionOutline(m_layout, pDoc->GetSelStart(), pDoc->GetSelEnd()));
    }
    else if (bWasShown)
    {
        // A drag in progress stays where the mouse put it.
        m_pSelection->Show(m_pSelection->GetRect());
    }
}

void CRatemarkView::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    const wxSize device = m_bmpComposed.IsOk()
                              ? wxSize(m_bmpComposed.GetWidth(), m_bmpComposed.GetHeight())
                              : wxSize();
    const double scale = GetContentScaleFactor();
    const wxSize client = GetClientSize();
    bool bOutlineOnly = !m_bComposeNeeded && m_bShownValid && !m_outlineRects.empty() &&
                        device == wxSize(std::max(1, static_cast<int>(client.x * scale + 0.5)),
                                         std::max(1, static_cast<int>(client.y * scale + 0.5)));
    if (bOutlineOnly)
    {
        // The toolkit reports the bounding box of what was invalidated; anything beyond the
        // outline's strips (an uncovered window) is a full repaint.
        wxRect box;
        for (const wxRect& rc : m_outlineRects)
            box.Union(rc);
        bOutlineOnly = box.Contains(GetUpdateRegion().GetBox());
    }
    std::vector<wxRect> outlineRects;
    outlineRects.swap(m_outlineRects);
    if (bOutlineOnly)
    {
        // Only what the outline changed: the graph is not composed again.
        for (const wxRect& rc : outlineRects)
            DrawShownPixels(dc, {static_cast<int32_t>(std::floor(rc.x * scale)),
                                 static_cast<int32_t>(std::floor(rc.y * scale)),
                                 static_cast<int32_t>(std::ceil((rc.x + rc.width) * scale)),
                                 static_cast<int32_t>(std::ceil((rc.y + rc.height) * scale))});
        ++m_nOutlinePaints;
        return;
    }
    m_bComposeNeeded = false;
    Compose();
    // One copy of the finished picture, then the outline's strips over it, in one paint:
    // nothing half-drawn is ever on screen.
    dc.DrawBitmap(m_bmpComposed, 0, 0);
    m_bPainting = true;
    PlaceOutline();
    m_bPainting = false;
    if (m_bShownValid && m_sink.m_bChanged)
        for (const SRect& rc : m_sink.m_dirty)
            DrawShownPixels(dc, rc);
}

void CRatemarkView::OnTimer(wxTimerEvent&)
{
    // The dashes march one pixel per tick; only the outline's strips are shown again.
    if (m_pSelection && m_pSelection->IsShown())
    {
        if (m_pSelection->IsSettled())
        {
            // Taking a settled outline off redraws every pixel with the colour it has: the
            // step goes straight to the next phase, which is half the work per tick.
            m_pSelection->Discard();
            m_pSelection->Show(m_pSelection->GetRect());
        }
        else
        {
            m_pSelection->Tick();
        }
        ShowOutlineStrips();
    }
}

void CRatemarkView::OnLButtonDown(wxMouseEvent& event)
{
    event.Skip();
    CRatemarkDoc* pDoc = GetRatemarkDoc();
    const wxPoint pt = ToDevice(event.GetPosition());
    // A run's range must not change under it.
    if (!pDoc || !pDoc->IsIdle() || !GraphPointInRect(m_rcData, pt.x, pt.y))
        return;
    // Takes the old outline with the old selection.
    pDoc->ClearSelection();
    if (!HasCapture())
        CaptureMouse();
    SetCursor(m_crossCursor);
    m_pSelection = std::make_unique<CSelection>(this);
    m_pSelection->SetSettled(0);
    m_pSelection->SetRect({pt.x, pt.y, pt.x, pt.y});
}

void CRatemarkView::OnMouseMove(wxMouseEvent& event)
{
    event.Skip();
    const wxPoint pt = ToDevice(event.GetPosition());
    m_bMouseInData = GraphPointInRect(m_rcData, pt.x, pt.y);
    CRatemarkDoc* pDoc = GetRatemarkDoc();
    if (!pDoc || !pDoc->IsIdle() || !HasCapture() || !m_pSelection)
        return;
    m_pSelection->Show(GraphDragOutline(m_pSelection->GetRect().left, pt.x, m_rcData, m_rcAxes));
    ShowOutlineStrips();
}

void CRatemarkView::OnLButtonUp(wxMouseEvent& event)
{
    event.Skip();
    CRatemarkDoc* pDoc = GetRatemarkDoc();
    if (!pDoc || !pDoc->IsIdle() || !HasCapture())
        return;
    ReleaseMouse();
    SetCursor(wxNullCursor);
    if (!m_pSelection)
        return;
    const wxPoint pt = ToDevice(event.GetPosition());
    const SGraphRelease release =
        GraphReleaseSelection(m_pSelection->GetRect().left, pt.x, m_rcData);
    // Clearing destroys the drag outline, which takes it off the picture.
    pDoc->ClearSelection();
    if (release.m_bSetSelection)
    {
        pDoc->SetSelection(release.m_nA, release.m_nB, release.m_nWidth);
        // The update of a selection that took effect made a new, settled outline.
        if (m_pSelection)
            m_pSelection->SetSettled(1);
    }
    ShowOutlineStrips();
    Update();
}

void CRatemarkView::OnSetCursor(wxSetCursorEvent& event)
{
    CRatemarkDoc* pDoc = GetRatemarkDoc();
    m_bCrossChosen = pDoc && pDoc->IsIdle() && m_bMouseInData;
    if (m_bCrossChosen)
        event.SetCursor(m_crossCursor);
    else
        event.Skip();
}

void CRatemarkView::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    // Another window took the mouse mid-drag: the drag ends without a selection and its
    // outline goes, instead of staying behind on the picture.
    SetCursor(wxNullCursor);
    if (m_pSelection && !m_pSelection->IsSettled())
    {
        m_pSelection.reset();
        ShowOutlineStrips();
        Update();
    }
}
