// The shaped splash and About window.
#include "shell/wx/SplashAboutWnd.h"

#include "resources/Bitmaps.h"
#include "resources/StringTable.h"
#include "shell/SplashLayout.h"
#include "shell/SplashShape.h"

#include <algorithm>
#include <cstring>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/fontenum.h>
#include <wx/image.h>
#include <wx/region.h>

namespace {

constexpr uint32_t kStrAppTitle = 57344;

wxColour ToColour(COLORREF clr)
{
    return wxColour(static_cast<unsigned char>(clr & 0xFF),
                    static_cast<unsigned char>((clr >> 8) & 0xFF),
                    static_cast<unsigned char>((clr >> 16) & 0xFF));
}

// The font of a text: its own face where installed, else the face of the same metrics.
wxFont MakeFont(const SSplashFont& font)
{
    const wxString face = wxFontEnumerator::IsValidFacename(font.face)
                              ? wxString(font.face)
                              : wxString(font.fallbackFace);
    wxFontInfo info(wxSize(0, font.nHeight));
    info.FaceName(face).Bold(font.bBold).Italic(font.bItalic);
    return wxFont(info);
}

// The shadow first, then the text over it.
void DrawShadowedText(wxDC& dc, const SSplashText& look, const wxString& text, int x, int y)
{
    dc.SetTextForeground(ToColour(kSplashShadowColor));
    dc.DrawText(text, x + look.nShadowOffset, y + look.nShadowOffset);
    dc.SetTextForeground(ToColour(look.clrText));
    dc.DrawText(text, x, y);
}

void DrawShadowedLabel(wxDC& dc, const SSplashText& look, const wxString& text, const wxRect& rc)
{
    dc.SetTextForeground(ToColour(kSplashShadowColor));
    dc.DrawLabel(
        text,
        wxRect(rc.GetPosition() + wxPoint(look.nShadowOffset, look.nShadowOffset), rc.GetSize()),
        wxALIGN_LEFT | wxALIGN_TOP);
    dc.SetTextForeground(ToColour(look.clrText));
    dc.DrawLabel(text, rc, wxALIGN_LEFT | wxALIGN_TOP);
}

} // namespace

CSplashAboutWnd::CSplashAboutWnd() : m_timer(this, kTimerId) {}

CSplashAboutWnd::~CSplashAboutWnd()
{
    // Destroyed with its owner, before a press or its timer closed it.
    m_timer.Stop();
    if (m_bCaptured && m_pCanvas && m_pCanvas->HasCapture())
        m_pCanvas->ReleaseMouse();
    if (s_pWindow == this)
        s_pWindow = nullptr;
}

void CSplashAboutWnd::ShowOver(wxWindow* owner)
{
    if (!s_bShowAllowed || s_pWindow)
        return;
    auto* wnd = new CSplashAboutWnd;
    s_pWindow = wnd;
    if (!wnd->Create(owner))
    {
        s_pWindow = nullptr;
        if (wnd->GetHandle())
            wnd->Destroy();
        else
            delete wnd;
        return;
    }
    wnd->Update();
}

