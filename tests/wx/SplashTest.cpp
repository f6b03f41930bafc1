// The splash and About window as the user meets it: shaped, closing by itself at start, staying
// as About until a press that does nothing else; and the first start's "Create icons" dialog.
#include "GuiFixture.h"

#include "platform/UninstallEntry.h"
#include "shell/Installation.h"
#include "shell/wx/DlgCreateIcons.h"
#include "shell/wx/MainFrame.h"
#include "shell/wx/RatemarkApp.h"
#include "shell/wx/SplashAboutWnd.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <chrono>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/html/helpctrl.h>
#include <wx/uiaction.h>

namespace gui {
namespace {

// The X window of a top-level window, through the toolkit's own functions (already loaded).
unsigned long XWindowOf(wxWindow* window)
{
    using GetWindowFn = void* (*)(void*);
    using GetXidFn = unsigned long (*)(void*);
    auto getWindow = reinterpret_cast<GetWindowFn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
    auto getXid = reinterpret_cast<GetXidFn>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
    if (!getWindow || !getXid)
        return 0;
    void* gdkWindow = getWindow(window->GetHandle());
    return gdkWindow ? getXid(gdkWindow) : 0;
}

// The window's bounding shape as the X server holds it.
std::vector<XRectangle> BoundingShape(unsigned long xid)
{
    std::vector<XRectangle> rects;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return rects;
    int count = 0, ordering = 0;
    if (XRectangle* r = XShapeGetRectangles(display, xid, ShapeBounding, &count, &ordering))
    {
        rects.assign(r, r + count);
        XFree(r);
    }
    XCloseDisplay(display);
    return rects;
}

bool Inside(const std::vector<XRectangle>& rects, int x, int y)
{
    for (const XRectangle& r : rects)
        if (x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height)
            return true;
    return false;
}

class SplashTest : public CGuiTest
{
protected:
    bool StartOnImage()
    {
        return Start({"--drive", MakePlainImage(m_dir.File("a.img"), 100ull << 20)});
    }
};

TEST_F(SplashTest, SplashIsShapedByItsBlackPixelsAndClosesAtItsFirstTick)
{
    m_bWaitForSplash = false;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartOnImage());
    CSplashAboutWnd* splash = CSplashAboutWnd::GetWindow();
    ASSERT_NE(splash, nullptr) << "the frame's creation shows the splash";
    EXPECT_EQ(splash->GetSize(), wxSize(508, 332));
    EXPECT_TRUE(splash->IsShaped());
    Pump(100);

    // Holes where the finished picture is pure black, and only there.
    const wxImage picture = splash->GetPicture().ConvertToImage();
    const std::vector<XRectangle> shape = BoundingShape(XWindowOf(splash));
    ASSERT_FALSE(shape.empty());
    int holes = 0, wrong = 0;
    for (int y = 0; y < picture.GetHeight(); y += 3)
        for (int x = 0; x < picture.GetWidth(); x += 3)
        {
            const bool black = PixelAt(picture, x, y) == 0;
            holes += black;
            wrong += black == Inside(shape, x, y);
        }
    EXPECT_GT(holes, 100) << "the picture has black parts";
    EXPECT_EQ(wrong, 0);

    // The title is drawn in yellow into the picture (the window shows the picture as it is).
    int yellow = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 508 / 3; x < 508; ++x)
            yellow += PixelAt(picture, x, y) == Rgb(255, 255, 0);
    EXPECT_GT(yellow, 50);
    CaptureWindow(splash).SaveFile(ArtifactPath("splash.png"), wxBITMAP_TYPE_PNG);

    // It closes itself once the loop has run its timer, no sooner than a second after it came.
    ASSERT_TRUE(PumpUntil([] { return CSplashAboutWnd::GetWindow() == nullptr; }, 5000));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
}

