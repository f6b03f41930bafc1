// The speed graph's layout and paint, recorded call by call.
#include "views/GraphPainter.h"
#include "fixtures/MemoryDrive.h"
#include "views/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The recording canvas measures 7 pixels per character and 14 pixels per line.
constexpr int32_t kCharWidth = 7;
constexpr int32_t kTextHeight = 14;

SGraphData Drive(uint32_t cylinders)
{
    SGraphData data;
    data.m_nCylinders = cylinders;
    data.m_bHasDrive = 1;
    return data;
}

std::vector<std::string> Texts(const std::vector<SCanvasCall>& calls)
{
    std::vector<std::string> out;
    for (const SCanvasCall& c : calls)
        out.push_back(c.text);
    return out;
}

// The texts drawn at one y, left to right.
std::vector<SCanvasCall> TextsAtY(const CRecordingCanvas& canvas, int32_t y)
{
    std::vector<SCanvasCall> out;
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Text))
        if (c.y == y)
            out.push_back(c);
    return out;
}

std::vector<SCanvasCall> LinesIn(const CRecordingCanvas& canvas, COLORREF clr)
{
    std::vector<SCanvasCall> out;
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Line))
        if (c.pen.clr == clr)
            out.push_back(c);
    return out;
}

std::vector<CReadingResult> Flat(uint32_t first, uint32_t count, uint32_t speed)
{
    std::vector<CReadingResult> results(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        results[i].m_nCylinder = static_cast<int32_t>(first + i);
        results[i].m_nSpeed = speed;
    }
    return results;
}

} // namespace

TEST(GraphLayout, WorkedExampleAt640x480)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    const SGraphLayout l = PaintGraph(canvas, Drive(1000), 640, 480);

    ASSERT_TRUE(l.m_bPlot);
    EXPECT_EQ(l.m_font, (SFont{"Arial", 14, 400, 1}));
    EXPECT_EQ(l.m_title.size, (SSize{77, 14})); // "Speed[kB/s]"
    EXPECT_EQ(l.m_nCylinderRange, 1024u);
    EXPECT_EQ(l.m_nLeftMargin, 82);
    EXPECT_EQ(l.m_nAvailWidth, 538);
    EXPECT_EQ(l.m_nXScale, 2u);
    EXPECT_EQ(l.m_nAvailHeight, 444);
    EXPECT_EQ(l.m_nSpeedRange, 1000u);
    EXPECT_EQ(l.m_nYScale, 3u);
    EXPECT_EQ(l.m_nPlotWidth, 512);
    EXPECT_EQ(l.m_nPlotHeight, 333);
    EXPECT_EQ(l.m_rcAxes, (SRect{95, 75, 607, 408}));
    EXPECT_EQ(l.m_rcData, (SRect{95, 75, 595, 408}));
    EXPECT_EQ(l.CylinderX(999), 95 + 499);
    EXPECT_EQ(l.SpeedY(500), 408 - 166);
    // The title sits above the axis, right-aligned 5 pixels left of it.
    EXPECT_EQ(TextsAtY(canvas, 75 - 14).front().x, 95 - 77 - 5);

    // The whole font is selected before anything is measured and given back afterwards.
    const auto fonts = canvas.Calls(SCanvasCall::SelectFont);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0].font, l.m_font);
    EXPECT_EQ(fonts[1].font, SFont{});
}

TEST(GraphLayout, FontHeightFollowsTheClientHeight)
{
    const std::pair<int32_t, int32_t> cases[] = {{0, 0},    {19, 0},   {20, 1},   {39, 1},
                                                 {200, 10}, {280, 14}, {2000, 14}};
    for (const auto& [height, cell] : cases)
        EXPECT_EQ(GraphFont(height).height, cell) << "client height " << height;
}

