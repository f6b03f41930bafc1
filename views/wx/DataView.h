// The data list view: the tabs "Information" (thirteen rows of geometry and results) and
// "Legend".
#pragma once

#include "framework/Wnd.h"

#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/scrolwin.h>

class CDlgLegend;
class CRatemarkDoc;

// The information list: a virtual report list that stores no text; every repaint asks the
// document for the thirteen rows again.
class CStatList : public wxListCtrl
{
public:
    static constexpr int kRows = 13;

    CStatList(wxWindow* pParent, wxWindowID id, const wxSize& size);
    void SetDocument(CRatemarkDoc* pDoc) { m_pDoc = pDoc; }

protected:
    wxString OnGetItemText(long item, long column) const override;

private:
    CRatemarkDoc* m_pDoc = nullptr;
};

class CDataView : public wxScrolled<wxPanel>, public fw::CView
{
public:
    static constexpr int kTabId = 1003;
    static constexpr int kListId = 1004;

    CDataView(wxWindow* pParent, fw::CMessageQueue& queue);

    // The one-time set-up of the tabs, columns and rows, then the layout.
    void OnInitialUpdate() override;
    // Nothing: the list is refreshed by UM_REFRESH and by ordinary repaints.
    void OnUpdate(fw::CView* pSender, intptr_t lHint) override;

    wxNotebook* GetTab() const { return m_wndTab; }
    CStatList* GetList() const { return m_wndList; }
    CDlgLegend* GetLegend() const { return m_dlgLegend; }
    // The size under which the tab control is not made smaller.
    wxSize GetTabMinSize() const { return m_szTabMin; }

protected:
    // UM_REFRESH invalidates the list without erasing and goes no further.
    intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void OnInvalidate(BOOL bErase) override;

private:
    void OnSize(wxSizeEvent& event);
    void Layout2();

    wxNotebook* m_wndTab = nullptr;
    CStatList* m_wndList = nullptr;
    BOOL m_bInitialized = 0;
    wxSize m_szTabMin;
    CDlgLegend* m_dlgLegend = nullptr;
};