TEST_F(SplashTest, AboutStaysUntilAKeyOrClickThatDoesNothingElse)
{
    ASSERT_TRUE(StartOnImage());
    CMainFrame* frame = Frame();
    ASSERT_EQ(CSplashAboutWnd::GetWindow(), nullptr);
    int keysAtFrame = 0, menusOpened = 0;
    frame->Bind(wxEVT_CHAR_HOOK, [&](wxKeyEvent& e) {
        ++keysAtFrame;
        e.Skip();
    });
    frame->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& e) {
        ++menusOpened;
        e.Skip();
    });
    wxUIActionSimulator sim;

    // A key: About closes, the program sees nothing of the key.
    Command(ID_APP_ABOUT);
    CSplashAboutWnd* about = CSplashAboutWnd::GetWindow();
    ASSERT_NE(about, nullptr);
    Pump(2500);
    ASSERT_EQ(CSplashAboutWnd::GetWindow(), about) << "About stays past its timer's ticks";
    const wxRect frameRect = frame->GetScreenRect();
    EXPECT_TRUE(frameRect.Contains(about->GetScreenRect().GetTopLeft() + wxPoint(254, 166)))
        << "centred on the main window";
    CaptureWindow(frame).SaveFile(ArtifactPath("about.png"), wxBITMAP_TYPE_PNG);
    sim.Char('a');
    ASSERT_TRUE(PumpUntil([] { return CSplashAboutWnd::GetWindow() == nullptr; }, 3000));
    Pump(200);
    EXPECT_EQ(keysAtFrame, 0);
    // The same key now reaches the window.
    frame->Raise();
    frame->SetFocus();
    Pump(200);
    sim.Char('a');
    PumpUntil([&] { return keysAtFrame > 0; }, 3000);
    EXPECT_EQ(keysAtFrame, 1);

    // A click on the menu bar: About closes, no menu opens.
    Command(ID_APP_ABOUT);
    ASSERT_NE(CSplashAboutWnd::GetWindow(), nullptr);
    Pump(300);
    const wxPoint onStartMenu(frame->GetScreenPosition().x + 20,
                              frame->ClientToScreen(wxPoint(0, 0)).y - 10);
    sim.MouseMove(onStartMenu);
    Pump(50);
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([] { return CSplashAboutWnd::GetWindow() == nullptr; }, 3000));
    Pump(300);
    EXPECT_EQ(menusOpened, 0);
}

TEST_F(SplashTest, AboutDuringTheSplashKeepsTheSplashUntilAPress)
{
    m_bWaitForSplash = false;
    ASSERT_TRUE(StartOnImage());
    CSplashAboutWnd* splash = CSplashAboutWnd::GetWindow();
    ASSERT_NE(splash, nullptr);
    Command(ID_APP_ABOUT);
    EXPECT_EQ(CSplashAboutWnd::GetWindow(), splash) << "one window at most";
    Pump(2200);
    EXPECT_EQ(CSplashAboutWnd::GetWindow(), splash);
    wxUIActionSimulator sim;
    sim.Char(WXK_ESCAPE);
    EXPECT_TRUE(PumpUntil([] { return CSplashAboutWnd::GetWindow() == nullptr; }, 3000));
}

TEST_F(SplashTest, HelpContentsOpensEachManualAtItsContents)
{
    ASSERT_TRUE(StartOnImage());
    for (const auto& [command, russian, title] : {std::tuple{ID_HELP_ENGLISH, false, "Ratemark"},
                                                  std::tuple{ID_HELP_RUSSIAN, true, "Ratemark"}})
    {
        Command(static_cast<uint32_t>(command));
        wxHtmlHelpController* help = Frame()->GetHelp(russian);
        ASSERT_NE(help, nullptr) << "command " << command;
        wxFrame* window = help->GetFrame();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(PumpUntil([&] { return window->IsShownOnScreen(); }, 5000));
        Pump(300);
        EXPECT_NE(window->GetTitle().utf8_string().find(title), std::string::npos)
            << window->GetTitle().utf8_string();
        CaptureWindow(window).SaveFile(ArtifactPath(russian ? "manual-ru.png" : "manual-en.png"),
                                       wxBITMAP_TYPE_PNG);
    }
    EXPECT_TRUE(m_boxes.m_texts.empty());
}

