// The main window.
#include "shell/wx/MainFrame.h"

#include "diskaccess/NtHardDrive.h"
#include "engine/Commands.h"
#include "engine/RatemarkDoc.h"
#include "framework/CmdUI.h"
#include "framework/Format.h"
#include "framework/IniSettingsStore.h"
#include "framework/MessageBox.h"
#include "framework/wx/CmdUIUpdate.h"
#include "framework/wx/DocumentPrompts.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "shell/AppCore.h"
#include "shell/InstalledFiles.h"
#include "shell/wx/RatemarkApp.h"
#include "shell/wx/SplashAboutWnd.h"
#include "shell/wx/ToolbarImages.h"
#include "views/wx/CpuFormView.h"
#include "views/wx/DataView.h"
#include "views/wx/RatemarkView.h"

#include <wx/accel.h>
#include <wx/choice.h>
#include <wx/cursor.h>
#include <wx/dcclient.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/gauge.h>
#include <wx/html/helpctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

namespace {

constexpr uint32_t kStrAppTitle = 57344;
constexpr uint32_t kStrIdle = 57345;
constexpr uint32_t kStrDriveItem = 10023;
constexpr uint32_t kStrSelectedRange = 10027;
constexpr uint32_t kStrSelected = 10041;
constexpr uint32_t kStrPhaseTemplate = 10048;
constexpr uint32_t kStrProgressTemplate = 10049;

const char kSection[] = "Settings";
constexpr int kDefaultX = 50, kDefaultY = 50, kDefaultW = 700, kDefaultH = 500;
constexpr int kToolImageSize = 24;
// The drive selector strip and its list, in dialog units.
const wxSize kDlgBarDlu(161, 16);
const wxPoint kComboPosDlu(8, 2);
constexpr int kComboWidthDlu = 144;

// A command's status prompt and tooltip: its string "prompt\ntooltip".
std::pair<wxString, wxString> PromptAndTip(uint32_t id)
{
    const std::string text = res::LoadString(id);
    const size_t nl = text.find('\n');
    if (nl == std::string::npos)
        return {wxString::FromUTF8(text), wxString::FromUTF8(text)};
    return {wxString::FromUTF8(text.substr(0, nl)), wxString::FromUTF8(text.substr(nl + 1))};
}

bool OnWayland()
{
    return wxGetDisplayInfo().type == wxDisplayWayland;
}

} // namespace

CMainFrame::CMainFrame(CAppCore& app, fw::CMessageQueue& queue, fw::CIniSettingsStore* pSettings)
    : wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(res::LoadString(kStrAppTitle)),
              wxDefaultPosition, wxSize(kDefaultW, kDefaultH), wxDEFAULT_FRAME_STYLE,
              "RatemarkClass"),
      fw::CWnd(queue), m_app(app), m_pSettings(pSettings)
{
    m_pPrompts = std::make_unique<CWxDocumentPrompts>(this);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    // Where the system asks the user's authorisation to read a disk, the open may wait for a
    // password: it is done ahead of the binding, off the event loop.
    if (CNtHardDrive* nt = m_app.GetNtDrive())
        m_driveOpener = [nt](int32_t drive, std::string* refusal) {
            return nt->PrepareOpen(drive, refusal);
        };
}

// The document may be gone by the time the toolkit deletes the window: it is left alone here
// (DetachDocument has let it go).
CMainFrame::~CMainFrame()
{
    JoinDriveOpener();
}

void CMainFrame::JoinDriveOpener()
{
    if (m_openerThread.joinable())
        m_openerThread.join();
}

void CMainFrame::DetachDocument()
{
    // The manuals' windows close with the program's window.
    m_pHelpEnglish.reset();
    m_pHelpRussian.reset();
    if (m_pDoc)
    {
        m_pDoc->SetPrompts(nullptr);
        m_pDoc->SetMainFrame(nullptr);
    }
    if (m_pDataView)
        m_pDataView->GetList()->SetDocument(nullptr);
    m_pDoc = nullptr;
}

