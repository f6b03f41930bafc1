// The selection outline: the dashed line's pixels and phases, the outline's path around
// its rectangle, the marching dashes, and exclusive-or drawing that leaves no trace.
#include "views/Selection.h"
#include "views/DashedLine.h"
#include "views/PixelSink.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr COLORREF B = RgbColor(0, 0, 0);
constexpr COLORREF W = RgbColor(255, 255, 255);

struct SPixel
{
    int32_t x = 0;
    int32_t y = 0;
    COLORREF clr = 0;

    friend bool operator==(const SPixel&, const SPixel&) = default;
};

std::ostream& operator<<(std::ostream& os, const SPixel& p)
{
    return os << "(" << p.x << "," << p.y << (p.clr == B ? " B)" : p.clr == W ? " W)" : " ?)");
}

// Records every pixel in order, with the mode it came in.
class CRecordingSink : public IPixelSink
{
public:
    void PutPixel(int32_t x, int32_t y, COLORREF clr, EPixelMode mode) override
    {
        m_pixels.push_back({x, y, clr});
        m_modes.push_back(mode);
    }
    std::vector<SPixel> m_pixels;
    std::vector<EPixelMode> m_modes;
};

// A window whose picture is a pixel buffer; it can also be without a window.
class CBufferOwner : public ISelectionOwner
{
public:
    explicit CBufferOwner(IPixelSink* pSink) : m_pSink(pSink) {}
    IPixelSink* GetOutlineSink() override
    {
        ++m_nTaken;
        return m_pSink;
    }
    void ReleaseOutlineSink(IPixelSink* pSink) override
    {
        EXPECT_EQ(pSink, m_pSink);
        ++m_nReleased;
    }
    IPixelSink* m_pSink;
    int m_nTaken = 0;
    int m_nReleased = 0;
};

CPixelBuffer Noise(int32_t w, int32_t h, unsigned seed)
{
    CPixelBuffer buffer(w, h);
    std::mt19937 random(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            buffer.PutPixel(x, y, random() & 0xFFFFFF, EPixelMode::Plain);
    return buffer;
}

} // namespace

TEST(DashedLine, PixelsAndPhases)
{
    struct SCase
    {
        const char* what;
        int32_t x1, y1, x2, y2;
        int32_t phaseIn;
        std::vector<SPixel> pixels;
        int32_t phaseOut;
    };
    const std::vector<SCase> cases = {
        // Each pixel steps the phase back first: 0 becomes 7, a gap pixel.
        {"level, phase 0",
         0,
         0,
         5,
         0,
         0,
         {{0, 0, W}, {1, 0, W}, {2, 0, W}, {3, 0, W}, {4, 0, B}, {5, 0, B}},
         2},
        {"level, phase beyond the period",
         0,
         0,
         5,
         0,
         10,
         {{0, 0, B}, {1, 0, B}, {2, 0, W}, {3, 0, W}, {4, 0, W}, {5, 0, W}},
         4},
        // A negative remainder wraps to period - 1 at the first pixel.
        {"level, negative phase",
         0,
         0,
         5,
         0,
         -3,
         {{0, 0, W}, {1, 0, W}, {2, 0, W}, {3, 0, W}, {4, 0, B}, {5, 0, B}},
         2},
        {"leftwards",
         5,
         3,
         0,
         3,
         4,
         {{5, 3, B}, {4, 3, B}, {3, 3, B}, {2, 3, B}, {1, 3, W}, {0, 3, W}},
         6},
        {"shallow slope",
         0,
         0,
         5,
         2,
         4,
         {{0, 0, B}, {1, 0, B}, {2, 1, B}, {3, 1, B}, {4, 2, W}, {5, 2, W}},
         6},
        {"shallow slope backwards",
         5,
         2,
         0,
         0,
         4,
         {{5, 2, B}, {4, 2, B}, {3, 1, B}, {2, 1, B}, {1, 0, W}, {0, 0, W}},
         6},
        {"steep slope",
         0,
         0,
         2,
         5,
         4,
         {{0, 0, B}, {0, 1, B}, {1, 2, B}, {1, 3, B}, {2, 4, W}, {2, 5, W}},
         6},
        {"upwards",
         7,
         9,
         7,
         0,
         1,
         {{7, 9, B},
          {7, 8, W},
          {7, 7, W},
          {7, 6, W},
          {7, 5, W},
          {7, 4, B},
          {7, 3, B},
          {7, 2, B},
          {7, 1, B},
          {7, 0, W}},
         7},
        {"diagonal", 0, 0, 3, -3, 0, {{0, 0, W}, {1, -1, W}, {2, -2, W}, {3, -3, W}}, 4},
        {"one point", 3, 3, 3, 3, 5, {{3, 3, W}}, 4},
        {"one point, dash", 3, 3, 3, 3, 4, {{3, 3, B}}, 3},
    };
    for (const SCase& c : cases)
    {
        CRecordingSink sink;
        CPixelDC dc(sink, EPixelMode::Plain);
        dc.MoveTo(c.x1, c.y1);
        int32_t phase = c.phaseIn;
        DrawDashedLine(&dc, c.x2, c.y2, 4, 4, phase, B, W);
        EXPECT_EQ(sink.m_pixels, c.pixels) << c.what;
        EXPECT_EQ(phase, c.phaseOut) << c.what;
        EXPECT_EQ(dc.GetX(), c.x2) << c.what;
        EXPECT_EQ(dc.GetY(), c.y2) << c.what;
    }
}

