// The desktop program's application object: start-up, the single instance, shutdown.
#pragma once

#include "platform/LocalSocket.h"
#include "platform/Types.h"
#include "shell/CommandLine.h"
#include "shell/Log.h"

#include <memory>
#include <string>
#include <vector>
#include <wx/app.h>
#include <wx/timer.h>

namespace fw {
class CIniSettingsStore;
class CMessageQueue;
class IMessageBoxService;
} // namespace fw
class CAppCore;
namespace fw {}
class CMainFrame;
class CRatemarkDoc;
class CScreenSaverInhibitor;
class CWxMessageBoxService;
class CWxQueuePump;
class ICreateIconsPrompt;
class wxSingleInstanceChecker;

class CRatemarkApp : public wxApp
{
public:
    // The lock that tells a second start that the program runs, and the name of the socket
    // through which it asks the running one to come to the front.
    static constexpr const char* kMutexName = "RatemarkMutex";
    static constexpr const char* kWindowClass = "RatemarkClass";
    static constexpr const char* kActivateMessage = "activate";
    // The activation procedure's attempts and the wait between them.
    static constexpr int kActivationAttempts = 10;
    static constexpr int kActivationWaitMs = 1000;
    // How often the running program looks for a second start's request.
    static constexpr int kActivationPollMs = 200;

    CRatemarkApp();
    ~CRatemarkApp() override;

    // wxApp: StartUp with the program's arguments; Shutdown.
    bool OnInit() override;
    int OnExit() override;
    // Every event of the program passes the splash and About window's filter first.
    int FilterEvent(wxEvent& event) override;

    // Help > About: the picture window over the main window, staying until a press.
    void OnAppAbout();

    // Every start-up step in order. False when start-up ended early (Shutdown has run then,
    // and GetExitCode says why). Can run again after Shutdown.
    bool StartUp(const std::vector<std::string>& args);
    // Deletes the document and the back-end, lets the screen saver run again, releases the
    // lock and writes the last log line. Runs once per StartUp.
    void Shutdown();

    // 0 for a normal end or a hand-over to the running instance, 1 for a failed start-up,
    // 2 for a usage error.
    int GetExitCode() const { return m_nExitCode; }
    // The exit code of the last start-up that ended early (the application object is gone
    // by the time main returns); 1 when the toolkit could not start.
    static int LastExitCode() { return s_nLastExitCode; }

    CMainFrame* GetMainFrame() const { return m_pFrame; }
    CRatemarkDoc* GetDocument() const { return m_pDoc.get(); }
    CAppCore* GetCore() const { return m_pCore.get(); }
    fw::CMessageQueue* GetQueue() const { return m_pQueue.get(); }
    fw::CIniSettingsStore* GetSettings() const { return m_pSettings.get(); }
    BOOL IsOtherInstance() const { return m_bOtherInstance; }
    bool IsScreenSaverInhibited() const;

    // The message boxes go to pService instead of dialogs from the next StartUp on (tests).
    void SetMessageBoxOverride(fw::IMessageBoxService* pService) { m_pBoxOverride = pService; }
    // The first start's "Create icons" question goes to pPrompt instead of the dialog (tests).
    void SetCreateIconsOverride(ICreateIconsPrompt* pPrompt) { m_pIconsOverride = pPrompt; }

    // Where the lock and the socket live.
    static std::string RuntimeDir();
    static std::string SocketPath();

private:
    // Ends start-up early with exit code code.
    bool End(int code);
    // The activation procedure: asks the running instance to come to the front; clears
    // m_bOtherInstance when that instance has gone meanwhile.
    void Activate();
    bool CreateLock();
    void OnActivationPoll(wxTimerEvent& event);
    void OnFrameDestroyed(wxWindowDestroyEvent& event);

    BOOL m_bOtherInstance = FALSE;
    std::unique_ptr<wxSingleInstanceChecker> m_hMutex;
    std::unique_ptr<CAppCore> m_pCore;
    std::unique_ptr<fw::CMessageQueue> m_pQueue;
    std::unique_ptr<CWxQueuePump> m_pPump;
    std::unique_ptr<CWxMessageBoxService> m_pBoxes;
    fw::IMessageBoxService* m_pBoxOverride = nullptr;
    ICreateIconsPrompt* m_pIconsOverride = nullptr;
    std::unique_ptr<fw::CIniSettingsStore> m_pSettings;
    std::unique_ptr<CRatemarkDoc> m_pDoc;
    std::unique_ptr<CScreenSaverInhibitor> m_pScreenSaver;
    CMainFrame* m_pFrame = nullptr;
    platform::CLocalServer m_server;
    wxTimer m_activationTimer;
    CRtmCommandLineInfo m_cmdInfo;
    CLogTraceSink m_traceSink;
    bool m_bStarted = false;
    int m_nExitCode = 0;
    static inline int s_nLastExitCode = 1;
};

wxDECLARE_APP(CRatemarkApp);
