// The speed graph window: the graph painted off screen and shown in one copy.
#pragma once

#include "framework/Wnd.h"
#include "views/GraphData.h"
#include "views/GraphLayout.h"

#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/window.h>

class CRatemarkDoc;

class CRatemarkView : public wxWindow, public fw::CView
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

    wxTimer m_timer;
    wxBitmap m_bmpComposed;
    SGraphLayout m_layout;
    unsigned m_nPaints = 0;
};

// The graph's crosshair cursor, 32 × 32: a black cross 19 pixels each way with a one-pixel
// white border, the rest transparent, hot spot (15, 16).
wxImage MakeCrossCursorImage();
