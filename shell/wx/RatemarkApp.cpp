// The desktop program's start-up and shutdown.
#include "shell/wx/RatemarkApp.h"

#include "diskaccess/NtHardDrive.h"
#include "engine/RatemarkDoc.h"
#include "framework/IniSettingsStore.h"
#include "framework/MessageBox.h"
#include "framework/MessageQueue.h"
#include "framework/Trace.h"
#include "framework/wx/MessageBoxService.h"
#include "framework/wx/QueuePump.h"
#include "platform/Errors.h"
#include "platform/System.h"
#include "resources/StringTable.h"
#include "shell/AppCore.h"
#include "shell/Installation.h"
#include "shell/Log.h"
#include "shell/wx/DlgCreateIcons.h"
#include "shell/wx/MainFrame.h"
#include "shell/wx/ScreenSaver.h"
#include "shell/wx/SplashAboutWnd.h"

#include <cstdio>
#include <wx/snglinst.h>
#include <wx/utils.h>

namespace {

constexpr uint32_t kStrCantOpenDrive = 10000;
constexpr uint32_t kStrNoDrives = 10006;
constexpr uint32_t kStrStillRunning = 10044;
const char kSection[] = "Settings";

} // namespace

CRatemarkApp::CRatemarkApp() : m_activationTimer(this)
{
    Bind(wxEVT_TIMER, &CRatemarkApp::OnActivationPoll, this, m_activationTimer.GetId());
}

CRatemarkApp::~CRatemarkApp() = default;

bool CRatemarkApp::OnInit()
{
    SetAppName("Ratemark");
    SetVendorName("Zelqo");
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i].utf8_string());
    return StartUp(args);
}

int CRatemarkApp::OnExit()
{
    Shutdown();
    return wxApp::OnExit();
}

int CRatemarkApp::FilterEvent(wxEvent& event)
{
    if (CSplashAboutWnd::FilterMessage(event))
        return Event_Processed;
    return wxApp::FilterEvent(event);
}

void CRatemarkApp::OnAppAbout()
{
    CSplashAboutWnd::SetAutoClose(FALSE);
    CSplashAboutWnd::ShowOver(GetTopWindow());
}

std::string CRatemarkApp::RuntimeDir()
{
    std::string dir = platform::UserRuntimeDir();
    if (dir.empty())
        dir = wxGetHomeDir().utf8_string();
    return dir;
}

std::string CRatemarkApp::SocketPath()
{
    return RuntimeDir() + "/" + kWindowClass;
}

bool CRatemarkApp::IsScreenSaverInhibited() const
{
    return m_pScreenSaver && m_pScreenSaver->IsInhibited();
}

bool CRatemarkApp::End(int code)
{
    m_nExitCode = code;
    s_nLastExitCode = code;
    Shutdown();
    return false;
}

bool CRatemarkApp::CreateLock()
{
    m_hMutex = std::make_unique<wxSingleInstanceChecker>();
    if (!m_hMutex->Create(kMutexName, wxString::FromUTF8(RuntimeDir())))
        return false;
    return m_hMutex->IsAnotherRunning();
}