TEST(DashedLine, OtherPatternsAndNothingToDrawWith)
{
    // Dash 2, gap 3: phases 4 3 2 1 0 4 3 ... after the step give W W W B B W W.
    CRecordingSink sink;
    CPixelDC dc(sink, EPixelMode::Xor);
    int32_t phase = 0;
    DrawDashedLine(&dc, 6, 0, 2, 3, phase, B, W);
    std::vector<COLORREF> colours;
    for (const SPixel& p : sink.m_pixels)
        colours.push_back(p.clr);
    EXPECT_EQ(colours, (std::vector<COLORREF>{W, W, W, B, B, W, W}));
    EXPECT_EQ(sink.m_modes, std::vector<EPixelMode>(7, EPixelMode::Xor));
    EXPECT_EQ(phase, 3);

    // No context, no dash or no gap: nothing drawn, nothing moved, the phase kept.
    struct SCase
    {
        int32_t dash, gap;
    };
    for (const SCase& c : std::vector<SCase>{{0, 4}, {4, 0}, {-4, 4}, {4, -4}, {-4, 0}})
    {
        CRecordingSink none;
        CPixelDC dc2(none, EPixelMode::Plain);
        dc2.MoveTo(1, 2);
        int32_t p = 5;
        DrawDashedLine(&dc2, 9, 9, c.dash, c.gap, p, B, W);
        EXPECT_TRUE(none.m_pixels.empty()) << c.dash << " " << c.gap;
        EXPECT_EQ(p, 5);
        EXPECT_EQ(dc2.GetX(), 1);
        EXPECT_EQ(dc2.GetY(), 2);
    }
    int32_t p = 5;
    DrawDashedLine(nullptr, 9, 9, 4, 4, p, B, W);
    EXPECT_EQ(p, 5);
}

TEST(Selection, OutlinePathSharesOnePhaseAndSetsCornersTwice)
{
    CRecordingSink sink;
    CBufferOwner owner(&sink);
    CSelection selection(&owner);
    EXPECT_EQ(selection.GetPhase(), 0);
    EXPECT_FALSE(selection.IsShown());
    EXPECT_TRUE(selection.IsSettled());
    EXPECT_EQ(selection.GetRect(), SRect{});

    selection.Show({1, 1, 4, 3});
    EXPECT_EQ(selection.GetPhase(), 1);
    EXPECT_TRUE(selection.IsShown());
    // Top, right side, then from the top-left corner again: left side, bottom. Both end points
    // of every side, so every corner comes twice with the next phase.
    const std::vector<SPixel> expected = {
        {1, 1, B}, {2, 1, W}, {3, 1, W}, {4, 1, W}, // top: phases 0 7 6 5
        {4, 1, W}, {4, 2, B}, {4, 3, B},            // right: 4 3 2
        {1, 1, B}, {1, 2, B}, {1, 3, W},            // left: 1 0 7
        {1, 3, W}, {2, 3, W}, {3, 3, W}, {4, 3, B}, // bottom: 6 5 4 3
    };
    EXPECT_EQ(sink.m_pixels, expected);
    EXPECT_EQ(sink.m_modes, std::vector<EPixelMode>(expected.size(), EPixelMode::Plain));
    EXPECT_EQ(owner.m_nTaken, 1);
    EXPECT_EQ(owner.m_nReleased, 1);
}

TEST(Selection, DashesMarchOnePixelPerShow)
{
    // Each step gives every pixel of the path the colour its predecessor had, also round the
    // corners and from one side to the next.
    CRecordingSink sink;
    CBufferOwner owner(&sink);
    CSelection selection(&owner);
    const SRect rect{10, 20, 47, 35};
    selection.Show(rect);
    std::vector<SPixel> previous = sink.m_pixels;
    for (int step = 0; step < 9; ++step)
    {
        sink.m_pixels.clear();
        selection.Tick();
        // The Hide inside the step draws the old outline again, then the new one follows.
        ASSERT_EQ(sink.m_pixels.size(), 2 * previous.size());
        const std::vector<SPixel> hidden(sink.m_pixels.begin(),
                                         sink.m_pixels.begin() + previous.size());
        const std::vector<SPixel> shown(sink.m_pixels.begin() + previous.size(),
                                        sink.m_pixels.end());
        EXPECT_EQ(hidden, previous) << "step " << step;
        for (size_t i = 1; i < previous.size(); ++i)
        {
            EXPECT_EQ(shown[i].x, previous[i].x);
            EXPECT_EQ(shown[i].y, previous[i].y);
            EXPECT_EQ(shown[i].clr, previous[i - 1].clr) << "step " << step << " " << i;
        }
        previous = shown;
    }
    EXPECT_EQ(selection.GetRect(), rect);
    EXPECT_EQ(selection.GetPhase(), 10);
    // A settled outline is only redrawn as it is (plainly) by its Hide inside each Show.
    EXPECT_EQ(owner.m_nTaken, 1 + 9 * 2);
}