bool CMainFrame::CreateParts()
{
    CreateMenus();
    if (!CreateToolBar2() || !CreateStatusBar2())
        return false;
    FillDriveSelector();
    RestorePlacement();
    // The splash shows while the window is being made (when start-up allows it).
    CSplashAboutWnd::ShowOver(this);
    return CreateClient();
}

void CMainFrame::CreateMenus()
{
    auto item = [](wxMenu* menu, int id, const char* text, wxItemKind kind = wxITEM_NORMAL) {
        menu->Append(WxCommandId(static_cast<uint32_t>(id)), text,
                     PromptAndTip(static_cast<uint32_t>(id)).first, kind);
    };
    auto* start = new wxMenu;
    item(start, ID_START_DIAGNOSTIC, "&Start diagnostic");
    item(start, ID_STOP_DIAGNOSTIC, "S&top diagnostic");
    start->AppendSeparator();
    item(start, fw::ID_FILE_SAVE_AS, "Sa&ve data to file");
    start->AppendSeparator();
    item(start, ID_APP_EXIT, "E&xit");

    auto* options = new wxMenu;
    item(options, ID_HIGH_PRIORITY, "S&et highest priority", wxITEM_CHECK);
    options->AppendSeparator();
    item(options, ID_FAST_TEST, "Fast test", wxITEM_RADIO);
    item(options, ID_FULL_TEST, "Full test", wxITEM_RADIO);
    options->AppendSeparator();
    item(options, ID_BURST_TEST, "Burst speed test", wxITEM_CHECK);
    item(options, ID_RANDOM_ACCESS, "Random access", wxITEM_CHECK);

    auto* view = new wxMenu;
    view->AppendCheckItem(WxCommandId(ID_VIEW_TOOLBAR), "&Toolbar", "Show or hide the toolbar");
    view->AppendCheckItem(WxCommandId(ID_VIEW_STATUS_BAR), "&Status Bar",
                          "Show or hide the status bar");

    auto* contents = new wxMenu;
    contents->Append(WxCommandId(ID_HELP_ENGLISH), "&English");
    contents->Append(WxCommandId(ID_HELP_RUSSIAN), "&Russian");
    auto* help = new wxMenu;
    help->AppendSubMenu(contents, "&Contents");
    help->Append(WxCommandId(ID_WEB_SITE), "&Web site...");
    help->AppendSeparator();
    help->Append(WxCommandId(ID_APP_ABOUT), "&About");

    auto* bar = new wxMenuBar;
    bar->Append(start, "&Start");
    bar->Append(options, "&Options");
    bar->Append(view, "&View");
    bar->Append(help, "&Help");
    SetMenuBar(bar);

    wxAcceleratorEntry accel(wxACCEL_CTRL, 'S', WxCommandId(fw::ID_FILE_SAVE));
    SetAcceleratorTable(wxAcceleratorTable(1, &accel));

    const int first = WxCommandId(ID_START_DIAGNOSTIC), last = WxCommandId(ID_RANDOM_ACCESS);
    const int save = WxCommandId(fw::ID_FILE_SAVE), saveAs = WxCommandId(fw::ID_FILE_SAVE_AS);
    const int toolbar = WxCommandId(ID_VIEW_TOOLBAR), statusBar = WxCommandId(ID_VIEW_STATUS_BAR);
    Bind(wxEVT_MENU, &CMainFrame::OnCommand, this, first, last);
    Bind(wxEVT_MENU, &CMainFrame::OnCommand, this, save, saveAs);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCommand, this, first, last);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCommand, this, save, saveAs);
    Bind(wxEVT_MENU, &CMainFrame::OnViewBar, this, toolbar, statusBar);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewBar, this, toolbar, statusBar);
    Bind(wxEVT_MENU, &CMainFrame::OnExit, this, WxCommandId(ID_APP_EXIT));
    Bind(wxEVT_MENU, &CMainFrame::OnHelpCommand, this, WxCommandId(ID_WEB_SITE),
         WxCommandId(ID_HELP_RUSSIAN));
    Bind(wxEVT_MENU, &CMainFrame::OnHelpCommand, this, WxCommandId(ID_APP_ABOUT));
}