TEST(GraphPaint, BeforeATestFrameAndLabelsWithoutCurve)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    SGraphData data = Drive(1000);
    std::vector<CReadingResult> slots(1000); // allocated, nothing stored yet
    data.m_pResults = slots.data();
    data.m_partitions = {{100, 199, 0x79F8B6}};
    const SGraphLayout l = PaintGraph(canvas, data, 640, 480);

    const auto fills = canvas.Calls(SCanvasCall::Fill);
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0].rc, (SRect{0, 0, 640, 480}));
    EXPECT_EQ(fills[0].clr, RgbColor(245, 245, 245));
    EXPECT_EQ(fills[1].rc, l.m_rcData);
    EXPECT_EQ(fills[1].clr, RgbColor(182, 184, 184));
    EXPECT_EQ(fills[2].clr, 0x79F8B6u);

    // Speed labels 0 to 900, five characters wide, right-aligned 5 pixels left of the axis
    // and resting on their grid line; the top line has none.
    const std::vector<std::string> expected{"    0", "  100", "  200", "  300", "  400",
                                            "  500", "  600", "  700", "  800", "  900"};
    std::vector<std::string> speedLabels;
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Text))
        if (c.x == l.m_nX0 - 5 * kCharWidth - 5)
        {
            speedLabels.push_back(c.text);
            EXPECT_EQ(c.clr, RgbColor(128, 128, 128));
        }
    EXPECT_EQ(speedLabels, expected);
    ASSERT_EQ(l.m_speedGrid.size(), 11u);
    EXPECT_EQ(l.m_speedGrid[0].pos, l.m_nYBottom);
    EXPECT_EQ(l.m_speedGrid[1].label.y, l.m_nYBottom - 33 - kTextHeight);
    EXPECT_EQ(l.m_speedGrid[10].pos, l.m_nYTop);
    EXPECT_FALSE(l.m_speedGrid[10].label.bShown);

    // Only gray lines: axes, boundaries, grids.
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Line))
        EXPECT_EQ(c.pen.clr, RgbColor(128, 128, 128));
    EXPECT_EQ(LinesIn(canvas, RgbColor(128, 128, 128)).size(), 2u + 3u + 11u + 11u);
}

TEST(GraphPaint, CylinderGridOf1000Cylinders)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    const SGraphLayout l = PaintGraph(canvas, Drive(1000), 640, 480);

    ASSERT_EQ(l.m_cylinderGrid.size(), 11u);
    std::vector<std::string> shown;
    for (size_t k = 0; k < l.m_cylinderGrid.size(); ++k)
    {
        const SGraphGridLine& line = l.m_cylinderGrid[k];
        EXPECT_EQ(line.pos, l.m_nX0 + static_cast<int32_t>(k) * 512 / 10);
        if (line.label.bShown)
            shown.push_back(line.label.text);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"0", "102", "204", "306", "408", "510", "612", "714",
                                               "816", "918"}));
    EXPECT_EQ(l.m_cylinderGrid[10].value, 1020u);
    EXPECT_FALSE(l.m_cylinderGrid[10].label.bShown);
    EXPECT_EQ(Texts(TextsAtY(canvas, l.m_nYBottom)),
              (std::vector<std::string>{"0", "102", "204", "306", "408", "510", "612", "714", "816",
                                        "918", "Cylinders"}));
    // Centred below the line: "102" is 21 pixels wide.
    EXPECT_EQ(l.m_cylinderGrid[1].label.x, l.m_nX0 + 51 - 10);

    // The grid lines are dotted, from the axis up to the top of the plot.
    int dottedVertical = 0;
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Line))
        if (c.pen.style == EPenStyle::Dotted && c.rc.left == c.rc.right)
        {
            ++dottedVertical;
            EXPECT_EQ(c.rc.top, l.m_nYBottom);
            EXPECT_EQ(c.rc.bottom, l.m_nYTop);
        }
    EXPECT_EQ(dottedVertical, 11);
}