bool CRatemarkApp::StartUp(const std::vector<std::string>& args)
{
    m_bStarted = true;
    m_nExitCode = 0;
    m_bOtherInstance = FALSE;
    // What the message boxes and the worker's messages need, before any box can be shown.
    // The queue lives as long as the application object: a window that the toolkit deletes
    // later than shutdown still leaves it.
    if (!m_pQueue)
    {
        m_pQueue = std::make_unique<fw::CMessageQueue>();
        m_pPump = std::make_unique<CWxQueuePump>(*m_pQueue);
    }
    m_pBoxes = std::make_unique<CWxMessageBoxService>();
    fw::SetMessageBoxQueue(m_pQueue.get());
    fw::SetMessageBoxService(m_pBoxOverride ? m_pBoxOverride : m_pBoxes.get());
    m_pCore = std::make_unique<CAppCore>();

    // 1, 2: the log, and the lock a second start finds.
    WriteLog("Application is started!");
    // The core's unexpected failures become log lines too.
    fw::SetTraceSink(&m_traceSink);
    if (CreateLock())
        m_bOtherInstance = TRUE;

    // 4, 5: the back-end for this platform.
    const uint32_t platformId = platform::PlatformId();
    if (platformId == platform::kPlatformWin9x)
        WriteLog("OS is Win95.");
    else if (platformId == platform::kPlatformNt)
        WriteLog("OS is WinNT.");
    if (!m_pCore->CreateBackEndFor(platformId) && platformId != platform::kPlatformWin9x)
        return End(1);

    // 6: the command line.
    std::vector<const char*> argv2;
    for (const std::string& a : args)
        argv2.push_back(a.c_str());
    m_cmdInfo = CRtmCommandLineInfo();
    m_cmdInfo.Parse(static_cast<int>(argv2.size()), argv2.data());
    if (!m_cmdInfo.m_strError.empty())
    {
        std::fprintf(stderr, "ratemark: %s\n\n%s", m_cmdInfo.m_strError.c_str(),
                     RatemarkUsage().c_str());
        return End(2);
    }

    // 7: the uninstall switch.
    if (m_cmdInfo.m_bUninstall)
    {
        WriteLog("Start uninstall.");
        if (m_bOtherInstance)
        {
            fw::MessageBox(kStrStillRunning, fw::kMbOk | fw::kMbIconHand);
            Activate();
        }
        else
            Uninstall(SInstallContext::Current(), m_pCore.get());
        return End(0);
    }

    // 9: hand over to a running instance.
    if (m_bOtherInstance)
    {
        Activate();
        if (m_bOtherInstance)
            return End(0);
    }

    // 10: no back-end (the BIOS library could not be loaded; the user has been told).
    if (!m_pCore->GetHardDrive())
        return End(1);

    // 11: the splash shows when the frame is created.
    CSplashAboutWnd::AllowShowing(TRUE);

    // 12 to 14: the drives, then those named on the command line.
    WriteLog("Try to GetDrives().");
    const int found = m_pCore->DiscoverDrives();
    if (found == 0 && m_cmdInfo.m_drives.empty())
    {
        // Where the user may not see the disks, the advice says how they can.
        std::string text = res::LoadString(kStrNoDrives);
        if (const std::string advice = m_pCore->NoDriveAdvice(); !advice.empty())
            text += "\n\n" + advice;
        fw::MessageBox(text, fw::kMbOk | fw::kMbIconHand);
        return End(1);
    }
    WriteLog("%d HDDs were found.", found);
    int firstNamed = -1;
    for (const std::string& path : m_cmdInfo.m_drives)
    {
        CNtHardDrive* nt = m_pCore->GetNtDrive();
        GEOMETRY geometry;
        const uint32_t error = nt ? nt->AddPathDrive(path, &geometry) : 87;
        if (error != 0)
        {
            fw::MessageBox(std::string(res::LoadString(kStrCantOpenDrive)) + " " + path + "\n" +
                               platform::ErrorText(error),
                           fw::kMbOk | fw::kMbIconHand);
            continue;
        }
        const int index = m_pCore->AddDrive(geometry);
        if (firstNamed < 0)
            firstNamed = index;
    }

    // 15: the settings.
    m_pSettings = std::make_unique<fw::CIniSettingsStore>(
        fw::CIniSettingsStore::DefaultPath("Zelqo", res::LoadString(57344)));
    m_pCore->SetSettings(m_pSettings.get());

    // 16: the first start of a portable program offers shortcuts and registers for removal.
    {
        CWxCreateIconsPrompt dialog;
        RegisterForUninstall(SInstallContext::Current(),
                             m_pIconsOverride ? *m_pIconsOverride : dialog);
    }

    // 17, 18: the document, the frame and its views.
    m_pDoc = std::make_unique<CRatemarkDoc>(m_pCore.get(), *m_pQueue);
    m_pFrame = new CMainFrame(*m_pCore, *m_pQueue, m_pSettings.get());
    m_pFrame->Bind(wxEVT_DESTROY, &CRatemarkApp::OnFrameDestroyed, this);
    if (!m_pFrame->CreateParts())
    {
        m_pFrame->Destroy();
        m_pFrame = nullptr;
        return End(1);
    }
    SetTopWindow(m_pFrame);
    // The drive the user named is the one to show.
    if (firstNamed >= 0)
    {
        m_pFrame->SetSelectedDrive(firstNamed);
        m_pFrame->SetCurDrive(firstNamed);
    }
    m_pFrame->AttachDocument(m_pDoc.get());
    if (!m_cmdInfo.m_strFileName.empty())
    {
        // Result files are never read back: the document refuses every one.
        if (!m_pDoc->OnOpenDocument(m_cmdInfo.m_strFileName))
        {
            m_pFrame->SavePlacement();
            m_pFrame->DetachDocument();
            m_pFrame->Destroy();
            m_pFrame = nullptr;
            return End(1);
        }
    }
    else
    {
        // A drive that cannot be bound leaves the window open with Start disabled, so that
        // another drive can be chosen.
        m_pDoc->OnNewDocument();
    }

    // 19: the window in its remembered state.
    const bool zoomed = m_pSettings->GetProfileInt(kSection, "IsZoomed", 0) != 0;
    const bool iconic = m_pSettings->GetProfileInt(kSection, "IsIconic", 0) != 0;
    if (iconic)
        m_pFrame->Iconize(true);
    else if (zoomed)
        m_pFrame->Maximize(true);
    m_pFrame->Show(true);
    m_pFrame->Update();

    // The channel through which a second start brings this window to the front.
    if (m_server.Listen(SocketPath()))
        m_activationTimer.Start(kActivationPollMs);

    // 20: no screen saver while the program runs.
    m_pScreenSaver = std::make_unique<CScreenSaverInhibitor>();
    m_pScreenSaver->Inhibit();
    return true;
}

