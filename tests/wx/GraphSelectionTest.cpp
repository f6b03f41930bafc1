// Selecting a cylinder range on the speed graph with the real mouse: the drag outline, the
// settled marching outline, the status bar, a run over the range, and presses during a run.
#include "GuiFixture.h"

#include "engine/RatemarkDoc.h"
#include "framework/CmdUI.h"
#include "shell/wx/MainFrame.h"
#include "views/GraphLayout.h"
#include "views/wx/RatemarkView.h"

#include <wx/toolbar.h>
#include <wx/uiaction.h>

namespace gui {
namespace {

constexpr uint32_t kShade = Rgb(2, 182, 182);
constexpr uint32_t kYellow = Rgb(255, 255, 0);
constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kWhite = Rgb(255, 255, 255);

int CountColour(const wxImage& image, int left, int top, int right, int bottom, uint32_t clr)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += PixelAt(image, x, y) == clr;
    return n;
}

// Pixels of column x from row top to row bottom (both included) that differ between a and b.
int ColumnDiffers(const wxImage& a, const wxImage& b, int x, int top, int bottom)
{
    int n = 0;
    for (int y = top; y <= bottom; ++y)
        n += PixelAt(a, x, y) != PixelAt(b, x, y);
    return n;
}

// The colours of row y from left to right, both included.
std::vector<uint32_t> Row(const wxImage& image, int y, int left, int right)
{
    std::vector<uint32_t> row;
    for (int x = left; x <= right; ++x)
        row.push_back(PixelAt(image, x, y));
    return row;
}

bool IsDashOrGap(uint32_t clr)
{
    return clr == kBlack || clr == kWhite;
}

class GraphSelectionTest : public CGuiTest
{
protected:
    wxPoint Screen(int x, int y) { return m_pGraph->ClientToScreen(wxPoint(x, y)); }
    void MoveTo(int x, int y)
    {
        m_sim.MouseMove(Screen(x, y));
        Pump(80);
    }