// The real dialog of a first start, answered with real clicks.
class FirstStartTest : public SplashTest
{
protected:
    void SetUp() override
    {
        SplashTest::SetUp();
        App().SetCreateIconsOverride(nullptr);
        std::filesystem::create_directories(m_dir.File("config"));
        std::filesystem::create_directories(m_dir.File("desk"));
        std::ofstream(m_dir.File("config/user-dirs.dirs"))
            << "XDG_DESKTOP_DIR=\"" << m_dir.File("desk") << "\"\n";
    }

    // Starts the program; when the dialog comes, records it and clicks the button (after
    // ticking the desktop box when tickDesktop).
    bool StartAnswering(int button, bool tickDesktop)
    {
        m_nDialogs = 0;
        wxTheApp->CallAfter([this, button, tickDesktop] { Answer(button, tickDesktop); });
        return StartOnImage();
    }

    void Answer(int button, bool tickDesktop)
    {
        CDlgCreateIcons* dlg = nullptr;
        PumpUntil(
            [&] {
                for (wxWindow* w : wxTopLevelWindows)
                    if ((dlg = dynamic_cast<CDlgCreateIcons*>(w)) && dlg->IsShownOnScreen())
                        return true;
                dlg = nullptr;
                return false;
            },
            5000);
        if (!dlg)
            return;
        ++m_nDialogs;
        m_strCaption = dlg->GetTitle().utf8_string();
        m_bDesktopOffered = dlg->GetDesktopBox()->GetValue();
        m_bStartMenuOffered = dlg->GetStartMenuBox()->GetValue();
        dlg->Raise();
        Pump(300);
        wxUIActionSimulator sim;
        auto click = [&](wxWindow* w) {
            sim.MouseMove(w->GetScreenRect().GetPosition() + wxPoint(8, w->GetSize().y / 2));
            Pump(50);
            sim.MouseClick();
            Pump(200);
        };
        if (tickDesktop)
            click(dlg->GetDesktopBox());
        if (wxWindow* w = dlg->FindWindow(button))
            click(w);
    }

    std::string Entry() const { return SInstallContext::Current().EntryPath(); }

    int m_nDialogs = 0;
    std::string m_strCaption;
    bool m_bDesktopOffered = true, m_bStartMenuOffered = false;
};

TEST_F(FirstStartTest, CancelRegistersNothingAndTheDialogComesBackOkRegisters)
{
    ASSERT_TRUE(StartAnswering(wxID_CANCEL, false));
    EXPECT_EQ(m_nDialogs, 1);
    EXPECT_EQ(m_strCaption, "Create icons");
    EXPECT_FALSE(m_bDesktopOffered);
    EXPECT_TRUE(m_bStartMenuOffered);
    EXPECT_FALSE(platform::UninstallEntryExists(Entry()));
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("data/applications/Ratemark.desktop")));
    Close();

    ASSERT_TRUE(StartAnswering(wxID_OK, true));
    EXPECT_EQ(m_nDialogs, 1) << "offered again after Cancel";
    ASSERT_TRUE(platform::UninstallEntryExists(Entry()));
    EXPECT_EQ(platform::GetUninstallValue(Entry(), "DisplayName"), "Ratemark");
    EXPECT_EQ(platform::GetUninstallValue(Entry(), "DisplayVersion"), "3, 0, 1, 0");
    EXPECT_EQ(platform::GetUninstallValue(Entry(), "UninstallString"),
              SInstallContext::Current().strExecutable + " /UNINST");
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("data/applications/Ratemark.desktop")));
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("desk/Ratemark.desktop")));
    Close();

    // Registered: no more questions.
    ASSERT_TRUE(StartAnswering(wxID_OK, false));
    EXPECT_EQ(m_nDialogs, 0);
}

} // namespace
} // namespace gui
