// The speed graph's press, drag and release, worked through the layout of a real paint and
// a real document: which range a gesture selects and what the frame is told.
#include "views/GraphMouse.h"
#include "engine/EngineFixture.h"
#include "framework/Messages.h"
#include "views/GraphLayout.h"
#include "views/PixelSink.h"
#include "views/Selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_fx;

namespace {

// 7 pixels per character, 14 per line: at 700 × 400 a drive of 1000 cylinders gets two
// cylinders per pixel, so its plot area is 500 pixels wide.
SGraphLayout Layout1000()
{
    return ComputeGraphLayout(1000, 0, 700, 400, [](const std::string& text) {
        return SSize{static_cast<int32_t>(7 * text.size()), 14};
    });
}

class GraphMouseTest : public EngineTest
{
protected:
    void SetUp() override { Bind(GEOMETRY{0, 1000, 16, 63, 512}); }

    // The view's handlers over the document: a press inside the plot area clears the
    // selection and starts a drag; the release clears it again and may select.
    void Gesture(const SRect& rcData, int32_t pressX, int32_t pressY, int32_t releaseX)
    {
        if (!m_doc->IsIdle() || !GraphPointInRect(rcData, pressX, pressY))
            return;
        m_doc->ClearSelection();
        const SGraphRelease r = GraphReleaseSelection(pressX, releaseX, rcData);
        m_doc->ClearSelection();
        if (r.m_bSetSelection)
            m_doc->SetSelection(r.m_nA, r.m_nB, r.m_nWidth);
    }
};

} // namespace

TEST(GraphMouse, PointsClampsAndDragOutline)
{
    const SRect rcData{100, 20, 600, 300};
    const SRect rcAxes{100, 20, 612, 300};
    struct SPoint
    {
        int32_t x, y;
        BOOL inside;
    };
    for (const SPoint& p : std::vector<SPoint>{{100, 20, 1},
                                               {599, 299, 1},
                                               {600, 100, 0}, // right edge excluded
                                               {300, 300, 0}, // bottom edge excluded
                                               {99, 100, 0},
                                               {300, 19, 0},
                                               {605, 100, 0}}) // axes beyond the last cylinder
        EXPECT_EQ(GraphPointInRect(rcData, p.x, p.y), p.inside) << p.x << "," << p.y;

    EXPECT_EQ(GraphClampToData(rcData, 50), 100);
    EXPECT_EQ(GraphClampToData(rcData, 600), 600); // both edges included
    EXPECT_EQ(GraphClampToData(rcData, 700), 600);
    EXPECT_EQ(GraphClampToData(SRect{100, 0, 90, 0}, 95), 100) << "no plot width";

    // Anchored at the press, following the clamped mouse, one row inside the axes.
    EXPECT_EQ(GraphDragOutline(200, 400, rcData, rcAxes), (SRect{200, 21, 400, 299}));
    EXPECT_EQ(GraphDragOutline(200, 900, rcData, rcAxes), (SRect{200, 21, 600, 299}));
    EXPECT_EQ(GraphDragOutline(200, 10, rcData, rcAxes), (SRect{200, 21, 100, 299}));
}

TEST_F(GraphMouseTest, GesturesSelectTheirCylinders)
{
    const SGraphLayout layout = Layout1000();
    const SRect rc = layout.m_rcData;
    ASSERT_EQ(rc.right - rc.left, 500);
    const int32_t y = (rc.top + rc.bottom) / 2;
    const auto doc = reinterpret_cast<intptr_t>(m_doc.get());
    const SMessage cleared{UM_SELECTION, 0, 0};

    struct SCase
    {
        const char* what;
        int32_t pressX, pressY, releaseX; // offsets from the plot area's top-left corner
        SGraphRelease release;
        BOOL selection;
        uint32_t start, end;
        std::vector<SMessage> told; // what the frame hears, in order
    };
    const std::vector<SCase> cases = {
        {"left to right",
         100,
         0,
         300,
         {1, 100, 300, 500},
         1,
         200,
         600,
         {cleared, cleared, {UM_SELECTION, 1, doc}}},
        {"right to left",
         300,
         0,
         100,
         {1, 300, 100, 500},
         1,
         200,
         600,
         {cleared, cleared, {UM_SELECTION, 1, doc}}},
        {"beyond the right edge",
         100,
         0,
         650,
         {1, 100, 500, 500},
         1,
         200,
         1000,
         {cleared, cleared, {UM_SELECTION, 1, doc}}},
        {"the last column",
         0,
         0,
         499,
         {1, 0, 499, 500},
         1,
         0,
         998,
         {cleared, cleared, {UM_SELECTION, 1, doc}}},
        {"same x", 100, 0, 100, {}, 0, 0, 0, {cleared, cleared}},
        {"first column, released to the left",
         0,
         0,
         -30,
         {1, 0, 0, 500},
         0,
         0,
         0,
         {cleared, cleared, {UM_SELECTION, 0, doc}}},
    };
    for (const SCase& c : cases)
    {
        const int32_t pressX = rc.left + c.pressX;
        const int32_t releaseX = rc.left + c.releaseX;
        EXPECT_EQ(GraphReleaseSelection(pressX, releaseX, rc), c.release) << c.what;

        // Start each gesture from an existing selection: any press inside removes it.
        m_doc->SelectCylinders(10, 20);
        m_frame.m_log.Messages.clear();
        Gesture(rc, pressX, y, releaseX);
        EXPECT_EQ(m_doc->HasSelection(), c.selection) << c.what;
        EXPECT_EQ(m_doc->GetSelStart(), c.start) << c.what;
        EXPECT_EQ(m_doc->GetSelEnd(), c.end) << c.what;
        EXPECT_EQ(m_doc->GetSelResults() != nullptr, c.selection != 0) << c.what;
        EXPECT_EQ(m_doc->GetSelResultCount(), 0) << c.what;
        EXPECT_EQ(m_frame.m_log.Only(UM_SELECTION), c.told) << c.what;
    }
}

