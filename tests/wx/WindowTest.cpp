// A whole run through the desktop program: start, the live curve and progress, the results,
// the legend, saving; checked on the composed picture and on the screen.
#include "GuiFixture.h"

#include "engine/Commands.h"
#include "engine/RatemarkDoc.h"
#include "framework/CmdUI.h"
#include "framework/wx/CmdUIUpdate.h"
#include "shell/wx/MainFrame.h"
#include "shell/wx/RatemarkApp.h"
#include "views/GraphPainter.h"
#include "views/wx/DataView.h"
#include "views/wx/DlgLegend.h"
#include "views/wx/RatemarkView.h"

#include <fstream>
#include <wx/choice.h>
#include <wx/dcmemory.h>
#include <wx/gauge.h>
#include <wx/notebook.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

namespace gui {
namespace {

constexpr uint32_t kPlot = Rgb(182, 184, 184);
constexpr uint32_t kNtfs = Rgb(255, 205, 233);
constexpr uint32_t kLinux = Rgb(236, 235, 134);
constexpr uint32_t kBackground = Rgb(245, 245, 245);
constexpr uint32_t kCurve = Rgb(0, 0, 128);

// Answers the save dialog with a path, as a user typing it would.
class CSavePrompts : public fw::IDocumentPrompts
{
public:
    explicit CSavePrompts(std::string path) : m_strPath(std::move(path)) {}
    std::optional<std::string> AskSavePath(const std::string& proposed, const std::string& filter,
                                           const std::string& ext) override
    {
        m_strProposed = proposed;
        m_strFilter = filter;
        m_strExt = ext;
        ++m_nAsked;
        return m_strPath;
    }
    int AskSaveChanges(const std::string&) override { return fw::kIdNo; }

