// The window's placement and the CPU pane's size survive a restart.
#include "GuiFixture.h"

#include "shell/wx/MainFrame.h"
#include "shell/wx/RatemarkApp.h"
#include "views/wx/CpuFormView.h"
#include "views/wx/CpuMeterWnd.h"

#include <wx/splitter.h>

namespace gui {
namespace {

class PlacementTest : public CGuiTest
{
protected:
    std::vector<std::string> Args()
    {
        return {"--drive", MakePlainImage(m_dir.File("a.img"), 100ull << 20)};
    }
};

TEST_F(PlacementTest, FirstStartUsesTheDefaultPlacement)
{
    ASSERT_TRUE(Start(Args()));
    const wxRect rc = Frame()->GetRect();
    EXPECT_EQ(rc.GetSize(), wxSize(700, 500));
    EXPECT_EQ(rc.GetPosition(), wxPoint(50, 50));
    EXPECT_FALSE(Frame()->IsMaximized());
    EXPECT_FALSE(Frame()->IsIconized());
}

TEST_F(PlacementTest, WindowAndPaneReopenWhereTheyWereClosed)
{
    ASSERT_TRUE(Start(Args()));
    Frame()->SetSize(120, 90, 820, 610);
    Pump(300);
    Frame()->GetOuterSplitter()->SetSashPosition(204);
    Frame()->GetInnerSplitter()->SetSashPosition(154);
    Pump(300);
    const wxRect placed = Frame()->GetRect();
    const wxSize pane = Frame()->GetCpuView()->GetClientSize();
    Close();
    EXPECT_EQ(StoredSetting("MainWndX"), placed.x);
    EXPECT_EQ(StoredSetting("MainWndY"), placed.y);
    EXPECT_EQ(StoredSetting("MainWndW"), placed.width);
    EXPECT_EQ(StoredSetting("MainWndH"), placed.height);
    EXPECT_EQ(StoredSetting("IsZoomed"), 0);
    EXPECT_EQ(StoredSetting("IsIconic"), 0);
    EXPECT_EQ(StoredSetting("CpuWndW"), pane.x);
    EXPECT_EQ(StoredSetting("CpuWndH"), pane.y);

    ASSERT_TRUE(Start(Args()));
    EXPECT_EQ(Frame()->GetRect(), placed);
    EXPECT_EQ(Frame()->GetCpuView()->GetAppliedSize(), pane);
    EXPECT_EQ(Frame()->GetOuterSplitter()->GetSashPosition(), pane.x + 4);
    EXPECT_EQ(Frame()->GetInnerSplitter()->GetSashPosition(), pane.y + 4);
}

TEST_F(PlacementTest, ClosingMaximisedKeepsTheNormalPlacement)
{
    PresetSetting("MainWndX", 70);
    PresetSetting("MainWndY", 60);
    PresetSetting("MainWndW", 640);
    PresetSetting("MainWndH", 480);
    ASSERT_TRUE(Start(Args()));
    Frame()->Maximize(true);
    ASSERT_TRUE(PumpUntil([&] { return Frame()->IsMaximized(); }, 5000));
    Pump(200);
    Close();
    EXPECT_EQ(StoredSetting("IsZoomed"), 1);
    EXPECT_EQ(StoredSetting("IsIconic"), 0);
    EXPECT_EQ(StoredSetting("MainWndX"), 70);
    EXPECT_EQ(StoredSetting("MainWndW"), 640);

    ASSERT_TRUE(Start(Args()));
    EXPECT_TRUE(PumpUntil([&] { return Frame()->IsMaximized(); }, 5000));
}

TEST_F(PlacementTest, ZoomedAndIconicBothSetStartsMinimised)
{
    PresetSetting("IsZoomed", 1);
    PresetSetting("IsIconic", 1);
    ASSERT_TRUE(Start(Args()));
    EXPECT_TRUE(PumpUntil([&] { return Frame()->IsIconized(); }, 5000));
    EXPECT_FALSE(Frame()->IsMaximized());
}

} // namespace
} // namespace gui

namespace gui {
namespace {

TEST_F(PlacementTest, CpuMeterCoversItsPlaceAndMeasures)
{
    ASSERT_TRUE(Start(Args()));
    CCpuFormView* view = Frame()->GetCpuView();
    ASSERT_NE(view->GetMeter(), nullptr);
    EXPECT_EQ(view->GetMeter()->GetRect(), view->GetMeterPlace()->GetRect());
    EXPECT_TRUE(view->GetMeter()->IsShown());
    view->GetMeter()->Measure();
    view->GetMeter()->Measure();
    EXPECT_LE(view->GetMeter()->GetUsage(), 100u);
}

} // namespace
} // namespace gui
