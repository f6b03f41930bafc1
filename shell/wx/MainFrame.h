// The main window: menus, toolbar, drive selector, status bar with its progress bar, and the
// split client area with the CPU monitor, the data list and the speed graph.
#pragma once

#include "engine/RatemarkApp.h"
#include "framework/Wnd.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <wx/frame.h>

namespace fw {
class CIniSettingsStore;
class IDocumentPrompts;
} // namespace fw
class CAppCore;
class CCpuFormView;
class CDataView;
namespace fw {}
class CRatemarkDoc;
class CRatemarkView;
class wxChoice;
class wxHtmlHelpController;
class wxGauge;
class wxPanel;
class wxSplitterWindow;
class wxStatusBar;
class wxToolBar;

// Window ids of the frame's commands that the framework handles.
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_APP_ABOUT = 57664;
// The Help menu's own commands.
inline constexpr int ID_WEB_SITE = 32775;
inline constexpr int ID_HELP_ENGLISH = 32776;
inline constexpr int ID_HELP_RUSSIAN = 32777;

class CMainFrame : public wxFrame, public fw::CWnd, public IRatemarkFrame
{
public:
    static constexpr int kDriveSelectorId = 1000;
    static constexpr int kProgressId = 103;
    // The status bar's panes.
    enum EPane
    {
        kPanePrompt = 0,
        kPanePhase = 1,    // string 10048's width
        kPaneProgress = 2, // string 10049's width; hosts the progress bar
        kPaneSelection = 3 // string 10041's width
    };
    // What a pane adds to the width of its text: the status bar's margins on both sides.
    static constexpr int kPaneMargin = 8;

    // app supplies the drive list; pSettings the window placement (may be null).
    CMainFrame(CAppCore& app, fw::CMessageQueue& queue, fw::CIniSettingsStore* pSettings);
    ~CMainFrame() override;

    // Builds the bars, fills the drive selector, restores the placement and creates the
    // views. False when a part could not be made.
    bool CreateParts();
    // Attaches the views to pDoc and makes this frame the document's main window.
    void AttachDocument(CRatemarkDoc* pDoc);
    CRatemarkDoc* GetDocument() const { return m_pDoc; }
    // Lets the document go before the window is destroyed: neither refers to the other after.
    void DetachDocument();

    // The drive selector.
    int GetSelectedDrive() override;
    void EnableDriveSelector(BOOL bEnable) override;
    void SetSelectedDrive(int index);
    // Makes index the drive whose document is open (start-up, when the user named a drive).
    void SetCurDrive(int index) { m_nCurDrive = index; }

    // Opens a drive (the back-end's number) ahead of binding it: 0 or an error code, with the
    // authoriser's reason in *refusal when it said no. It may wait for the user to answer the
    // system's password dialog, so the frame calls it on a thread of its own.
    using DriveOpener = std::function<uint32_t(int32_t drive, std::string* refusal)>;
    // Replaces the back-end's opener (tests stand in for the authoriser); empty binds at once.
    void SetDriveOpener(DriveOpener opener) { m_driveOpener = std::move(opener); }
    // Whether a drive change waits for the drive to be opened.
    bool IsOpeningDrive() const { return m_nOpeningDrive >= 0; }

    // Brings the window to the front, restoring it if it is minimised.
    void ActivateWindow();

    // Writes the placement: position and size only in the normal state, the two state flags
    // always.
    void SavePlacement();

    // For the program's own tests and the activation channel.
    CRatemarkView* GetGraphView() const { return m_pGraphView; }
    CDataView* GetDataView() const { return m_pDataView; }
    CCpuFormView* GetCpuView() const { return m_pCpuView; }
    wxHtmlHelpController* GetHelp(bool bRussian) const
    {
        return (bRussian ? m_pHelpRussian : m_pHelpEnglish).get();
    }
    wxGauge* GetProgressBar() const { return m_wndProgress; }
    wxChoice* GetDriveCombo() const { return m_pDriveCombo; }
    wxToolBar* GetToolBarCtrl() const { return m_wndToolBar; }
    wxSplitterWindow* GetOuterSplitter() const { return m_wndSplitter; }
    wxSplitterWindow* GetInnerSplitter() const { return m_wndSplitter2; }
    int GetCurDrive() const { return m_nCurDrive; }
    // The text a pane shows (a disabled pane shows none).
    std::string GetPaneText(int pane) const;
    bool IsSelectionPaneEnabled() const { return m_bSelPaneEnabled; }
    // What the size grip takes from the last pane's width (0 when none is shown).
    int GetSizeGripWidth() const;
    // Replaces the save dialogs (tests answer them without a window).
    void SetPrompts(fw::IDocumentPrompts* pPrompts);

protected:
    intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

private:
    void CreateMenus();
    bool CreateToolBar2();
    bool CreateStatusBar2();
    void FillDriveSelector();
    void RestorePlacement();
    bool CreateClient();
    void SetPaneText(int pane, const std::string& text);
    void SetPaneWidth(int pane, int width);
    void PlaceProgressBar();

    intptr_t OnSelection(uintptr_t wParam, intptr_t lParam);

    void OnCommand(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);
    void OnViewBar(wxCommandEvent& event);
    void OnUpdateViewBar(wxUpdateUIEvent& event);
    void OnExit(wxCommandEvent& event);
    void OnHelpCommand(wxCommandEvent& event);
    // Opens the manual book (a file name beside the program) at its contents.
    void ShowManual(const char* book, std::unique_ptr<wxHtmlHelpController>& help);
    void OnSelChangeDrive(wxCommandEvent& event);
    // Binds the document to the drive at selection, or puts the selector back.
    void ChangeDrive(int selection);
    // On the event loop, when the opener has answered for the drive at selection.
    void OnDriveOpened(int selection, uint32_t error, const std::string& refusal);
    void JoinDriveOpener();
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnStatusBarSize(wxSizeEvent& event);

    CAppCore& m_app;
    fw::CIniSettingsStore* m_pSettings;
    CRatemarkDoc* m_pDoc = nullptr;
    std::unique_ptr<fw::IDocumentPrompts> m_pPrompts;
    std::unique_ptr<wxHtmlHelpController> m_pHelpEnglish;
    std::unique_ptr<wxHtmlHelpController> m_pHelpRussian;

    wxSplitterWindow* m_wndSplitter = nullptr;
    wxSplitterWindow* m_wndSplitter2 = nullptr;
    wxStatusBar* m_wndStatusBar = nullptr;
    wxToolBar* m_wndToolBar = nullptr;
    wxPanel* m_wndReBar = nullptr;
    wxPanel* m_wndDlgBar = nullptr;
    wxChoice* m_pDriveCombo = nullptr;
    int m_nCurDrive = -1;
    int m_bDriveAccepted = 0;
    DriveOpener m_driveOpener;
    std::thread m_openerThread;
    int m_nOpeningDrive = -1; // the selection waiting for its open, -1 when none
    wxGauge* m_wndProgress = nullptr;

    CRatemarkView* m_pGraphView = nullptr;
    CDataView* m_pDataView = nullptr;
    CCpuFormView* m_pCpuView = nullptr;

    std::string m_paneTexts[4];
    bool m_bSelPaneEnabled = false;
    std::string m_strLastSavedPath;
};