bool CMainFrame::CreateToolBar2()
{
    // The bar strip: the toolbar band, then the drive selector band.
    m_wndReBar = new wxPanel(this, wxID_ANY);
    m_wndToolBar = new wxToolBar(m_wndReBar, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                 wxTB_FLAT | wxTB_HORIZONTAL | wxTB_NODIVIDER);
    m_wndToolBar->SetToolBitmapSize(wxSize(kToolImageSize, kToolImageSize));
    auto tool = [this](uint32_t id, wxItemKind kind = wxITEM_NORMAL) {
        const auto [prompt, tip] = PromptAndTip(id);
        m_wndToolBar->AddTool(WxCommandId(id), tip, MakeToolImage(id, kToolImageSize), wxNullBitmap,
                              kind, tip, prompt);
    };
    tool(ID_START_DIAGNOSTIC);
    tool(ID_STOP_DIAGNOSTIC);
    m_wndToolBar->AddSeparator();
    tool(fw::ID_FILE_SAVE_AS);
    m_wndToolBar->AddSeparator();
    tool(ID_HIGH_PRIORITY, wxITEM_CHECK);
    tool(ID_FAST_TEST, wxITEM_RADIO);
    tool(ID_FULL_TEST, wxITEM_RADIO);
    tool(ID_BURST_TEST, wxITEM_CHECK);
    tool(ID_RANDOM_ACCESS, wxITEM_CHECK);
    m_wndToolBar->AddSeparator();
    tool(ID_APP_EXIT);
    if (!m_wndToolBar->Realize())
        return false;

    m_wndDlgBar = new wxPanel(m_wndReBar, wxID_ANY);
    m_pDriveCombo = new wxChoice(
        m_wndDlgBar, kDriveSelectorId, m_wndDlgBar->ConvertDialogToPixels(kComboPosDlu),
        wxSize(m_wndDlgBar->ConvertDialogToPixels(wxSize(kComboWidthDlu, 0)).x, -1));
    const wxSize strip = m_wndDlgBar->ConvertDialogToPixels(kDlgBarDlu);
    m_wndDlgBar->SetMinSize(wxSize(
        strip.x, std::max(strip.y, m_pDriveCombo->GetSize().y + m_pDriveCombo->GetPosition().y)));
    m_pDriveCombo->Bind(wxEVT_CHOICE, &CMainFrame::OnSelChangeDrive, this);

    auto* bands = new wxBoxSizer(wxHORIZONTAL);
    bands->Add(m_wndToolBar, 0, wxALIGN_CENTER_VERTICAL);
    bands->Add(m_wndDlgBar, 0, wxALIGN_CENTER_VERTICAL);
    m_wndReBar->SetSizer(bands);
    return true;
}

bool CMainFrame::CreateStatusBar2()
{
    m_wndStatusBar = CreateStatusBar(4);
    if (!m_wndStatusBar)
        return false;
    wxClientDC dc(m_wndStatusBar);
    dc.SetFont(m_wndStatusBar->GetFont());
    const uint32_t templates[] = {kStrPhaseTemplate, kStrProgressTemplate, kStrSelected};
    int widths[4] = {-1, 0, 0, 0};
    for (int i = 0; i < 3; ++i)
        widths[i + 1] =
            dc.GetTextExtent(wxString::FromUTF8(res::LoadString(templates[i]))).x + kPaneMargin;
    m_wndStatusBar->SetStatusWidths(4, widths);
    SetStatusBarPane(kPanePrompt);
    SetPaneText(kPanePrompt, res::LoadString(kStrIdle));
    // Only the widths come from the templates.
    SetPaneText(kPanePhase, "");
    SetPaneText(kPaneProgress, "");
    m_paneTexts[kPaneSelection] = res::LoadString(kStrSelected);
    SetPaneText(kPaneSelection, m_paneTexts[kPaneSelection]);
    m_wndStatusBar->Bind(wxEVT_SIZE, &CMainFrame::OnStatusBarSize, this);
    return true;
}

