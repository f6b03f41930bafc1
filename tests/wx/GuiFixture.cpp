// The window tests' fixture.
#include "GuiFixture.h"

#include "engine/RatemarkDoc.h"
#include "fixtures/DiskImage.h"
#include "framework/IniSettingsStore.h"
#include "framework/wx/CmdUIUpdate.h"
#include "shell/wx/MainFrame.h"
#include "shell/wx/RatemarkApp.h"
#include "shell/wx/SplashAboutWnd.h"
#include "views/wx/RatemarkView.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/evtloop.h>
#include <wx/gdicmn.h>
#include <wx/utils.h>

namespace gui {

int CRecordingBoxes::Show(const std::string& text, unsigned type)
{
    m_texts.push_back(text);
    if ((type & fw::kMbButtonMask) != fw::kMbYesNoCancel)
        return fw::kIdOk;
    if (m_answers.empty())
        return fw::kIdCancel;
    const int answer = m_answers.front();
    m_answers.erase(m_answers.begin());
    return answer;
}

bool CRecordingIconsPrompt::Ask(SCreateIconsChoice& choice)
{
    ++m_nAsked;
    m_offered = choice;
    return m_bAnswerOk;
}

void Pump(int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        for (int n = 0; loop && loop->Pending() && n < 1000; ++n)
            loop->Dispatch();
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        if (std::chrono::steady_clock::now() >= deadline)
            return;
        wxMilliSleep(2);
    }
}

bool PumpUntil(const std::function<bool()>& done, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Pump(5);
    }
    return true;
}

std::string MakePartitionedImage(const std::string& path)
{
    testing_fx::CreateSparseFile(path, 400ull << 20);
    // Cylinders of 255 × 63 = 16065 sectors.
    testing_fx::WriteAt(
        path, 0,
        testing_fx::TableSector({{0x07, 63, 16065 * 13 - 63}, {0x83, 16065 * 18, 16065 * 30}}));
    return path;
}

std::string MakePlainImage(const std::string& path, uint64_t size)
{
    testing_fx::CreateSparseFile(path, size);
    return path;
}

uint32_t PixelAt(const wxImage& image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight())
        return 0xFFFFFFFF;
    return Rgb(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

wxImage CaptureWindow(wxWindow* window)
{
    // The whole screen, then the window's part of it: reading a part of the screen directly
    // is not reliable on every toolkit port.
    const wxSize screenSize = wxGetDisplaySize();
    wxBitmap bitmap(screenSize.x, screenSize.y, 24);
    {
        wxScreenDC screen;
        wxMemoryDC dc(bitmap);
        dc.Blit(0, 0, screenSize.x, screenSize.y, &screen, 0, 0);
    }
    wxRect rc = window->IsTopLevel()
                    ? window->GetRect()
                    : wxRect(window->ClientToScreen(wxPoint(0, 0)), window->GetClientSize());
    rc.Intersect(wxRect(screenSize));
    return bitmap.ConvertToImage().GetSubImage(rc);
}

std::string ArtifactPath(const std::string& name)
{
    std::filesystem::create_directories(RATEMARK_ARTIFACTS);
    return std::string(RATEMARK_ARTIFACTS) + "/" + name;
}

void CGuiTest::SetUp()
{
    char cwd[4096];
    m_strOldCwd = getcwd(cwd, sizeof cwd) ? cwd : ".";
    // The log, the settings, the lock and the socket of this test alone.
    ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
    const std::string run = m_dir.File("run");
    std::filesystem::create_directories(run);
    std::filesystem::permissions(run, std::filesystem::perms::owner_all);
    setenv("XDG_CONFIG_HOME", m_dir.File("config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    // The uninstall entry and the shortcuts of this test alone.
    setenv("XDG_DATA_HOME", m_dir.File("data").c_str(), 1);
    setenv("RATEMARK_INSTALL_ROOT", m_dir.File("root").c_str(), 1);
    App().SetMessageBoxOverride(&m_boxes);
    App().SetCreateIconsOverride(&m_icons);
    CSplashAboutWnd::SetAutoClose(TRUE);
}

void CGuiTest::TearDown()
{
    if (m_bStarted)
        Close();
    App().SetMessageBoxOverride(nullptr);
    App().SetCreateIconsOverride(nullptr);
    if (chdir(m_strOldCwd.c_str()) != 0)
        ADD_FAILURE() << "cannot return to " << m_strOldCwd;
}

CRatemarkApp& CGuiTest::App()
{
    return wxGetApp();
}

CMainFrame* CGuiTest::Frame()
{
    return App().GetMainFrame();
}

CRatemarkDoc* CGuiTest::Doc()
{
    return App().GetDocument();
}

bool CGuiTest::Start(const std::vector<std::string>& args)
{
    std::vector<std::string> all{"ratemark"};
    all.insert(all.end(), args.begin(), args.end());
    m_bStarted = App().StartUp(all);
    if (m_bStarted)
    {
        // Until the window is on the screen and has painted.
        PumpUntil(
            [&] {
                return Frame() && Frame()->IsShownOnScreen() &&
                       Frame()->GetGraphView()->GetPaintCount() > 0;
            },
            5000);
        Pump(100);
        if (m_bWaitForSplash)
            PumpUntil([] { return CSplashAboutWnd::GetWindow() == nullptr; }, 5000);
    }
    return m_bStarted;
}

void CGuiTest::Close()
{
    if (CMainFrame* frame = Frame())
    {
        frame->Close();
        PumpUntil([&] { return Frame() == nullptr; }, 20000);
    }
    App().Shutdown();
    m_bStarted = false;
}

void CGuiTest::PresetSetting(const std::string& key, int value)
{
    fw::CIniSettingsStore store(fw::CIniSettingsStore::DefaultPath("Zelqo", "Ratemark"));
    store.WriteProfileInt("Settings", key, value);
}

int CGuiTest::StoredSetting(const std::string& key, int nDefault)
{
    fw::CIniSettingsStore store(fw::CIniSettingsStore::DefaultPath("Zelqo", "Ratemark"));
    return store.GetProfileInt("Settings", key, nDefault);
}

void CGuiTest::Command(uint32_t id)
{
    wxCommandEvent event(wxEVT_MENU, WxCommandId(id));
    event.SetEventObject(Frame());
    Frame()->GetEventHandler()->ProcessEvent(event);
}

bool CGuiTest::IsCommandEnabled(uint32_t id)
{
    wxUpdateUIEvent event(WxCommandId(id));
    event.SetEventObject(Frame());
    Frame()->GetEventHandler()->ProcessEvent(event);
    return !event.GetSetEnabled() || event.GetEnabled();
}

bool CGuiTest::WaitForRunEnd(int ms)
{
    return PumpUntil([&] { return Doc() && Doc()->IsIdle(); }, ms);
}

} // namespace gui