bool CSplashAboutWnd::Create(wxWindow* owner)
{
    if (!MakePicture())
        return false;
    const wxSize size(m_bitmap.GetWidth(), m_bitmap.GetHeight());
    if (!wxFrame::Create(owner, wxID_ANY, wxString(), wxPoint(0, 0), size,
                         wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_SHAPED |
                             (owner ? wxFRAME_FLOAT_ON_PARENT : 0)))
        return false;
    // The picture is shown by a child that can take the keyboard focus (a bare top-level
    // window gets no key events on every toolkit).
    m_pCanvas = new wxWindow(this, wxID_ANY, wxPoint(0, 0), size, wxBORDER_NONE | wxWANTS_CHARS);
    m_pCanvas->SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_pCanvas->SetCursor(wxCursor(wxCURSOR_ARROW));
    m_pCanvas->Bind(wxEVT_PAINT, &CSplashAboutWnd::OnPaint, this);
    m_pCanvas->Bind(wxEVT_MOUSE_CAPTURE_LOST, &CSplashAboutWnd::OnCaptureLost, this);
    Bind(wxEVT_TIMER, &CSplashAboutWnd::OnTimer, this, kTimerId);

    // Over the owner when the user sees it, else in the middle of the primary screen.
    if (owner && owner->IsShownOnScreen() &&
        !(owner->IsTopLevel() && static_cast<wxTopLevelWindow*>(owner)->IsIconized()))
        CentreOnParent();
    else
    {
        const wxRect work = wxDisplay(0u).GetClientArea();
        wxPoint pos(work.x + (work.width - size.x) / 2, work.y + (work.height - size.y) / 2);
        pos.x = std::max(work.x, pos.x);
        pos.y = std::max(work.y, pos.y);
        Move(pos);
    }

    // The outline: every pixel that is not pure black, texts included.
    const wxImage finished = m_bitmap.ConvertToImage();
    const std::optional<SRegionData> runs = ScanNonBlackRuns(
        finished.GetData(), finished.GetWidth(), finished.GetHeight(), finished.GetWidth() * 3u);
    if (runs)
    {
        wxRegion region;
        for (const SRegionRect& rc : runs->rects)
            region.Union(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        m_bShaped = SetShape(region);
    }

    m_timer.Start(kSplashTimerMs);
    Show(true);
    Raise();
    return true;
}

bool CSplashAboutWnd::MakePicture()
{
    const res::SBitmap* picture = res::FindBitmap(res::kBitmapSplash);
    if (!picture || picture->nWidth <= 0 || picture->nHeight <= 0)
        return false;
    wxImage image(picture->nWidth, picture->nHeight, false);
    std::memcpy(image.GetData(), picture->pBits,
                static_cast<size_t>(picture->nWidth) * picture->nHeight * 3);
    // Each pixel doubled in both directions, nothing blended.
    image.Rescale(picture->nWidth * kSplashScale, picture->nHeight * kSplashScale,
                  wxIMAGE_QUALITY_NEAREST);
    m_bitmap = wxBitmap(image, 24);
    if (!m_bitmap.IsOk())
        return false;
    DrawTexts();
    return true;
}

void CSplashAboutWnd::DrawTexts()
{
    wxMemoryDC dc(m_bitmap);
    dc.SetBackgroundMode(wxTRANSPARENT);
    const int w = m_bitmap.GetWidth(), h = m_bitmap.GetHeight();

    const wxString title = wxString::FromUTF8(res::LoadString(kStrAppTitle));
    const wxFont titleFont = MakeFont(kSplashTitle.font);
    const wxString version = wxString::FromUTF8(SplashVersionLine());
    const wxFont versionFont = MakeFont(kSplashVersion.font);
    dc.SetFont(titleFont);
    const int titleHeight = dc.GetTextExtent(title).y;
    dc.SetFont(versionFont);
    const int versionWidth = dc.GetTextExtent(version).x;
    const SSplashPositions p = SplashPositions(w, h, titleHeight, versionWidth);

    dc.SetFont(titleFont);
    DrawShadowedText(dc, kSplashTitle, title, p.xTitle, p.yTitle);
    dc.SetFont(MakeFont(kSplashPlatforms.font));
    DrawShadowedText(dc, kSplashPlatforms, wxString::FromUTF8(res::LoadString(kStrSplashPlatforms)),
                     p.xPlatforms, p.yPlatforms);
    dc.SetFont(versionFont);
    DrawShadowedText(dc, kSplashVersion, version, p.xVersion, p.yVersion);
    const SRegionRect& rc = p.rcNotice;
    DrawShadowedLabel(dc, kSplashNotice, wxString::FromUTF8(res::LoadString(kStrSplashNotice)),
                      wxRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top));
    dc.SelectObject(wxNullBitmap);
}

void CSplashAboutWnd::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(m_pCanvas);
    dc.DrawBitmap(m_bitmap, 0, 0);
    // Once the window is on the screen (a grab of an unmapped window fails): a press
    // anywhere, on the menu bar and the title bars too, must reach this window only, and keys
    // must come here, not to the window below.
    if (!m_bGrabbed && !m_bHiding)
    {
        m_bGrabbed = true;
        Raise();
        m_pCanvas->SetFocus();
        m_pCanvas->CaptureMouse();
        m_bCaptured = true;
    }
}

void CSplashAboutWnd::OnTimer(wxTimerEvent&)
{
    if (s_bAutoClose)
        Hide2();
}

void CSplashAboutWnd::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    m_bCaptured = false;
    // Another program took the pointer; the filter still closes the window on presses that
    // reach this program.
}

void CSplashAboutWnd::Hide2()
{
    if (m_bHiding)
        return;
    m_bHiding = true;
    m_timer.Stop();
    if (m_bCaptured && m_pCanvas->HasCapture())
        m_pCanvas->ReleaseMouse();
    m_bCaptured = false;
    // The window is gone for the program at once; the toolkit deletes the object later.
    if (s_pWindow == this)
        s_pWindow = nullptr;
    Destroy();
    if (wxWindow* main = wxTheApp ? wxTheApp->GetTopWindow() : nullptr; main && main != this)
    {
        main->Refresh();
        main->Update();
    }
}

BOOL CSplashAboutWnd::FilterMessage(wxEvent& event)
{
    const wxEventType type = event.GetEventType();
    if (!s_pWindow)
        return FALSE;

    const bool press = type == wxEVT_KEY_DOWN || type == wxEVT_CHAR_HOOK ||
                       type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN ||
                       type == wxEVT_MIDDLE_DOWN || type == wxEVT_LEFT_DCLICK ||
                       type == wxEVT_RIGHT_DCLICK || type == wxEVT_MIDDLE_DCLICK;
    if (!press)
        return FALSE;
    s_pWindow->Hide2();
    return TRUE;
}