TEST(Selection, DraggedOutlineLeavesNoTrace)
{
    struct SCase
    {
        SRect rect;
        // Whether the outline shows at all: on a rectangle without width the two sides cover
        // the same pixels 16 phase steps apart, and exclusive-or takes them off each other.
        bool visible;
    };
    const std::vector<SCase> cases = {
        {{5, 3, 30, 20}, true},
        {{30, 3, 5, 20}, true},    // dragged right to left: left beyond right
        {{-10, -5, 30, 20}, true}, // partly outside the picture
        {{12, 4, 12, 18}, false},  // no width
        {{12, 9, 12, 9}, false},   // a single point
        {{20, 10, 21, 11}, false}, // two by two
        {{50, 40, 60, 70}, false}, // wholly outside
    };
    const CPixelBuffer original = Noise(40, 25, 1234);
    CPixelBuffer picture = original;
    CBufferOwner owner(&picture);
    {
        CSelection selection(&owner);
        selection.SetSettled(0);
        selection.SetRect({5, 3, 5, 3});
        EXPECT_EQ(picture, original) << "SetRect draws nothing";
        for (const SCase& c : cases)
        {
            const SRect& rect = c.rect;
            selection.Show(rect);
            if (c.visible)
            {
                EXPECT_NE(picture, original) << rect.left << "," << rect.top;
            }
            // Showing twice with the same phase: Hide takes it off, Show puts the next one on.
            CPixelBuffer shown = picture;
            selection.Hide();
            EXPECT_EQ(picture, original) << rect.left << "," << rect.top;
            selection.Hide();
            EXPECT_EQ(picture, original) << "a second Hide draws nothing";
            selection.Show(rect);
            selection.Tick();
            if (c.visible)
            {
                EXPECT_NE(picture, shown) << "the dashes moved";
            }
        }
    }
    EXPECT_EQ(picture, original) << "destroying a shown drag outline takes it off";
    EXPECT_EQ(owner.m_nTaken, owner.m_nReleased);
}

TEST(Selection, SettledOutlineStaysUntilRepainted)
{
    const CPixelBuffer original = Noise(30, 20, 99);
    CPixelBuffer picture = original;
    CBufferOwner owner(&picture);
    CSelection selection(&owner);
    selection.Show({2, 2, 25, 15});
    const CPixelBuffer shown = picture;
    EXPECT_EQ(shown.GetPixel(2, 2), B); // phase 1: the first pixel is a dash
    EXPECT_EQ(shown.GetPixel(3, 2), W);
    EXPECT_EQ(shown.GetPixel(10, 10), original.GetPixel(10, 10)) << "inside is untouched";
    selection.Hide();
    EXPECT_EQ(picture, shown) << "a settled outline is drawn again unchanged";
    EXPECT_FALSE(selection.IsShown());
    // Settling a dragged outline: from then on it draws plainly.
    CPixelBuffer dragged = original;
    CBufferOwner dragOwner(&dragged);
    CSelection drag(&dragOwner);
    drag.SetSettled(0);
    drag.Show({2, 2, 25, 15});
    drag.Hide();
    drag.SetSettled(1);
    drag.Show({2, 2, 25, 15});
    for (int32_t x = 2; x <= 25; ++x)
        EXPECT_TRUE(dragged.GetPixel(x, 2) == B || dragged.GetPixel(x, 2) == W) << x;

    // A repaint puts a fresh picture under a settled outline that moved (a resized window):
    // drawn at its new place only, with the next phase, and nothing at the old one.
    picture = original;
    selection.Show({2, 2, 25, 15});
    picture = original;
    selection.Discard();
    selection.Show({4, 3, 20, 12});
    EXPECT_EQ(selection.GetPhase(), 3);
    EXPECT_EQ(picture.GetPixel(2, 2), original.GetPixel(2, 2));
    EXPECT_EQ(picture.GetPixel(25, 15), original.GetPixel(25, 15));
    EXPECT_TRUE(picture.GetPixel(4, 3) == B || picture.GetPixel(4, 3) == W);
}

TEST(Selection, WithoutAWindowNothingIsDrawn)
{
    CBufferOwner owner(nullptr);
    {
        CSelection selection(&owner);
        selection.Show({1, 2, 3, 4});
        EXPECT_TRUE(selection.IsShown());
        EXPECT_EQ(selection.GetPhase(), 1);
        selection.Tick();
        EXPECT_EQ(selection.GetPhase(), 2);
    }
    EXPECT_EQ(owner.m_nReleased, 0);
    CSelection orphan(nullptr);
    orphan.Show({1, 2, 3, 4});
    orphan.Tick();
    EXPECT_EQ(orphan.GetPhase(), 2);
}