void CMainFrame::FillDriveSelector()
{
    const int count = m_app.GetDriveCount();
    for (int i = 0; i < count; ++i)
        m_pDriveCombo->Append(wxString::FromUTF8(fw::FormatText(res::LoadString(kStrDriveItem), i)),
                              reinterpret_cast<void*>(static_cast<intptr_t>(i)));
    m_nCurDrive = count > 0 ? 0 : -1;
    m_pDriveCombo->SetSelection(m_nCurDrive >= 0 ? m_nCurDrive : wxNOT_FOUND);
    m_pDriveCombo->Enable(count > 0);
}

void CMainFrame::RestorePlacement()
{
    fw::ISettingsStore* s = m_pSettings;
    const int x = s ? s->GetProfileInt(kSection, "MainWndX", kDefaultX) : kDefaultX;
    const int y = s ? s->GetProfileInt(kSection, "MainWndY", kDefaultY) : kDefaultY;
    const int w = s ? s->GetProfileInt(kSection, "MainWndW", kDefaultW) : kDefaultW;
    const int h = s ? s->GetProfileInt(kSection, "MainWndH", kDefaultH) : kDefaultH;
    // On Wayland the compositor places windows: only the size is ours to restore there.
    if (OnWayland())
        SetSize(w, h);
    else
        SetSize(x, y, w, h);
}

bool CMainFrame::CreateClient()
{
    m_wndSplitter = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                         wxSP_LIVE_UPDATE | wxSP_3DSASH);
    m_pGraphView = new CRatemarkView(m_wndSplitter, GetQueue());
    m_wndSplitter2 = new wxSplitterWindow(m_wndSplitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                          wxSP_LIVE_UPDATE | wxSP_3DSASH);
    m_pCpuView = new CCpuFormView(m_wndSplitter2, GetQueue(), m_pSettings);
    m_pDataView = new CDataView(m_wndSplitter2, GetQueue());
    m_wndSplitter2->SplitHorizontally(m_pCpuView, m_pDataView);
    m_wndSplitter->SplitVertically(m_wndSplitter2, m_pGraphView);
    // The panes keep their sizes when the window grows: the graph takes the rest.
    m_wndSplitter->SetSashGravity(0.0);
    m_wndSplitter2->SetSashGravity(0.0);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_wndReBar, 0, wxEXPAND);
    sizer->Add(m_wndSplitter, 1, wxEXPAND);
    SetSizer(sizer);
    return true;
}

void CMainFrame::AttachDocument(CRatemarkDoc* pDoc)
{
    m_pDoc = pDoc;
    if (!pDoc)
        return;
    pDoc->SetPrompts(m_pPrompts.get());
    pDoc->SetMainFrame(this);
    // The CPU monitor first: its first update sizes the splitters.
    pDoc->AddView(m_pCpuView);
    pDoc->AddView(m_pDataView);
    pDoc->AddView(m_pGraphView);
}

void CMainFrame::SetPrompts(fw::IDocumentPrompts* pPrompts)
{
    if (m_pDoc)
        m_pDoc->SetPrompts(pPrompts ? pPrompts : m_pPrompts.get());
}

// ---- Drive selector

int CMainFrame::GetSelectedDrive()
{
    if (!m_pDriveCombo)
        return m_wndDlgBar ? -1 : 0;
    const int sel = m_pDriveCombo->GetSelection();
    return sel == wxNOT_FOUND ? -1 : sel;
}

void CMainFrame::EnableDriveSelector(BOOL bEnable)
{
    // A drive being opened for a change keeps the selector locked, whatever the run's state.
    if (IsOpeningDrive())
        bEnable = FALSE;
    if (m_pDriveCombo && m_pDriveCombo->IsEnabled() != (bEnable != 0))
        m_pDriveCombo->Enable(bEnable != 0);
}

void CMainFrame::SetSelectedDrive(int index)
{
    if (m_pDriveCombo)
        m_pDriveCombo->SetSelection(index >= 0 ? index : wxNOT_FOUND);
}