TEST(GraphPaint, CylinderGridOf16383CylindersSkipsCollidingLabels)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    const SGraphLayout l = PaintGraph(canvas, Drive(16383), 640, 480);

    EXPECT_EQ(l.m_nCylinderRange, 16384u);
    EXPECT_EQ(l.m_nXScale, 31u);
    EXPECT_EQ(l.m_nPlotWidth, 528);
    ASSERT_EQ(l.m_cylinderGrid.size(), 65u);
    int32_t lastRight = 0;
    std::vector<std::string> shown;
    for (uint32_t k = 0; k < 65; ++k)
    {
        const SGraphGridLine& line = l.m_cylinderGrid[k];
        EXPECT_EQ(line.value, 256u * k);
        EXPECT_EQ(line.pos, l.m_nX0 + static_cast<int32_t>(k * 528 / 64));
        if (k == 64)
            EXPECT_FALSE(line.label.bShown);
        else if (line.label.bShown)
        {
            EXPECT_GT(line.label.x, lastRight) << "label " << line.label.text;
            lastRight = line.label.x + line.label.size.cx;
            shown.push_back(line.label.text);
        }
        else
            EXPECT_LE(line.label.x, lastRight) << "label " << line.label.text;
    }
    // "1280" would start exactly where "512" ends: touching counts as colliding.
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + 3),
              (std::vector<std::string>{"0", "512", "1536"}));
    EXPECT_LT(shown.size(), 64u);
}

TEST(GraphPaint, Maximum25300GivesSpeedRange26000)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    SGraphData data = Drive(1000);
    data.m_nGraphMax = 25300;
    const SGraphLayout l = PaintGraph(canvas, data, 640, 480);

    EXPECT_EQ(l.m_nSpeedRange, 26000u);
    EXPECT_EQ(l.m_nYScale, 59u);
    EXPECT_EQ(l.m_nPlotHeight, 440);
    std::vector<std::string> labels;
    for (const SGraphGridLine& line : l.m_speedGrid)
        if (line.label.bShown)
        {
            labels.push_back(line.label.text);
            EXPECT_EQ(line.label.x, l.m_nX0 - 5 * kCharWidth - 5);
        }
    EXPECT_EQ(labels, (std::vector<std::string>{"    0", " 2600", " 5200", " 7800", "10400",
                                                "13000", "15600", "18200", "20800", "23400"}));
}

TEST(GraphPaint, SegmentsTouchingAFailedCylinderTakeTheErrorColour)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    SGraphData data = Drive(1000);
    data.m_nGraphMax = 900;
    // A fast test's cylinders: the first point still stands on the speed axis.
    std::vector<CReadingResult> results = Flat(0, 10, 600);
    for (uint32_t i = 0; i < 10; ++i)
        results[i].m_nCylinder = static_cast<int32_t>(5 + 100 * i);
    results[4].m_dwError = 23;
    data.m_pResults = results.data();
    data.m_nResults = 10;
    // A selection re-test of 700 … 710 with its last cylinder failed.
    std::vector<CReadingResult> sel = Flat(700, 10, 300);
    sel[9].m_dwError = 23;
    data.m_bSelection = 1;
    data.m_nSelStart = 700;
    data.m_nSelEnd = 710;
    data.m_pSelResults = sel.data();
    data.m_nSelResults = 10;
    const SGraphLayout l = PaintGraph(canvas, data, 640, 480);

    std::vector<SCanvasCall> curve;
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Line))
        if (c.pen.clr != RgbColor(128, 128, 128))
            curve.push_back(c);
    ASSERT_EQ(curve.size(), 9u + 9u);
    EXPECT_EQ(curve[0].rc.left, l.m_nX0);
    EXPECT_EQ(curve[0].rc.top, l.SpeedY(600));
    EXPECT_EQ(curve[0].rc.right, l.CylinderX(105));
    for (size_t i = 0; i < 9; ++i)
    {
        const bool bError = i == 3 || i == 4; // the segments ending at and leaving result 4
        EXPECT_EQ(curve[i].pen,
                  (SPen{bError ? RgbColor(128, 0, 0) : RgbColor(0, 0, 128), EPenStyle::Solid, 1}))
            << "segment " << i;
    }
    EXPECT_EQ(curve[9].rc.left, l.CylinderX(700));
    EXPECT_EQ(curve[9].rc.top, l.SpeedY(300));
    for (size_t i = 9; i < 18; ++i)
        EXPECT_EQ(curve[i].pen.clr, i == 17 ? RgbColor(255, 0, 0) : RgbColor(255, 255, 0))
            << "segment " << i;

    // The curves come last, over the grids and labels.
    const auto& calls = canvas.Calls();
    const auto lastText = std::find_if(calls.rbegin(), calls.rend(), [](const SCanvasCall& c) {
        return c.kind == SCanvasCall::Text;
    });
    const auto firstCurve = std::find_if(calls.begin(), calls.end(), [](const SCanvasCall& c) {
        return c.kind == SCanvasCall::Line && c.pen.clr == RgbColor(0, 0, 128);
    });
    EXPECT_LT(lastText.base() - calls.begin(), firstCurve - calls.begin());
}

