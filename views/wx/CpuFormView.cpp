// The CPU monitor pane.
#include "views/wx/CpuFormView.h"

#include "framework/SettingsStore.h"
#include "views/wx/CpuMeterWnd.h"

#include <wx/splitter.h>
#include <wx/statbox.h>

namespace {

const char kSection[] = "Settings";
const char kKeyWidth[] = "CpuWndW";
const char kKeyHeight[] = "CpuWndH";
// The splitters' minimum pane size, and what a pane adds to its client size.
constexpr int kMinPane = 10;
constexpr int kPaneBorder = 4;

} // namespace

CCpuFormView::CCpuFormView(wxWindow* pParent, fw::CMessageQueue& queue,
                           fw::ISettingsStore* pSettings)
    : wxPanel(pParent, wxID_ANY, wxDefaultPosition, wxSize(0, 0)), fw::CView(queue),
      m_pSettings(pSettings)
{
    m_wndGroup =
        new wxStaticBox(this, wxID_ANY, "CPU monitor", ConvertDialogToPixels(wxPoint(27, 6)),
                        ConvertDialogToPixels(wxSize(71, 65)));
    // The meter's place: the meter window covers it exactly.
    m_wndPlace = new wxWindow(this, kPlaceId, ConvertDialogToPixels(wxPoint(36, 17)),
                              ConvertDialogToPixels(wxSize(54, 47)));
    m_wndPlace->SetBackgroundColour(wxColour(128, 128, 128));
    // The meter covers its place exactly, from the start: it measures for the life of the
    // window.
    m_wndMeter = new CCpuMeterWnd(this, kPlaceId, m_wndPlace->GetPosition(), m_wndPlace->GetSize());
    m_wndPlace->Hide();
}

wxSize CCpuFormView::GetDefaultSize() const
{
    return ConvertDialogToPixels(wxSize(124, 80));
}

void CCpuFormView::OnInitialUpdate()
{
    if (m_bSized)
        return;
    m_bSized = true;
    wxSize size = GetDefaultSize();
    if (m_pSettings)
    {
        const int w = m_pSettings->GetProfileInt(kSection, kKeyWidth, 0);
        const int h = m_pSettings->GetProfileInt(kSection, kKeyHeight, 0);
        if (w > 0 && h > 0)
            size = wxSize(w, h);
    }
    m_szApplied = size;
    ApplyPaneSize();
    // Once more when the window has its size: a splitter cuts a position to its width.
    CallAfter([this] { ApplyPaneSize(); });
}

void CCpuFormView::ApplyPaneSize()
{
    const wxSize size = m_szApplied;
    auto* inner = wxDynamicCast(GetParent(), wxSplitterWindow);
    if (!inner)
        return;
    inner->SetMinimumPaneSize(kMinPane);
    if (auto* outer = wxDynamicCast(inner->GetParent(), wxSplitterWindow))
    {
        outer->SetMinimumPaneSize(kMinPane);
        outer->SetSashPosition(size.x + kPaneBorder);
    }
    inner->SetSashPosition(size.y + kPaneBorder);
}

void CCpuFormView::SaveSize()
{
    if (!m_pSettings)
        return;
    const wxSize size = GetClientSize();
    m_pSettings->WriteProfileInt(kSection, kKeyWidth, size.x);
    m_pSettings->WriteProfileInt(kSection, kKeyHeight, size.y);
}
