// The main frame: the drive selector's rules, the status panes and the messages of a run,
// start-up's end cases, and a second start bringing the first to the front.
#include "GuiFixture.h"

#include "diskaccess/NtHardDrive.h"
#include "engine/RatemarkDoc.h"
#include "framework/Format.h"
#include "platform/Errors.h"
#include "shell/AppCore.h"
#include "shell/wx/MainFrame.h"
#include "shell/wx/RatemarkApp.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>

namespace gui {
namespace {

class FrameTest : public CGuiTest
{
protected:
    // Three image drives at the end of the drive list; returns the index of the first.
    int StartWithThreeDrives()
    {
        const std::string a = MakePlainImage(m_dir.File("a.img"), 100ull << 20);
        const std::string b = MakePlainImage(m_dir.File("b.img"), 200ull << 20);
        const std::string c = MakePlainImage(m_dir.File("c.img"), 8ull << 30);
        EXPECT_TRUE(Start({"--drive", a, "--drive", b, "--drive", c}));
        return App().GetCore()->GetDriveCount() - 3;
    }
    intptr_t SendToFrame(uint32_t msg, uintptr_t w, intptr_t l) { return Frame()->Send(msg, w, l); }
};

TEST_F(FrameTest, DriveSelectorListsEveryDriveAndStartsOnTheNamedOne)
{
    const int first = StartWithThreeDrives();
    wxChoice* combo = Frame()->GetDriveCombo();
    const int count = App().GetCore()->GetDriveCount();
    ASSERT_EQ(static_cast<int>(combo->GetCount()), count);
    for (int i = 0; i < count; ++i)
    {
        EXPECT_EQ(combo->GetString(static_cast<unsigned>(i)), wxString::Format("Hard drive %d", i));
        EXPECT_EQ(reinterpret_cast<intptr_t>(combo->GetClientData(static_cast<unsigned>(i))), i);
    }
    EXPECT_EQ(Frame()->GetCurDrive(), first);
    EXPECT_EQ(combo->GetSelection(), first);
    EXPECT_TRUE(combo->IsEnabled());
    EXPECT_EQ(Doc()->GetTitle(), "HardDrive" + std::to_string(first));
}

TEST_F(FrameTest, ChoosingADriveWithRealKeysRebindsTheDocument)
{
    const int first = StartWithThreeDrives();
    wxChoice* combo = Frame()->GetDriveCombo();
    Frame()->Raise();
    combo->SetFocus();
    Pump(100);
    wxUIActionSimulator sim;
    ASSERT_TRUE(sim.Select(wxString::Format("Hard drive %d", first + 1)));
    ASSERT_TRUE(PumpUntil([&] { return Frame()->GetCurDrive() == first + 1; }, 5000));
    EXPECT_EQ(Doc()->GetTitle(), "HardDrive" + std::to_string(first + 1));
    EXPECT_EQ(Doc()->GetCylinders(), (200u << 20) / (255u * 63 * 512));
}

TEST_F(FrameTest, RefusedDriveChangesPutTheSelectorBack)
{
    const int first = StartWithThreeDrives();
    wxChoice* combo = Frame()->GetDriveCombo();
    auto pick = [&](int index) {
        combo->SetSelection(index);
        wxCommandEvent event(wxEVT_CHOICE, CMainFrame::kDriveSelectorId);
        event.SetEventObject(combo);
        event.SetInt(index);
        combo->GetEventHandler()->ProcessEvent(event);
        Pump(50);
    };

    // The current entry again: no new document.
    const size_t boxes = m_boxes.m_texts.size();
    Doc()->SetModifiedFlag(TRUE);
    m_boxes.m_answers = {fw::kIdCancel};
    pick(first);
    EXPECT_EQ(m_boxes.m_texts.size(), boxes) << "nothing may be asked";
    EXPECT_TRUE(Doc()->IsModified());

    // The user cancels saving the results: the document and the selector stay.
    m_boxes.m_answers = {fw::kIdCancel};
    pick(first + 1);
    EXPECT_EQ(combo->GetSelection(), first);
    EXPECT_EQ(Frame()->GetCurDrive(), first);
    EXPECT_EQ(Doc()->GetTitle(), "HardDrive" + std::to_string(first));
    ASSERT_GT(m_boxes.m_texts.size(), boxes);
    EXPECT_EQ(m_boxes.m_texts.back(), "Save changes to HardDrive" + std::to_string(first) + "?");

    // The drive cannot be opened any more: "Can't open drive", the selector goes back.
    Doc()->SetModifiedFlag(FALSE);
    std::filesystem::remove(m_dir.File("c.img"));
    pick(first + 2);
    EXPECT_EQ(m_boxes.m_texts.back(), "Can't open drive");
    EXPECT_EQ(combo->GetSelection(), first);
    EXPECT_EQ(Frame()->GetCurDrive(), first);
    EXPECT_FALSE(IsCommandEnabled(32771)) << "no run without a bound drive";
}

TEST_F(FrameTest, DriveChangeWaitsForTheAuthoriserWithTheWindowResponsive)
{
    const int first = StartWithThreeDrives();
    wxChoice* combo = Frame()->GetDriveCombo();
    CNtHardDrive* nt = App().GetCore()->GetNtDrive();
    ASSERT_NE(nt, nullptr);
    // The authoriser answers when the test lets it: refuses, or lets the real open through.
    std::atomic<bool> answer{false};
    std::atomic<bool> refuse{true};
    std::atomic<int> asked{0};
    Frame()->SetDriveOpener([&](int32_t drive, std::string* refusal) -> uint32_t {
        ++asked;
        while (!answer)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!refuse)
            return nt->PrepareOpen(drive, refusal);
        *refusal = "Not authorized to perform operation";
        return platform::err::AccessDenied;
    });
    auto pick = [&](int index) {
        combo->SetSelection(index);
        wxCommandEvent event(wxEVT_CHOICE, CMainFrame::kDriveSelectorId);
        event.SetEventObject(combo);
        event.SetInt(index);
        combo->GetEventHandler()->ProcessEvent(event);
    };
    // While the open waits, the event loop goes on: a queued call runs, the selector is
    // locked against a second change.
    auto expectResponsiveWhileWaiting = [&] {
        ASSERT_TRUE(PumpUntil([&] { return asked == 1; }, 5000));
        bool ran = false;
        Frame()->CallAfter([&] { ran = true; });
        EXPECT_TRUE(PumpUntil([&] { return ran; }, 2000)) << "the window must stay responsive";
        EXPECT_TRUE(Frame()->IsOpeningDrive());
        EXPECT_FALSE(combo->IsEnabled());
        Pump(100);
        CaptureWindow(Frame()).SaveFile(ArtifactPath("drive-change-waiting.png"),
                                        wxBITMAP_TYPE_PNG);
        answer = true;
        ASSERT_TRUE(PumpUntil([&] { return !Frame()->IsOpeningDrive(); }, 5000));
    };