TEST(GraphPaint, PartitionColumnEndsBeforeStartPlusLengthPlusOne)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    SGraphData data = Drive(1000);
    // At 2 cylinders per pixel, (100 + 199 + 1) ÷ 2 = 150 where (100 + 199) ÷ 2 would be 149.
    data.m_partitions = {{100, 199, 0xE9CDFF}, {600, 50, 0x86EBEC}};
    const SGraphLayout l = PaintGraph(canvas, data, 640, 480);
    ASSERT_EQ(l.m_nXScale, 2u);

    const auto fills = canvas.Calls(SCanvasCall::Fill);
    ASSERT_EQ(fills.size(), 4u);
    EXPECT_EQ(fills[2].rc, (SRect{95 + 50, 75, 95 + 150, 408}));
    EXPECT_EQ(fills[2].clr, 0xE9CDFFu);
    EXPECT_EQ(fills[3].rc, (SRect{95 + 300, 75, 95 + 325, 408}));

    // Boundary lines: the plot's right edge, then each column's two edges.
    std::vector<int32_t> boundaries;
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Line))
        if (c.pen.style == EPenStyle::Solid && c.rc.left == c.rc.right && c.rc.left != 95)
        {
            boundaries.push_back(c.rc.left);
            EXPECT_EQ(c.rc.top, 408);
            EXPECT_EQ(c.rc.bottom, 75);
        }
    EXPECT_EQ(boundaries, (std::vector<int32_t>{595, 145, 245, 395, 420}));
}

TEST(GraphPaint, SelectionShadingNeedsADrive)
{
    for (const BOOL bHasDrive : {1, 0})
    {
        SCOPED_TRACE(bHasDrive ? "with a drive" : "without a drive");
        CRecordingCanvas canvas(kCharWidth, kTextHeight);
        SGraphData data = Drive(1000);
        data.m_bHasDrive = bHasDrive;
        data.m_partitions = {{100, 199, 0xE9CDFF}};
        data.m_bSelection = 1;
        data.m_nSelStart = 200;
        data.m_nSelEnd = 600;
        const SGraphLayout l = PaintGraph(canvas, data, 640, 480);

        const auto fills = canvas.Calls(SCanvasCall::Fill);
        if (bHasDrive)
        {
            ASSERT_EQ(fills.size(), 4u);
            EXPECT_EQ(fills[3].rc, (SRect{195, 75, 396, 408}));
            EXPECT_EQ(fills[3].clr, RgbColor(2, 182, 182));
        }
        else
            EXPECT_EQ(fills.size(), 2u); // background and plot only
        EXPECT_EQ(GraphSelectionRect(l, 200, 600), (SRect{195, 75, 396, 408}));
        EXPECT_EQ(GraphSelectionOutline(l, 200, 600), (SRect{195, 75, 395, 407}));
    }
}