    std::string m_strPath, m_strProposed, m_strFilter, m_strExt;
    int m_nAsked = 0;
};

// The screen point of the toolbar's first button (the toolkit does not say where a tool
// lies): half a button in from the left edge, in the middle of the bar.
wxPoint FirstToolScreenPoint(wxToolBar* bar)
{
    return bar->ClientToScreen(
        wxPoint(bar->GetToolBitmapSize().x / 2 + 6, bar->GetClientSize().y / 2));
}

// How many pixels of colour clr lie inside rc.
int CountColour(const wxImage& image, const SRect& rc, uint32_t clr)
{
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            n += PixelAt(image, x, y) == clr;
    return n;
}

class WindowTest : public CGuiTest
{};

TEST_F(WindowTest, FastRunGrowsTheCurveWithProgressThenSavesTheCurve)
{
    const std::string image = MakePartitionedImage(m_dir.File("disk.img"));
    PresetSetting("FastTest", 1);
    ASSERT_TRUE(Start({"--drive", image}));
    CMainFrame* frame = Frame();
    CRatemarkView* graph = frame->GetGraphView();

    // Before any run: geometry rows, empty result rows, partitions and no curve.
    EXPECT_EQ(Doc()->GetTitle(), "HardDrive" + std::to_string(frame->GetCurDrive()));
    CStatList* list = frame->GetDataView()->GetList();
    EXPECT_EQ(list->GetItemCount(), 13);
    EXPECT_EQ(list->GetItemText(0, 0), "Cylinders");
    EXPECT_EQ(list->GetItemText(0, 1), "50");
    EXPECT_EQ(list->GetItemText(1, 1), "255");
    EXPECT_EQ(list->GetItemText(2, 1), "63");
    for (int row = 3; row < 13; ++row)
        EXPECT_EQ(list->GetItemText(row, 1), "") << "row " << row;

    const wxImage before = graph->GetComposedPicture().ConvertToImage();
    const SGraphLayout& layout = graph->GetLayout();
    ASSERT_TRUE(layout.m_bPlot);
    // Between the two lowest speed grid lines, clear of every line.
    const int y = layout.m_nYBottom - layout.m_nPlotHeight / 20;
    EXPECT_EQ(PixelAt(before, 2, 2), kBackground);
    EXPECT_EQ(PixelAt(before, layout.CylinderX(6) + 1, y), kNtfs);
    EXPECT_EQ(PixelAt(before, layout.CylinderX(15), y), kPlot); // between the partitions: Free
    EXPECT_EQ(PixelAt(before, layout.CylinderX(30) + 1, y), kLinux);
    EXPECT_EQ(CountColour(before, layout.m_rcData, kCurve), 0);
    EXPECT_EQ(frame->GetProgressBar(), nullptr);
    EXPECT_FALSE(IsCommandEnabled(fw::ID_FILE_SAVE_AS));

    // Start with a real click on the toolbar's first button.
    const wxPoint start = FirstToolScreenPoint(frame->GetToolBarCtrl());
    wxUIActionSimulator sim;
    sim.MouseMove(start);
    Pump(50);
    sim.MouseClick();

    // While it runs: the bar in pane 2, the phase in pane 1, the selector disabled.
    bool sawBar = false, sawPhase = false, sawSelectorOff = false;
    unsigned paintsBefore = graph->GetPaintCount();
    const bool ended = PumpUntil(
        [&] {
            if (frame->GetProgressBar())
            {
                sawBar = true;
                sawPhase =
                    sawPhase || frame->GetPaneText(CMainFrame::kPanePhase) == "Linear read test";
                sawSelectorOff = sawSelectorOff || !frame->GetDriveCombo()->IsEnabled();
            }
            return sawBar && Doc()->IsIdle();
        },
        30000);
    ASSERT_TRUE(ended) << "the run did not end";
    EXPECT_TRUE(sawBar);
    EXPECT_TRUE(sawPhase);
    EXPECT_TRUE(sawSelectorOff);
    EXPECT_GT(graph->GetPaintCount(), paintsBefore + 3) << "the curve was not repainted live";
    Pump(100);

    // After it: no bar, no phase, the selector back, the curve and the results.
    EXPECT_EQ(frame->GetProgressBar(), nullptr);
    EXPECT_EQ(frame->GetPaneText(CMainFrame::kPanePhase), "");
    EXPECT_TRUE(frame->GetDriveCombo()->IsEnabled());
    const wxImage after = graph->GetComposedPicture().ConvertToImage();
    EXPECT_GT(CountColour(after, graph->GetLayout().m_rcData, kCurve), 20);
    EXPECT_NE(list->GetItemText(5, 1), "");
    EXPECT_TRUE(list->GetItemText(5, 1).EndsWith(" kBytes/s"));
    EXPECT_NE(list->GetItemText(11, 1), "");

    // What the screen shows is the composed picture.
    const wxImage screen = CaptureWindow(graph);
    const SGraphLayout& now = graph->GetLayout();
    const int sy = now.m_nYBottom - now.m_nPlotHeight / 20;
    EXPECT_EQ(PixelAt(screen, now.CylinderX(15), sy), PixelAt(after, now.CylinderX(15), sy));
    EXPECT_EQ(PixelAt(screen, 2, 2), kBackground);
    CaptureWindow(frame).SaveFile(ArtifactPath("ratemark-window.png"), wxBITMAP_TYPE_PNG);

    // Ctrl+S, a real key press: the save dialog proposes HardDriveN.dat.
    CSavePrompts prompts(m_dir.File("curve.dat"));
    frame->SetPrompts(&prompts);
    EXPECT_TRUE(IsCommandEnabled(fw::ID_FILE_SAVE));
    frame->Raise();
    frame->SetFocus();
    Pump(100);
    sim.Char('s', wxMOD_CONTROL);
    ASSERT_TRUE(PumpUntil([&] { return prompts.m_nAsked > 0; }, 5000));
    Pump(50);
    EXPECT_EQ(prompts.m_strProposed, "HardDrive" + std::to_string(frame->GetCurDrive()) + ".dat");
    EXPECT_EQ(prompts.m_strFilter, "Dat Files (*.dat)");
    EXPECT_EQ(prompts.m_strExt, ".dat");
    std::ifstream saved(m_dir.File("curve.dat"));
    int lines = 0, cylinder = 0, speed = 0;
    while (saved >> cylinder >> speed)
        ++lines;
    EXPECT_EQ(lines, Doc()->GetResultCount());
    EXPECT_GT(lines, 0);
    EXPECT_FALSE(IsCommandEnabled(fw::ID_FILE_SAVE)) << "a saved document is not modified";
    frame->SetPrompts(nullptr);
}

TEST_F(WindowTest, LegendTabShowsTheEightSwatchesInTheGraphsColours)
{
    ASSERT_TRUE(Start({"--drive", MakePartitionedImage(m_dir.File("disk.img"))}));
    CDataView* view = Frame()->GetDataView();
    EXPECT_EQ(view->GetTab()->GetPageText(0), "Information");
    EXPECT_EQ(view->GetTab()->GetPageText(1), "Legend");
    EXPECT_TRUE(view->GetList()->IsShown());
    EXPECT_FALSE(view->GetLegend()->IsShown());

    view->GetTab()->SetSelection(1);
    Pump(200);
    EXPECT_FALSE(view->GetList()->IsShown());
    ASSERT_TRUE(view->GetLegend()->IsShown());
    for (int k = 0; k < 8; ++k)
    {
        CColorView* swatch = view->GetLegend()->GetSwatch(k);
        const wxSize size = swatch->GetClientSize();
        EXPECT_EQ(size, swatch->ConvertDialogToPixels(wxSize(9, 9)));
        wxBitmap bitmap(size.x, size.y, 24);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(*wxBLACK_BRUSH);
            dc.Clear();
            swatch->Paint(dc, size);
        }
        const wxImage pixels = bitmap.ConvertToImage();
        const COLORREF c = swatch->m_clr;
        const uint32_t want = Rgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        // Flat, without a border: the corners are the colour too.
        EXPECT_EQ(PixelAt(pixels, 0, 0), want) << kLegendEntries[static_cast<size_t>(k)].label;
        EXPECT_EQ(PixelAt(pixels, pixels.GetWidth() - 1, pixels.GetHeight() - 1), want);
    }
    // "Free" is the plot area's colour.
    EXPECT_EQ(kLegendEntries[3].clr, kGraphPlotColor);

    view->GetTab()->SetSelection(0);
    Pump(100);
    EXPECT_TRUE(view->GetList()->IsShown());
    EXPECT_FALSE(view->GetLegend()->IsShown());
}

TEST_F(WindowTest, CrossCursorIsANineteenPixelCrossWithAWhiteBorder)
{
    const wxImage cursor = MakeCrossCursorImage();
    ASSERT_EQ(cursor.GetWidth(), 32);
    EXPECT_EQ(cursor.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_X), 15);
    EXPECT_EQ(cursor.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_Y), 16);
    int black = 0, white = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
        {
            const uint32_t p = PixelAt(cursor, x, y);
            black += p == 0;
            white += p == Rgb(255, 255, 255);
        }
    EXPECT_EQ(black, 19 + 19 - 1);
    EXPECT_EQ(PixelAt(cursor, 15 - 9, 16), 0u);
    EXPECT_EQ(PixelAt(cursor, 15 - 10, 16), Rgb(255, 255, 255));
    EXPECT_EQ(PixelAt(cursor, 15, 16 + 10), Rgb(255, 255, 255));
    EXPECT_TRUE(cursor.IsTransparent(0, 0));
    EXPECT_GT(white, black);
}

} // namespace
} // namespace gui
