// The shaped splash and About window: the program's picture doubled, with its name, platforms,
// version and notice drawn into it; black parts of the picture are holes in the window.
#pragma once

#include "platform/Types.h"

#include <string>
#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/timer.h>

class wxEvent;

class CSplashAboutWnd : public wxFrame
{
public:
    static constexpr int kTimerId = 1;

    // Whether a window may be shown at all (start-up allows it just before drive discovery).
    static void AllowShowing(BOOL bAllow) { s_bShowAllowed = bAllow; }
    // Whether the window closes itself at its first timer tick (the About command turns it off).
    static void SetAutoClose(BOOL bAutoClose) { s_bAutoClose = bAutoClose; }
    // Shows the window over owner (centred on it when it is on the screen, else on the
    // primary screen's work area). Nothing when showing is not allowed, a window exists
    // already, or the picture is missing.
    static void ShowOver(wxWindow* owner);
    // The application's event filter asks here first: a key or mouse-button press while the
    // window is shown closes it and is consumed (TRUE), so it has no other effect.
    static BOOL FilterMessage(wxEvent& event);

    // The one window, or nullptr.
    static CSplashAboutWnd* GetWindow() { return s_pWindow; }
    static BOOL IsAutoClose() { return s_bAutoClose; }
    // The finished picture (texts drawn in), as shown.
    const wxBitmap& GetPicture() const { return m_bitmap; }
    // Whether the window's outline follows the picture (false: it stayed rectangular).
    bool IsShaped() const { return m_bShaped; }

    ~CSplashAboutWnd() override;

private:
    CSplashAboutWnd();
    bool Create(wxWindow* owner);
    // Enlarges the picture, draws the texts and cuts the outline.
    bool MakePicture();
    void DrawTexts();
    void Hide2();

    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    wxBitmap m_bitmap;
    wxTimer m_timer;
    bool m_bShaped = false;
    bool m_bHiding = false;
    bool m_bGrabbed = false;
    bool m_bCaptured = false;
    wxWindow* m_pCanvas = nullptr;

    static inline BOOL s_bShowAllowed = FALSE;
    static inline CSplashAboutWnd* s_pWindow = nullptr;
    static inline BOOL s_bAutoClose = TRUE;
};