void CMainFrame::OnSelChangeDrive(wxCommandEvent&)
{
    const int selection = GetSelectedDrive();
    if (selection == m_nCurDrive || IsOpeningDrive())
        return;
    if (!m_driveOpener || selection < 0)
    {
        ChangeDrive(selection);
        return;
    }
    int32_t drive = 0;
    try
    {
        drive = m_app.GetDriveGeometry(selection).Drive;
    }
    catch (const std::exception&)
    {
        ChangeDrive(selection);
        return;
    }
    // The window stays responsive while the user answers the password dialog; no second
    // change can start meanwhile.
    JoinDriveOpener();
    m_nOpeningDrive = selection;
    EnableDriveSelector(FALSE);
    SetCursor(wxCursor(wxCURSOR_ARROWWAIT));
    m_openerThread = std::thread([this, selection, drive, opener = m_driveOpener] {
        std::string refusal;
        uint32_t error = 0;
        try
        {
            error = opener(drive, &refusal);
        }
        catch (...)
        {
            // The binding's own Open reports what is wrong.
            error = 1;
        }
        CallAfter([this, selection, error, refusal] { OnDriveOpened(selection, error, refusal); });
    });
}

void CMainFrame::OnDriveOpened(int selection, uint32_t error, const std::string& refusal)
{
    JoinDriveOpener();
    m_nOpeningDrive = -1;
    SetCursor(wxNullCursor);
    EnableDriveSelector(TRUE);
    if (error != 0 && !refusal.empty())
    {
        // Refused: the results of the current drive stay as they are.
        SetSelectedDrive(m_nCurDrive);
        fw::MessageBox(std::string(res::LoadString(res::IDS_CANT_OPEN_DRIVE)) + "\n" + refusal,
                       fw::kMbOk | fw::kMbIconHand);
        return;
    }
    // Any other failure is met again by the binding's own Open, which reports it.
    SetSelectedDrive(selection);
    ChangeDrive(selection);
}

void CMainFrame::ChangeDrive(int selection)
{
    m_bDriveAccepted = 0;
    // Save or discard the current results, then bind the document to the selected drive;
    // only an accepted drive sends UM_DRIVE_ACCEPTED.
    if (m_pDoc)
        m_pDoc->OnFileNew();
    if (m_bDriveAccepted)
        m_nCurDrive = selection;
    else
        SetSelectedDrive(m_nCurDrive);
}

// ---- Status bar

void CMainFrame::SetPaneText(int pane, const std::string& text)
{
    m_paneTexts[pane] = text;
    if (!m_wndStatusBar)
        return;
    const bool shown = pane != kPaneSelection || m_bSelPaneEnabled;
    m_wndStatusBar->SetStatusText(shown ? wxString::FromUTF8(text) : wxString(), pane);
}

std::string CMainFrame::GetPaneText(int pane) const
{
    if (!m_wndStatusBar || pane < 0 || pane >= m_wndStatusBar->GetFieldsCount())
        return std::string();
    return m_wndStatusBar->GetStatusText(pane).utf8_string();
}

void CMainFrame::SetPaneWidth(int pane, int width)
{
    int widths[4];
    for (int i = 0; i < 4; ++i)
        widths[i] = m_wndStatusBar->GetStatusWidth(i);
    widths[pane] = width;
    m_wndStatusBar->SetStatusWidths(4, widths);
}

void CMainFrame::PlaceProgressBar()
{
    if (!m_wndProgress)
        return;
    wxRect rc;
    if (m_wndStatusBar->GetFieldRect(kPaneProgress, rc))
        m_wndProgress->SetSize(rc);
    m_wndProgress->Refresh();
}

void CMainFrame::OnStatusBarSize(wxSizeEvent& event)
{
    event.Skip();
    // After the status bar has laid its panes out.
    CallAfter([this] { PlaceProgressBar(); });
}

int CMainFrame::GetSizeGripWidth() const
{
    // The grip is drawn inside the last pane, a square as high as the bar, on a window that
    // can be resized and is not maximised; the pane's text would otherwise be cut short.
    if (!m_wndStatusBar || !m_wndStatusBar->HasFlag(wxSTB_SIZEGRIP) || IsMaximized() ||
        !HasFlag(wxRESIZE_BORDER))
        return 0;
    return m_wndStatusBar->GetClientSize().y;
}

