// The speed graph window: the graph painted off screen and shown in one copy.
#pragma once

#include "framework/Wnd.h"
#include "views/GraphData.h"
#include "views/GraphLayout.h"
#include "views/Selection.h"

#include <memory>
#include <vector>
#include <wx/bitmap.h>
#include <wx/cursor.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/window.h>

class CRatemarkDoc;

// The outline's pixels on the picture the window shows, and the strips they touched.
class CShownPictureSink : public IPixelSink
{
public:
    void Attach(wxImage* pImage);
    void PutPixel(int32_t x, int32_t y, COLORREF clr, EPixelMode mode) override;

    // Rows and columns of drawn pixels (right and bottom excluded), in drawing order.
    std::vector<SRect> m_dirty;
    bool m_bChanged = false;

private:
    unsigned char* m_pData = nullptr; // rows of RGB triples
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
};

class CRatemarkView : public wxWindow, public fw::CView, public ISelectionOwner
{
public:
    static constexpr int kTimerId = 1;
    static constexpr int kTimerMs = 100;

    CRatemarkView(wxWindow* pParent, fw::CMessageQueue& queue);
    ~CRatemarkView() override;

    CRatemarkDoc* GetRatemarkDoc() const;

    // Invalidates the whole window without erasing.
    void OnUpdate(fw::CView* pSender, intptr_t lHint) override;
    void OnInitialUpdate() override;

    // Paints the graph into the kept picture at the window's device pixels and returns it.
    // A selection outline is composed onto a copy of this picture, never onto the window.
    const wxBitmap& Compose();
    // The picture of the last paint (empty before the first).
    const wxBitmap& GetComposedPicture() const { return m_bmpComposed; }
    // The layout of the last paint; its rectangles are what the mouse works with.
    const SGraphLayout& GetLayout() const { return m_layout; }
    // Paints since creation.
    unsigned GetPaintCount() const { return m_nPaints; }
    // Paints that only showed the outline's changed pixels, without composing the graph.
    unsigned GetOutlinePaintCount() const { return m_nOutlinePaints; }
    // The selection outline, or null.
    CSelection* GetSelection() const { return m_pSelection.get(); }
    // What the window shows while an outline exists: the composed picture with the outline.
    // Invalid while no outline has been drawn on the last composed picture.
    const wxImage& GetShownPicture() const { return m_imgShown; }
    // The cursor the last cursor query chose over the window: the crosshair or the arrow.
    bool IsCrossCursorChosen() const { return m_bCrossChosen; }

    // The outline draws on the shown picture; the window shows the changed pixels once the
    // handler that drew them calls Update.
    IPixelSink* GetOutlineSink() override;
    void ReleaseOutlineSink(IPixelSink* pSink) override;

    // The axes and the plot area of the last paint, in device pixels.
    SRect m_rcAxes;
    SRect m_rcData;
    BOOL m_bMouseInData = 0;

protected:
    intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void OnInvalidate(BOOL bErase) override;

private:
    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnLButtonDown(wxMouseEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnLButtonUp(wxMouseEvent& event);
    void OnSetCursor(wxSetCursorEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    // Shows the strips the outline changed since the last call, each in a paint of its own.
    void ShowOutlineStrips();
    // Asks for a full repaint: the graph composed afresh.
    void RequestCompose();
    // Puts the outline onto the freshly composed picture, at the selection's place.
    void PlaceOutline();
    // Copies the shown picture's pixels under rc (device pixels) to the window.
    void DrawShownPixels(wxDC& dc, const SRect& rc);
    // The mouse position in device pixels, as the rectangles of the last paint are.
    wxPoint ToDevice(const wxPoint& pt) const;
    // A device-pixel rectangle (right and bottom excluded) in window coordinates.
    wxRect ToLogical(const SRect& rc) const;

    wxTimer m_timer;
    wxCursor m_crossCursor;
    wxBitmap m_bmpComposed;
    wxImage m_imgShown;
    bool m_bShownValid = false;
    CShownPictureSink m_sink;
    // The window parts invalidated for the outline alone since the last paint.
    std::vector<wxRect> m_outlineRects;
    // Strips the outline changed that the window has not been asked to show yet.
    std::vector<wxRect> m_pendingStrips;
    bool m_bComposeNeeded = true;
    bool m_bPainting = false;
    bool m_bDestroying = false;
    bool m_bCrossChosen = false;
    std::unique_ptr<CSelection> m_pSelection;
    SGraphLayout m_layout;
    unsigned m_nPaints = 0;
    unsigned m_nOutlinePaints = 0;
};

// The graph's crosshair cursor, 32 × 32: a black cross 19 pixels each way with a one-pixel
// white border, the rest transparent, hot spot (15, 16).
wxImage MakeCrossCursorImage();