TEST(GraphPaint, CaptionOmittedWhenItWouldOverlapTheLastLabel)
{
    struct SCase
    {
        int32_t Width;
        bool Shown;
    };
    // At 614 pixels the plot fills the width and "918" ends at 553, past the caption's 546.
    for (const SCase& c : {SCase{640, true}, SCase{614, false}, SCase{2000, true}})
    {
        SCOPED_TRACE("width " + std::to_string(c.Width));
        CRecordingCanvas canvas(kCharWidth, kTextHeight);
        const SGraphLayout l = PaintGraph(canvas, Drive(1000), c.Width, 480);
        EXPECT_EQ(static_cast<bool>(l.m_caption.bShown), c.Shown);
        EXPECT_EQ(l.m_caption.x, c.Width - 9 * kCharWidth - 5);
        const auto texts = Texts(canvas.Calls(SCanvasCall::Text));
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "Cylinders"), c.Shown ? 1 : 0);
    }
}

TEST(GraphPaint, NoRoomForAPlotPaintsTheBackgroundAlone)
{
    struct SCase
    {
        int32_t Width;
        int32_t Height;
        bool Plot;
    };
    // Available width = W - 82 - 20, available height = H - 20 - 16 with these metrics.
    const SCase cases[] = {{0, 0, false},     {-40, 300, false}, {300, -40, false},
                           {102, 480, false}, {640, 36, false},  {103, 480, true},
                           {640, 37, true},   {1, 1, false}};
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
        CRecordingCanvas canvas(kCharWidth, kTextHeight);
        SGraphData data = Drive(1000);
        data.m_partitions = {{100, 199, 0xE9CDFF}};
        std::vector<CReadingResult> results = Flat(0, 100, 500);
        data.m_pResults = results.data();
        data.m_nResults = 100;
        const SGraphLayout l = PaintGraph(canvas, data, c.Width, c.Height);

        EXPECT_EQ(static_cast<bool>(l.m_bPlot), c.Plot);
        const auto fills = canvas.Calls(SCanvasCall::Fill);
        ASSERT_FALSE(fills.empty());
        EXPECT_EQ(fills[0].rc, (SRect{0, 0, c.Width, c.Height}));
        if (c.Plot)
        {
            EXPECT_FALSE(canvas.Calls(SCanvasCall::Line).empty());
            continue;
        }
        EXPECT_EQ(fills.size(), 1u);
        EXPECT_TRUE(canvas.Calls(SCanvasCall::Line).empty());
        EXPECT_TRUE(canvas.Calls(SCanvasCall::Text).empty());
        EXPECT_EQ(canvas.CurrentFont(), SFont{}); // given back
        EXPECT_EQ(l.m_rcData, SRect{});
        EXPECT_EQ(GraphSelectionRect(l, 0, 500), SRect{});
    }
}

TEST(GraphData, PartitionsAreReadFromTheDrive)
{
    testing_fx::CSectorMap sectors;
    sectors[0] = testing_fx::TableSector({{0x0B, 63, 2000000}, {0x83, 3000000, 500000}});
    testing_fx::CMemoryDrive drive(sectors);
    ASSERT_TRUE(drive.AnalysePartitions());

    SGraphData data;
    FillGraphPartitions(data, &drive);
    EXPECT_TRUE(data.m_bHasDrive);
    EXPECT_EQ(data.m_partitions,
              (std::vector<SGraphPartition>{{0, 124, 0x79F8B6}, {186, 31, 0x86EBEC}}));

    FillGraphPartitions(data, nullptr);
    EXPECT_FALSE(data.m_bHasDrive);
    EXPECT_TRUE(data.m_partitions.empty());
}

