// The data list view.
#include "views/wx/DataView.h"

#include "engine/RatemarkDoc.h"
#include "resources/StringTable.h"
#include "views/DataList.h"
#include "views/wx/DlgLegend.h"

#include <wx/settings.h>

namespace {

constexpr uint32_t kStrParameter = 10034;
constexpr uint32_t kStrValue = 10039;
constexpr uint32_t kStrInformation = 10042;
constexpr uint32_t kStrLegend = 10043;

// The list and the tab control in dialog units, as laid out at set-up.
const wxSize kListSizeDlu(151, 155);
const wxSize kTabSizeDlu(152, 169);

} // namespace

CStatList::CStatList(wxWindow* pParent, wxWindowID id, const wxSize& size)
    : wxListCtrl(pParent, id, wxDefaultPosition, size,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL | wxBORDER_THEME)
{}

wxString CStatList::OnGetItemText(long item, long column) const
{
    if (!m_pDoc)
        return wxString();
    const int row = static_cast<int>(item);
    if (column == 0)
        return wxString::FromUTF8(GetStatLabel(row));
    if (column == 1)
        return wxString::FromUTF8(m_pDoc->GetStatText(row));
    return wxString();
}

CDataView::CDataView(wxWindow* pParent, fw::CMessageQueue& queue)
    : wxScrolled<wxPanel>(pParent, wxID_ANY, wxDefaultPosition, wxSize(0, 0)), fw::CView(queue)
{
    m_szTabMin = ConvertDialogToPixels(kTabSizeDlu);
    m_wndTab = new wxNotebook(this, kTabId, wxPoint(0, 0), m_szTabMin, wxNB_BOTTOM);
    m_wndList = new CStatList(m_wndTab, kListId, ConvertDialogToPixels(kListSizeDlu));
    m_dlgLegend = new CDlgLegend(m_wndTab);
    // The toolkit's notebook takes no child that is not one of its pages.
    m_wndTab->AddPage(m_wndList, wxString::FromUTF8(res::LoadString(kStrInformation)), true);
    m_wndTab->AddPage(m_dlgLegend, wxString::FromUTF8(res::LoadString(kStrLegend)), false);
    SetScrollRate(8, 8);
    Bind(wxEVT_SIZE, &CDataView::OnSize, this);
}

void CDataView::OnInitialUpdate()
{
    m_wndList->SetDocument(static_cast<CRatemarkDoc*>(GetDocument()));
    if (m_bInitialized)
        return;

    // Two columns sharing the list's width less a vertical scroll bar, fixed from now on.
    const int w = m_wndList->GetClientSize().x - wxSystemSettings::GetMetric(wxSYS_VSCROLL_X);
    m_wndList->InsertColumn(0, wxString::FromUTF8(res::LoadString(kStrParameter)),
                            wxLIST_FORMAT_LEFT, w / 2);
    m_wndList->InsertColumn(1, wxString::FromUTF8(res::LoadString(kStrValue)), wxLIST_FORMAT_LEFT,
                            w - w / 2);
    m_wndList->SetItemCount(CStatList::kRows);

    m_bInitialized = 1;
    Layout2();
}

void CDataView::OnUpdate(fw::CView*, intptr_t) {}

void CDataView::OnInvalidate(BOOL)
{
    m_wndList->Refresh(false);
}

intptr_t CDataView::WindowProc(uint32_t msg, uintptr_t, intptr_t)
{
    if (msg == UM_REFRESH)
    {
        m_wndList->Refresh(false);
        return 1;
    }
    return 0;
}

void CDataView::OnSize(wxSizeEvent& event)
{
    event.Skip();
    Layout2();
}

void CDataView::Layout2()
{
    if (!m_wndTab)
        return;
    // Never smaller than at set-up: below that the view scrolls.
    const wxSize client = GetClientSize();
    const wxSize size(std::max(client.x, m_szTabMin.x), std::max(client.y, m_szTabMin.y));
    SetVirtualSize(size);
    m_wndTab->SetSize(CalcScrolledPosition(wxPoint(0, 0)).x, CalcScrolledPosition(wxPoint(0, 0)).y,
                      size.x, size.y);
}