intptr_t CMainFrame::OnSelection(uintptr_t wParam, intptr_t lParam)
{
    m_bSelPaneEnabled = wParam != 0;
    if (lParam)
    {
        const auto* pDoc = reinterpret_cast<const CRatemarkDoc*>(lParam);
        const std::string text = fw::FormatText(res::LoadString(kStrSelectedRange),
                                                static_cast<int>(pDoc->GetSelStart()),
                                                static_cast<int>(pDoc->GetSelEnd()));
        wxClientDC dc(m_wndStatusBar);
        dc.SetFont(m_wndStatusBar->GetFont());
        SetPaneWidth(kPaneSelection, dc.GetTextExtent(wxString::FromUTF8(text)).x + kPaneMargin +
                                         GetSizeGripWidth());
        SetPaneText(kPaneSelection, text);
    }
    else
    {
        SetPaneText(kPaneSelection, res::LoadString(kStrSelected));
    }
    return 1;
}

intptr_t CMainFrame::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    switch (msg)
    {
    case UM_SELECTION:
        return OnSelection(wParam, lParam);
    case UM_TEST_BEGIN:
        if (m_wndProgress)
            return 1;
        {
            wxRect rc;
            m_wndStatusBar->GetFieldRect(kPaneProgress, rc);
            m_wndProgress = new wxGauge(m_wndStatusBar, kProgressId, 100, rc.GetPosition(),
                                        rc.GetSize(), wxGA_HORIZONTAL | wxGA_SMOOTH);
            m_wndProgress->SetValue(0);
        }
        return 1;
    case UM_TEST_END:
        if (m_wndProgress)
        {
            m_wndProgress->Destroy();
            m_wndProgress = nullptr;
        }
        SetPaneText(kPanePhase, "");
        return 1;
    case UM_PROGRESS:
        // A progress report that arrives after the end of its run is dropped whole.
        if (!m_wndProgress)
            return 1;
        m_wndProgress->SetValue(static_cast<int>(std::min<uintptr_t>(wParam, 100)));
        SetPaneText(kPanePhase, res::LoadString(static_cast<uint32_t>(lParam)));
        return 1;
    case UM_DRIVE_ACCEPTED:
        m_bDriveAccepted = static_cast<int>(lParam);
        return 1;
    default:
        return 0;
    }
}

// ---- Commands

void CMainFrame::OnCommand(wxCommandEvent& event)
{
    if (!m_pDoc)
        return;
    m_pDoc->ExecuteCommand(CommandFromWxId(event.GetId()));
    // A saved file joins the recent file list.
    const std::string& path = m_pDoc->GetPathName();
    if (m_pSettings && !path.empty() && path != m_strLastSavedPath)
    {
        m_strLastSavedPath = path;
        m_pSettings->AddRecentFile(path);
    }
}

void CMainFrame::OnUpdateCommand(wxUpdateUIEvent& event)
{
    if (!ApplyCommandState(m_pDoc, event))
        event.Enable(false);
}

void CMainFrame::OnViewBar(wxCommandEvent& event)
{
    wxWindow* bar = CommandFromWxId(event.GetId()) == ID_VIEW_TOOLBAR
                        ? static_cast<wxWindow*>(m_wndToolBar)
                        : static_cast<wxWindow*>(m_wndStatusBar);
    bar->Show(!bar->IsShown());
    m_wndReBar->Layout();
    Layout();
    SendSizeEvent();
}

void CMainFrame::OnUpdateViewBar(wxUpdateUIEvent& event)
{
    const wxWindow* bar = CommandFromWxId(event.GetId()) == ID_VIEW_TOOLBAR
                              ? static_cast<const wxWindow*>(m_wndToolBar)
                              : static_cast<const wxWindow*>(m_wndStatusBar);
    event.Check(bar && bar->IsShown());
}