TEST_F(GraphMouseTest, PressesOutsideThePlotAreaOrDuringARunChangeNothing)
{
    const SGraphLayout layout = Layout1000();
    const SRect rc = layout.m_rcData;
    ASSERT_LT(rc.right, layout.m_rcAxes.right);
    const int32_t y = (rc.top + rc.bottom) / 2;
    struct SCase
    {
        const char* what;
        int32_t x, y;
    };
    const std::vector<SCase> cases = {
        {"left margin", rc.left - 10, y},
        {"on the speed axis' left", rc.left - 1, y},
        {"axes beyond the last cylinder", rc.right + 5, y},
        {"right edge of the plot area", rc.right, y},
        {"above the plot", rc.left + 50, rc.top - 1},
        {"below the plot", rc.left + 50, rc.bottom},
    };
    for (const SCase& c : cases)
    {
        m_doc->SelectCylinders(100, 300);
        m_frame.m_log.Messages.clear();
        Gesture(rc, c.x, c.y, rc.left + 200);
        EXPECT_TRUE(m_doc->HasSelection()) << c.what;
        EXPECT_EQ(m_doc->GetSelStart(), 100u) << c.what;
        EXPECT_EQ(m_doc->GetSelEnd(), 300u) << c.what;
        EXPECT_TRUE(m_frame.m_log.Messages.empty()) << c.what;
    }
}

TEST_F(GraphMouseTest, SettledAndDraggedOutlinesSitOnTheRange)
{
    // 1000 cylinders, 500 pixels: cylinders 200 to 600 are the columns 100 to 300 of the
    // plot area. The settled outline spans those columns, from the plot's top row to one
    // row above its bottom; the drag outline is one row inside at top and bottom.
    const SGraphLayout l = Layout1000();
    const SRect rc = l.m_rcData;
    const SRect settled = GraphSelectionOutline(l, 200, 600);
    EXPECT_EQ(settled, (SRect{rc.left + 100, l.m_nYTop, rc.left + 300, l.m_nYBottom - 1}));
    EXPECT_EQ(GraphDragOutline(rc.left + 100, rc.left + 300, rc, l.m_rcAxes),
              (SRect{rc.left + 100, l.m_nYTop + 1, rc.left + 300, l.m_nYBottom - 1}));

    // Drawn on a picture of the graph's size, the settled outline sets exactly the pixels
    // of that rectangle's border and no other.
    CPixelBuffer picture(700, 400, RgbColor(1, 2, 3));
    struct COwner : ISelectionOwner
    {
        IPixelSink* p;
        IPixelSink* GetOutlineSink() override { return p; }
        void ReleaseOutlineSink(IPixelSink*) override {}
    } owner;
    owner.p = &picture;
    CSelection outline(&owner);
    outline.Show(settled);
    for (int32_t yy = 0; yy < 400; ++yy)
        for (int32_t xx = 0; xx < 700; ++xx)
        {
            const bool border = xx >= settled.left && xx <= settled.right && yy >= settled.top &&
                                yy <= settled.bottom &&
                                (xx == settled.left || xx == settled.right || yy == settled.top ||
                                 yy == settled.bottom);
            const COLORREF clr = picture.GetPixel(xx, yy);
            if (border)
                ASSERT_TRUE(clr == RgbColor(0, 0, 0) || clr == RgbColor(255, 255, 255))
                    << xx << "," << yy;
            else
                ASSERT_EQ(clr, RgbColor(1, 2, 3)) << xx << "," << yy;
        }
}