    const size_t boxes = m_boxes.m_texts.size();
    pick(first + 1);
    expectResponsiveWhileWaiting();
    ASSERT_EQ(m_boxes.m_texts.size(), boxes + 1);
    EXPECT_EQ(m_boxes.m_texts.back(), "Can't open drive\nNot authorized to perform operation");
    EXPECT_EQ(combo->GetSelection(), first);
    EXPECT_EQ(Frame()->GetCurDrive(), first);
    EXPECT_TRUE(combo->IsEnabled());
    EXPECT_EQ(Doc()->GetTitle(), "HardDrive" + std::to_string(first));
    EXPECT_TRUE(IsCommandEnabled(32771)) << "the current drive stays bound";

    // Authorised: the document takes the drive opened ahead.
    answer = false;
    refuse = false;
    asked = 0;
    pick(first + 1);
    expectResponsiveWhileWaiting();
    EXPECT_EQ(m_boxes.m_texts.size(), boxes + 1) << "nothing more to say";
    EXPECT_EQ(Frame()->GetCurDrive(), first + 1);
    EXPECT_EQ(combo->GetSelection(), first + 1);
    EXPECT_EQ(Doc()->GetTitle(), "HardDrive" + std::to_string(first + 1));
}

TEST_F(FrameTest, StatusPanesFollowTheRunMessages)
{
    // 1044 cylinders: room for a selection from 120 to 880.
    ASSERT_TRUE(Start({"--drive", MakePlainImage(m_dir.File("c.img"), 8ull << 30)}));
    CMainFrame* frame = Frame();
    wxStatusBar* bar = frame->GetStatusBar();
    ASSERT_EQ(bar->GetFieldsCount(), 4);
    wxClientDC dc(bar);
    dc.SetFont(bar->GetFont());
    auto widthOf = [&](const char* text) {
        return dc.GetTextExtent(text).x + CMainFrame::kPaneMargin;
    };
    EXPECT_EQ(bar->GetStatusWidth(0), -1);
    EXPECT_EQ(bar->GetStatusWidth(1), widthOf("xxxxxxxxxxxxxxxxxxxxxxxxx"));
    EXPECT_EQ(bar->GetStatusWidth(2), widthOf("xxxxxxxxxxxxxxxxxxxx"));
    EXPECT_EQ(frame->GetPaneText(0), "Ratemark");
    EXPECT_EQ(frame->GetPaneText(1), "");
    EXPECT_EQ(frame->GetPaneText(2), "");

    // A progress message without a bar is dropped whole.
    SendToFrame(UM_PROGRESS, 40, 10052);
    EXPECT_EQ(frame->GetProgressBar(), nullptr);
    EXPECT_EQ(frame->GetPaneText(1), "");

    EXPECT_EQ(SendToFrame(UM_TEST_BEGIN, 0, 0), 1);
    wxGauge* gauge = frame->GetProgressBar();
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->GetRange(), 100);
    SendToFrame(UM_TEST_BEGIN, 0, 0);
    EXPECT_EQ(frame->GetProgressBar(), gauge) << "a second begin makes no second bar";
    wxRect pane;
    bar->GetFieldRect(CMainFrame::kPaneProgress, pane);
    EXPECT_EQ(gauge->GetRect(), pane);