    wxUIActionSimulator m_sim;
    CRatemarkView* m_pGraph = nullptr;
};

TEST_F(GraphSelectionTest, DragSelectsARangeThatARunMeasuresInYellow)
{
    PresetSetting("FastTest", 0);
    // 400 cylinders: a run over most of them lasts long enough to press during it.
    const uint64_t cylinder = 255ull * 63 * 512;
    ASSERT_TRUE(Start({"--drive", MakePlainImage(m_dir.File("disk.img"), 400 * cylinder)}));
    CMainFrame* frame = Frame();
    m_pGraph = frame->GetGraphView();
    frame->Raise();
    Pump(300);
    const SGraphLayout layout = m_pGraph->GetLayout();
    ASSERT_TRUE(layout.m_bPlot);
    const SRect rcData = m_pGraph->m_rcData;
    const SRect rcAxes = m_pGraph->m_rcAxes;
    const int w = rcData.right - rcData.left;
    ASSERT_GT(w, 50);
    const int xa = rcData.left + w / 10, xm = rcData.left + w / 2, xb = rcData.left + w * 9 / 10;
    const uint32_t selStart = 400u * static_cast<uint32_t>(w / 10) / static_cast<uint32_t>(w);
    const uint32_t selEnd = 400u * static_cast<uint32_t>(w * 9 / 10) / static_cast<uint32_t>(w);
    const std::string paneText =
        "SELECTED from " + std::to_string(selStart) + " to " + std::to_string(selEnd);
    const int y = (rcData.top + rcData.bottom) / 2;
    const wxImage clean = m_pGraph->GetComposedPicture().ConvertToImage();

    // Over the plot area while idle the crosshair is chosen; over the margin the arrow.
    MoveTo(5, y);
    MoveTo(6, y);
    EXPECT_FALSE(m_pGraph->IsCrossCursorChosen());
    MoveTo(xa, y);
    MoveTo(xa, y + 1);
    EXPECT_TRUE(m_pGraph->IsCrossCursorChosen());

    // Press and drag: an outline drawn by exclusive-or follows the mouse.
    m_sim.MouseDown();
    Pump(80);
    ASSERT_NE(m_pGraph->GetSelection(), nullptr);
    EXPECT_FALSE(m_pGraph->GetSelection()->IsSettled());
    EXPECT_TRUE(m_pGraph->HasCapture());
    MoveTo(xm, y);
    EXPECT_EQ(m_pGraph->GetSelection()->GetRect(),
              (SRect{xa, rcAxes.top + 1, xm, rcAxes.bottom - 1}));
    wxImage screen = CaptureWindow(m_pGraph);
    EXPECT_GT(ColumnDiffers(screen, clean, xm, rcAxes.top + 1, rcAxes.bottom - 1), 10)
        << "the drag outline's right edge is not on the screen";
    EXPECT_EQ(ColumnDiffers(screen, clean, xm, rcAxes.top - 3, rcAxes.top), 0);
    MoveTo(xb, y);
    screen = CaptureWindow(m_pGraph);
    EXPECT_EQ(ColumnDiffers(screen, clean, xm, rcAxes.top + 2, rcAxes.bottom - 2), 0)
        << "the drag outline left a trace where it was";
    EXPECT_GT(ColumnDiffers(screen, clean, xb, rcAxes.top + 1, rcAxes.bottom - 1), 10);

    // Release: the range is selected, named in the status bar and shaded.
    m_sim.MouseUp();
    ASSERT_TRUE(PumpUntil([&] { return Doc()->HasSelection(); }, 3000));
    Pump(200);
    EXPECT_FALSE(m_pGraph->HasCapture());
    EXPECT_EQ(Doc()->GetSelStart(), selStart);
    EXPECT_EQ(Doc()->GetSelEnd(), selEnd);
    EXPECT_EQ(frame->GetPaneText(CMainFrame::kPaneSelection), paneText);
    ASSERT_NE(m_pGraph->GetSelection(), nullptr);
    EXPECT_TRUE(m_pGraph->GetSelection()->IsSettled());

    // The settled outline sits on the shaded column, from the plot's top line to one pixel
    // above its bottom line, and it is what the screen shows.
    const SGraphLayout& now = m_pGraph->GetLayout();
    const int left = now.CylinderX(selStart), right = now.CylinderX(selEnd);
    EXPECT_EQ(m_pGraph->GetSelection()->GetRect(),
              (SRect{left, now.m_nYTop, right, now.m_nYBottom - 1}));
    const wxImage composed = m_pGraph->GetComposedPicture().ConvertToImage();
    EXPECT_EQ(PixelAt(composed, (left + right) / 2, y), kShade);
    for (int x = left; x <= right; ++x)
    {
        EXPECT_TRUE(IsDashOrGap(PixelAt(m_pGraph->GetShownPicture(), x, now.m_nYTop))) << x;
        EXPECT_TRUE(IsDashOrGap(PixelAt(m_pGraph->GetShownPicture(), x, now.m_nYBottom - 1))) << x;
    }
    for (int yy = now.m_nYTop; yy < now.m_nYBottom; ++yy)
        EXPECT_TRUE(IsDashOrGap(PixelAt(m_pGraph->GetShownPicture(), right, yy))) << yy;
    EXPECT_NE(PixelAt(m_pGraph->GetShownPicture(), left, now.m_nYBottom), kWhite);

    // It marches: a tick moves the dashes one pixel along the top line without composing
    // the graph again, and the screen follows.
    screen = CaptureWindow(m_pGraph);
    const std::vector<uint32_t> top1 = Row(screen, now.m_nYTop, left, right);
    EXPECT_EQ(top1, Row(m_pGraph->GetShownPicture(), now.m_nYTop, left, right));
    const int32_t phase = m_pGraph->GetSelection()->GetPhase();
    const unsigned paints = m_pGraph->GetPaintCount();
    ASSERT_TRUE(PumpUntil([&] { return m_pGraph->GetSelection()->GetPhase() == phase + 1; }, 1000));
    Pump(10);
    EXPECT_EQ(m_pGraph->GetPaintCount(), paints) << "a tick composed the whole graph";
    screen = CaptureWindow(m_pGraph);
    const std::vector<uint32_t> top2 = Row(screen, now.m_nYTop, left, right);
    EXPECT_NE(top1, top2);
    // The corner pixels are drawn over by the side lines; between them every pixel takes
    // its left neighbour's colour.
    EXPECT_EQ(std::vector<uint32_t>(top1.begin() + 1, top1.end() - 2),
              std::vector<uint32_t>(top2.begin() + 2, top2.end() - 1))
        << "the dashes did not move one pixel to the right";
    EXPECT_GT(m_pGraph->GetOutlinePaintCount(), 0u);
    CaptureWindow(frame).SaveFile(ArtifactPath("ratemark-selected.png"), wxBITMAP_TYPE_PNG);

    // Start with the toolbar's first button: only the range is measured.
    const wxPoint start = frame->GetToolBarCtrl()->ClientToScreen(
        wxPoint(frame->GetToolBarCtrl()->GetToolBitmapSize().x / 2 + 6,
                frame->GetToolBarCtrl()->GetClientSize().y / 2));
    m_sim.MouseMove(start);
    Pump(50);
    m_sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !Doc()->IsIdle(); }, 5000));

    // A press and a drag while it runs change nothing; the outline keeps moving.
    const int32_t runPhase = m_pGraph->GetSelection()->GetPhase();
    MoveTo(xm, y);
    EXPECT_FALSE(m_pGraph->IsCrossCursorChosen()) << "the crosshair while a test runs";
    m_sim.MouseDown();
    Pump(50);
    MoveTo(xb + 5, y);
    m_sim.MouseUp();
    Pump(50);
    ASSERT_FALSE(Doc()->IsIdle()) << "the run ended before the press could be tried";
    EXPECT_FALSE(m_pGraph->HasCapture());
    EXPECT_TRUE(Doc()->HasSelection());
    EXPECT_EQ(Doc()->GetSelStart(), selStart);
    EXPECT_EQ(Doc()->GetSelEnd(), selEnd);
    ASSERT_NE(m_pGraph->GetSelection(), nullptr);
    EXPECT_TRUE(m_pGraph->GetSelection()->IsSettled());
    EXPECT_EQ(frame->GetPaneText(CMainFrame::kPaneSelection), paneText);
    ASSERT_TRUE(WaitForRunEnd());
    Pump(300);
    EXPECT_GT(m_pGraph->GetSelection()->GetPhase(), runPhase + 2);

    // The range's results, in yellow over the shaded column and nowhere else; the
    // whole-drive curve was not run and saving stays a whole-drive action.
    EXPECT_EQ(Doc()->GetSelResultCount(), static_cast<int32_t>(selEnd - selStart));
    EXPECT_EQ(Doc()->GetResultCount(), 0);
    EXPECT_FALSE(IsCommandEnabled(fw::ID_FILE_SAVE));
    const wxImage after = m_pGraph->GetComposedPicture().ConvertToImage();
    const SGraphLayout& end = m_pGraph->GetLayout();
    EXPECT_GT(CountColour(after, left, end.m_nYTop, right + 1, end.m_nYBottom, kYellow), 20);
    EXPECT_EQ(CountColour(after, 0, 0, left, after.GetHeight(), kYellow), 0);
    EXPECT_EQ(CountColour(after, right + 1, 0, after.GetWidth(), after.GetHeight(), kYellow), 0);
    EXPECT_GT(CountColour(after, left, end.m_nYTop, right, end.m_nYBottom, kShade), 100);
    // The screen shows the outline on the run's final picture.
    screen = CaptureWindow(m_pGraph);
    for (int yy = end.m_nYTop; yy < end.m_nYBottom; yy += 7)
        EXPECT_TRUE(IsDashOrGap(PixelAt(screen, left, yy))) << yy;
    CaptureWindow(frame).SaveFile(ArtifactPath("ratemark-selection-run.png"), wxBITMAP_TYPE_PNG);

    // A press in the margin keeps the selection; a click in place removes it.
    MoveTo(5, y);
    m_sim.MouseClick();
    Pump(100);
    EXPECT_TRUE(Doc()->HasSelection());
    MoveTo(xm, y);
    m_sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !Doc()->HasSelection(); }, 3000));
    Pump(200);
    EXPECT_EQ(m_pGraph->GetSelection(), nullptr);
    EXPECT_EQ(frame->GetPaneText(CMainFrame::kPaneSelection), "");
    screen = CaptureWindow(m_pGraph);
    const wxImage plain = m_pGraph->GetComposedPicture().ConvertToImage();
    EXPECT_EQ(ColumnDiffers(screen, plain, left, end.m_nYTop, end.m_nYBottom - 1), 0);
}

} // namespace
} // namespace gui