void CRatemarkApp::Activate()
{
    const std::string path = SocketPath();
    const bool found = platform::SendLocalMessage(path, kActivateMessage);
    if (!m_bOtherInstance || found)
        return;
    // The other instance holds the lock but serves no window (yet, or any more).
    for (int attempt = 0; attempt < kActivationAttempts; ++attempt)
    {
        if (platform::SendLocalMessage(path, kActivateMessage))
            return;
        m_hMutex.reset();
        if (!CreateLock())
        {
            m_bOtherInstance = FALSE;
            return;
        }
        wxMilliSleep(kActivationWaitMs);
    }
}

void CRatemarkApp::OnActivationPoll(wxTimerEvent&)
{
    while (std::optional<std::string> message = m_server.Accept())
        if (*message == kActivateMessage && m_pFrame)
            m_pFrame->ActivateWindow();
}

void CRatemarkApp::OnFrameDestroyed(wxWindowDestroyEvent& event)
{
    event.Skip();
    if (event.GetEventObject() == m_pFrame)
    {
        m_activationTimer.Stop();
        m_server.Close();
        m_pFrame = nullptr;
    }
}

void CRatemarkApp::Shutdown()
{
    if (!m_bStarted)
        return;
    m_bStarted = false;
    m_activationTimer.Stop();
    m_server.Close();
    // The document first: it writes its options and may still hold the drive.
    m_pDoc.reset();
    // 1: the back-end.
    m_pCore.reset();
    // 2: the screen saver may run again.
    m_pScreenSaver.reset();
    // 3: the lock.
    m_hMutex.reset();
    fw::SetMessageBoxQueue(nullptr);
    fw::SetMessageBoxService(nullptr);
    m_pBoxes.reset();
    m_pSettings.reset();
    fw::SetTraceSink(nullptr);
    // 4.
    WriteLog("Application is exited!");
}