    SendToFrame(UM_PROGRESS, 40, 10050);
    EXPECT_EQ(gauge->GetValue(), 40);
    EXPECT_EQ(frame->GetPaneText(1), "Random access test");
    SendToFrame(UM_PROGRESS, 55, 4711); // no such string: an empty phase, the bar still moves
    EXPECT_EQ(gauge->GetValue(), 55);
    EXPECT_EQ(frame->GetPaneText(1), "");

    SendToFrame(UM_TEST_END, 0, 0);
    EXPECT_EQ(frame->GetProgressBar(), nullptr);
    SendToFrame(UM_PROGRESS, 70, 10052); // late, after the end: nothing
    EXPECT_EQ(frame->GetProgressBar(), nullptr);
    EXPECT_EQ(frame->GetPaneText(1), "");

    // The selection pane: blank without a selection, the range at exactly its text's width.
    SendToFrame(UM_SELECTION, 0, 0);
    EXPECT_FALSE(frame->IsSelectionPaneEnabled());
    EXPECT_EQ(frame->GetPaneText(3), "");
    Doc()->SelectCylinders(120, 880);
    EXPECT_TRUE(frame->IsSelectionPaneEnabled());
    EXPECT_EQ(frame->GetPaneText(3), "SELECTED from 120 to 880");
    EXPECT_EQ(bar->GetStatusWidth(3),
              widthOf("SELECTED from 120 to 880") + frame->GetSizeGripWidth());
    Doc()->ClearSelection();
    EXPECT_EQ(frame->GetPaneText(3), "");
}

TEST_F(FrameTest, AResultFileArgumentEndsStartUp)
{
    std::ofstream(m_dir.File("old.dat")) << "0 100\n";
    EXPECT_FALSE(Start(
        {"--drive", MakePlainImage(m_dir.File("a.img"), 100ull << 20), m_dir.File("old.dat")}));
    EXPECT_EQ(App().GetExitCode(), 1);
    EXPECT_EQ(Frame(), nullptr);
    Pump(50);
}

TEST_F(FrameTest, SecondStartBringsTheFirstToTheFrontAndExits)
{
    ASSERT_TRUE(Start({"--drive", MakePlainImage(m_dir.File("a.img"), 100ull << 20)}));
    Frame()->Iconize(true);
    ASSERT_TRUE(PumpUntil([&] { return Frame()->IsIconized(); }, 5000));

    // The second process shares this one's runtime folder (the environment).
    FILE* second = popen((std::string(RATEMARK_BINARY) + " 2>&1; echo exit=$?").c_str(), "r");
    ASSERT_NE(second, nullptr);
    const bool restored = PumpUntil([&] { return !Frame()->IsIconized(); }, 10000);
    std::string output;
    char line[256];
    while (fgets(line, sizeof line, second))
        output += line;
    pclose(second);
    EXPECT_TRUE(restored);
    EXPECT_NE(output.find("exit=0"), std::string::npos) << output;
    EXPECT_TRUE(Frame()->IsShown());
}

} // namespace
} // namespace gui