TEST(GraphLayout, CylinderGridStepDoublesOnLargeDrivesOnly)
{
    struct SCase
    {
        uint32_t cylinders;
        int32_t width;
        uint32_t intervals; // n
        uint32_t step;      // R ÷ n, the label step
    };
    const SCase cases[] = {
        // The written rule where its lines are 8 pixels apart: every worked example.
        {1000, 640, 10, 102},
        {16383, 640, 64, 256},
        // A 1 TB drive (121 601 cylinders of 255 × 63 × 512): R ÷ 256 = 476 lines would be
        // about one pixel apart in 536 pixels; R ÷ (256 × 2^3) = 59 are 9 apart.
        {121601, 640, 59, 2065},
        // 4 TB: R ÷ (256 × 2^4) = 118 lines would be 7.8 pixels apart in 921, so 2^5.
        {486401, 1024, 59, 8248},
        // A narrow pane, where even ten lines would not be 8 pixels apart.
        {1000, 160, 2, 512},
    };
    for (const SCase& c : cases)
    {
        CRecordingCanvas canvas(kCharWidth, kTextHeight);
        const SGraphLayout l = PaintGraph(canvas, Drive(c.cylinders), c.width, 480);
        SCOPED_TRACE(c.cylinders);
        ASSERT_EQ(l.m_cylinderGrid.size(), c.intervals + 1);
        const uint32_t R = l.m_nCylinderRange;
        EXPECT_EQ(R / c.intervals, c.step);
        for (uint32_t k = 0; k <= c.intervals; ++k)
        {
            const SGraphGridLine& line = l.m_cylinderGrid[k];
            EXPECT_EQ(line.pos,
                      l.m_nX0 + static_cast<int32_t>(k * static_cast<uint32_t>(l.m_nPlotWidth) /
                                                     c.intervals));
            EXPECT_EQ(line.value, c.step * k);
            if (k > 0 && c.cylinders > 16383)
            {
                EXPECT_GE(line.pos - l.m_cylinderGrid[k - 1].pos, 8) << "line " << k;
            }
        }
        // The doubled step is the smallest that spaces the lines: half of it would not.
        if (c.step > 256 && R / 256 > 10)
        {
            EXPECT_LT(static_cast<uint32_t>(l.m_nPlotWidth), 8 * (R / (c.step / 2)));
        }
    }
    EXPECT_EQ(CylinderGridLines(0, 0), 1u);
    EXPECT_EQ(CylinderGridLines(0xFFFFFF00u, 1), 1u);
}

TEST(GraphPaint, PartitionColumnsAreClippedToThePlotArea)
{
    CRecordingCanvas canvas(kCharWidth, kTextHeight);
    SGraphData data = Drive(1000);
    // An entry of 0xFFFFFFFF sectors reaches far past the drive's end, and one starts beyond
    // it; start + length + 1 must not wrap either.
    data.m_partitions = {{900, 0x00FFFFFF, 0x79F8B6}, {2000, 10, 0x86EBEC}, {10, 0xFFFFFFFFu, 1}};
    const SGraphLayout l = PaintGraph(canvas, data, 640, 480);
    ASSERT_EQ(l.m_nXScale, 2u);
    ASSERT_EQ(l.m_rcData, (SRect{95, 75, 595, 408}));

    const auto fills = canvas.Calls(SCanvasCall::Fill);
    ASSERT_EQ(fills.size(), 4u); // background, plot, two columns; the one past the end none
    EXPECT_EQ(fills[2].rc, (SRect{95 + 450, 75, 595, 408}));
    EXPECT_EQ(fills[3].rc, (SRect{95 + 5, 75, 595, 408}));
    for (const SCanvasCall& c : canvas.Calls(SCanvasCall::Line))
        if (c.pen.style == EPenStyle::Solid)
        {
            EXPECT_LE(c.rc.right, l.m_rcAxes.right);
        }
}
