// The CPU monitor pane: the group box "CPU monitor" around the meter, and the pane's size
// remembered between runs.
#pragma once

#include "framework/Wnd.h"

#include <wx/panel.h>

namespace fw {
class ISettingsStore;
}
class CCpuMeterWnd;
class wxStaticBox;

class CCpuFormView : public wxPanel, public fw::CView
{
public:
    static constexpr int kPlaceId = 1001;
    static constexpr int kFrameId = 1002;

    CCpuFormView(wxWindow* pParent, fw::CMessageQueue& queue, fw::ISettingsStore* pSettings);

    // At the first update: the pane's size from "CpuWndW" and "CpuWndH" (the template's size
    // when either is 0 or missing) given to the splitters around the view.
    void OnInitialUpdate() override;
    void OnUpdate(fw::CView*, intptr_t) override {}

    // Writes the pane's client size to "CpuWndW" and "CpuWndH".
    void SaveSize();

    // The default pane size: the template's hidden frame.
    wxSize GetDefaultSize() const;
    // The pane size applied at set-up.
    wxSize GetAppliedSize() const { return m_szApplied; }
    wxWindow* GetMeterPlace() const { return m_wndPlace; }
    CCpuMeterWnd* GetMeter() const { return m_wndMeter; }

private:
    // Gives the splitters around the view the pane size of set-up.
    void ApplyPaneSize();

    fw::ISettingsStore* m_pSettings;
    wxStaticBox* m_wndGroup = nullptr;
    wxWindow* m_wndPlace = nullptr;
    CCpuMeterWnd* m_wndMeter = nullptr;
    bool m_bSized = false;
    wxSize m_szApplied;
};