void CMainFrame::OnHelpCommand(wxCommandEvent& event)
{
    const int id = event.GetId();
    if (id == WxCommandId(ID_APP_ABOUT))
        wxGetApp().OnAppAbout();
    else if (id == WxCommandId(ID_HELP_ENGLISH))
        ShowManual(kHelpBookEnglish, m_pHelpEnglish);
    else if (id == WxCommandId(ID_HELP_RUSSIAN))
        ShowManual(kHelpBookRussian, m_pHelpRussian);
    else if (id == WxCommandId(ID_WEB_SITE))
    {
        // Until the product has a public page, its address is the installed manual.
        const std::string address = ProductWebPage();
        if (address.empty() || !wxLaunchDefaultBrowser(wxString::FromUTF8(address)))
            ShowManual(kHelpBookEnglish, m_pHelpEnglish);
    }
}

void CMainFrame::ShowManual(const char* book, std::unique_ptr<wxHtmlHelpController>& help)
{
    if (!help)
    {
        // A book is a zip archive of its pages.
        static const bool s_bArchives = [] {
            wxFileSystem::AddHandler(new wxArchiveFSHandler);
            return true;
        }();
        (void)s_bArchives;
        const std::string path = FindProgramFile(book);
        if (path.empty())
        {
            fw::MessageBox(std::string("The manual ") + book +
                               " is missing: it belongs beside the program.",
                           fw::kMbOk | fw::kMbIconHand);
            return;
        }
        auto controller = std::make_unique<wxHtmlHelpController>();
        if (!controller->AddBook(wxFileName(wxString::FromUTF8(path)), false))
        {
            fw::MessageBox(std::string("The manual ") + path + " cannot be read.",
                           fw::kMbOk | fw::kMbIconHand);
            return;
        }
        help = std::move(controller);
    }
    help->DisplayContents();
}

void CMainFrame::OnExit(wxCommandEvent&)
{
    Close();
}

void CMainFrame::OnIdle(wxIdleEvent& event)
{
    event.Skip();
    // The title names the document, as "HardDrive0 - Ratemark".
    if (m_pDoc)
    {
        const std::string title = m_pDoc->GetTitle().empty()
                                      ? std::string(res::LoadString(kStrAppTitle))
                                      : m_pDoc->GetTitle() + " - " + res::LoadString(kStrAppTitle);
        const wxString wxTitle = wxString::FromUTF8(title);
        if (GetTitle() != wxTitle)
            SetTitle(wxTitle);
    }
}

// ---- Placement and closing

void CMainFrame::ActivateWindow()
{
    if (IsIconized())
        Iconize(false);
    Show();
    Raise();
}

void CMainFrame::SavePlacement()
{
    if (!m_pSettings)
        return;
    const bool zoomed = IsMaximized();
    const bool iconic = IsIconized();
    if (!zoomed && !iconic)
    {
        const wxRect rc = GetRect();
        // Where the compositor places windows the position read back means nothing.
        if (!OnWayland())
        {
            m_pSettings->WriteProfileInt(kSection, "MainWndX", rc.x);
            m_pSettings->WriteProfileInt(kSection, "MainWndY", rc.y);
        }
        m_pSettings->WriteProfileInt(kSection, "MainWndW", rc.width);
        m_pSettings->WriteProfileInt(kSection, "MainWndH", rc.height);
    }
    m_pSettings->WriteProfileInt(kSection, "IsZoomed", zoomed ? 1 : 0);
    m_pSettings->WriteProfileInt(kSection, "IsIconic", iconic ? 1 : 0);
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    if (m_pDoc)
    {
        // The results may be saved first; Cancel keeps the program open.
        if (!m_pDoc->SaveModified() && event.CanVeto())
        {
            event.Veto();
            return;
        }
        // A drive being opened for a change is no longer wanted, but its opener uses the
        // back-end, which goes with the program: it is waited for.
        JoinDriveOpener();
        // Stops a running worker (serving its messages meanwhile) and closes the drive.
        m_pDoc->OnCloseDocument();
    }
    SavePlacement();
    if (m_pCpuView)
        m_pCpuView->SaveSize();
    DetachDocument();
    Destroy();
}
