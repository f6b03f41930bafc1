// The speed graph written as PNG and SVG files through cairo, read back pixel by pixel.
#include "views/cairo/GraphImage.h"
#include "fixtures/TempDir.h"
#include "platform/Errors.h"
#include "views/GraphPainter.h"
#include "views/cairo/CairoCanvas.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace {

using CSurface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// The layout the cairo canvas arrives at, with pango's real text metrics.
SGraphLayout CairoLayout(const SGraphData& data, int32_t width, int32_t height)
{
    CSurface scratch(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1), cairo_surface_destroy);
    cairo_t* cr = cairo_create(scratch.get());
    SGraphLayout layout;
    {
        CCairoCanvas canvas(cr);
        canvas.SelectFont(GraphFont(height));
        layout = ComputeGraphLayout(data.m_nCylinders, data.m_nGraphMax, width, height,
                                    [&](const std::string& t) { return canvas.GetTextExtent(t); });
    }
    cairo_destroy(cr);
    return layout;
}

COLORREF PixelAt(cairo_surface_t* png, int32_t x, int32_t y)
{
    const unsigned char* row =
        cairo_image_surface_get_data(png) + y * cairo_image_surface_get_stride(png);
    const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
    return RgbColor(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                    static_cast<uint8_t>(p));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class GraphImage : public testing::Test
{
protected:
    void SetUp() override
    {
        m_data.m_nCylinders = 1000;
        m_data.m_nGraphMax = 900;
        m_data.m_bHasDrive = 1;
        m_data.m_partitions = {{100, 199, 0x79F8B6}};
        m_results.resize(1000);
        for (uint32_t i = 0; i < 1000; ++i)
        {
            m_results[i].m_nCylinder = static_cast<int32_t>(i);
            m_results[i].m_nSpeed = 450;
            m_results[i].m_dwError = i >= 600 && i < 620 ? 23 : 0;
        }
        m_data.m_pResults = m_results.data();
        m_data.m_nResults = 1000;
        m_sel.resize(100);
        for (uint32_t i = 0; i < 100; ++i)
        {
            m_sel[i].m_nCylinder = static_cast<int32_t>(800 + i);
            m_sel[i].m_nSpeed = 300;
        }
        m_data.m_bSelection = 1;
        m_data.m_nSelStart = 800;
        m_data.m_nSelEnd = 900;
        m_data.m_pSelResults = m_sel.data();
        m_data.m_nSelResults = 100;
    }

    testing_fx::CTempDir m_dir;
    SGraphData m_data;
    std::vector<CReadingResult> m_results;
    std::vector<CReadingResult> m_sel;
};

} // namespace

TEST(CairoCanvas, LinesSetThePixelsOfAOnePixelPen)
{
    CSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 20, 20), cairo_surface_destroy);
    cairo_t* cr = cairo_create(surface.get());
    const COLORREF white = RgbColor(255, 255, 255);
    const COLORREF blue = RgbColor(0, 0, 128);
    const COLORREF red = RgbColor(128, 0, 0);
    const SPen solid{blue, EPenStyle::Solid, 1};
    {
        CCairoCanvas canvas(cr);
        canvas.FillRect({0, 0, 20, 20}, white);
        canvas.DrawLine(2, 3, 6, 3, solid);                               // end excluded
        canvas.DrawLine(10, 8, 10, 2, solid);                             // upward
        canvas.DrawLine(2, 12, 12, 12, SPen{blue, EPenStyle::Dotted, 1}); // every other pixel
        canvas.DrawLine(0, 19, 6, 16, solid);                             // two pixels per row
        // Steps of a curve in one column, the last one in the error colour.
        canvas.DrawLine(14, 16, 14, 18, solid);
        canvas.DrawLine(14, 18, 14, 17, SPen{red, EPenStyle::Solid, 1});
        // Lines reaching far outside are clipped, not walked to their ends.
        canvas.DrawLine(17, 15, 17, std::numeric_limits<int32_t>::min(), solid);
        canvas.DrawLine(18, 18, std::numeric_limits<int32_t>::max(),
                        std::numeric_limits<int32_t>::min() + 5, solid);
    }
    cairo_destroy(cr);
    cairo_surface_t* s = surface.get();

    for (int32_t x = 0; x < 8; ++x)
        EXPECT_EQ(PixelAt(s, x, 3), x >= 2 && x < 6 ? blue : white) << "x " << x;
    for (int32_t y = 0; y < 10; ++y)
        EXPECT_EQ(PixelAt(s, 10, y), y > 2 && y <= 8 ? blue : white) << "y " << y;
    for (int32_t x = 1; x < 14; ++x)
        EXPECT_EQ(PixelAt(s, x, 12), x >= 2 && x < 12 && x % 2 == 0 ? blue : white) << "x " << x;
    for (int32_t x = 0; x < 7; ++x)
        for (int32_t y = 15; y < 20; ++y)
            EXPECT_EQ(PixelAt(s, x, y), x < 6 && y == 19 - x / 2 ? blue : white)
                << "diagonal " << x << ", " << y;
    EXPECT_EQ(PixelAt(s, 14, 15), white);
    EXPECT_EQ(PixelAt(s, 14, 16), blue);
    EXPECT_EQ(PixelAt(s, 14, 17), blue);
    EXPECT_EQ(PixelAt(s, 14, 18), red);
    for (int32_t y = 0; y < 20; ++y)
        EXPECT_EQ(PixelAt(s, 17, y), y <= 15 ? blue : white) << "y " << y;
    EXPECT_EQ(PixelAt(s, 18, 18), blue);
}

TEST(CairoCanvas, TextCellHasTheRequestedHeight)
{
    CSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 4, 4), cairo_surface_destroy);
    cairo_t* cr = cairo_create(surface.get());
    {
        CCairoCanvas canvas(cr);
        for (const int32_t cell : {10, 12, 14})
        {
            canvas.SelectFont(SFont{"Arial", cell, 400, 1});
            const SSize size = canvas.GetTextExtent("Speed[kB/s]");
            EXPECT_LE(size.cy, cell);
            EXPECT_GE(size.cy, cell - 1);
            EXPECT_GT(size.cx, 3 * cell);
        }
    }
    cairo_destroy(cr);
}

TEST_F(GraphImage, PngHasPlotPartitionSelectionAndCurveColours)
{
    const std::string path = m_dir.File("graph.png");
    ASSERT_EQ(WriteGraphImage(m_data, 640, 480, path, EGraphImageFormat::Png), 0u);

    CSurface png(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(png.get()), 640);
    ASSERT_EQ(cairo_image_surface_get_height(png.get()), 480);

    const SGraphLayout l = CairoLayout(m_data, 640, 480);
    ASSERT_TRUE(l.m_bPlot);
    // A row between the two lowest speed grid lines, clear of both curves.
    const int32_t y = l.m_speedGrid[1].pos + 3;
    ASSERT_LT(y, l.m_speedGrid[0].pos);
    // Columns clear of the dotted cylinder grid.
    auto clearOfGrid = [&](uint32_t cylinder) {
        const int32_t x = l.CylinderX(cylinder);
        for (const SGraphGridLine& line : l.m_cylinderGrid)
            EXPECT_GT(std::abs(line.pos - x), 1) << "cylinder " << cylinder;
        return x;
    };

    EXPECT_EQ(PixelAt(png.get(), 2, 2), RgbColor(245, 245, 245));
    EXPECT_EQ(PixelAt(png.get(), l.m_nX0, y), RgbColor(128, 128, 128)); // speed axis
    EXPECT_EQ(PixelAt(png.get(), clearOfGrid(40), y), RgbColor(182, 184, 184));
    EXPECT_EQ(PixelAt(png.get(), clearOfGrid(250), y), RgbColor(182, 248, 121));
    EXPECT_EQ(PixelAt(png.get(), clearOfGrid(850), y), RgbColor(2, 182, 182));
    EXPECT_EQ(PixelAt(png.get(), l.CylinderX(300), l.SpeedY(450)), RgbColor(0, 0, 128));
    EXPECT_EQ(PixelAt(png.get(), l.CylinderX(610), l.SpeedY(450)), RgbColor(128, 0, 0));
    EXPECT_EQ(PixelAt(png.get(), l.CylinderX(850), l.SpeedY(300)), RgbColor(255, 255, 0));
    // The partition column ends before x0 + (100 + 199 + 1) ÷ xScale, where its boundary
    // line stands.
    const int32_t x2 = clearOfGrid(300);
    EXPECT_EQ(PixelAt(png.get(), x2 - 1, y), RgbColor(182, 248, 121));
    EXPECT_EQ(PixelAt(png.get(), x2, y), RgbColor(128, 128, 128));
    EXPECT_EQ(PixelAt(png.get(), x2 + 1, y), RgbColor(182, 184, 184));
}

TEST_F(GraphImage, SvgIsWritten)
{
    const std::string path = m_dir.File("graph.svg");
    ASSERT_EQ(WriteGraphImage(m_data, 800, 600, path, EGraphImageFormat::Svg), 0u);
    const std::string svg = ReadFile(path);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("width=\"800"), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(GraphImage, WriteErrorsAreReported)
{
    struct SCase
    {
        std::string Path;
        int32_t Width;
        uint32_t Error;
    };
    const SCase cases[] = {
        {m_dir.File("missing/graph"), 640, platform::err::FileNotFound},
        {"/dev/full", 640, platform::err::DiskFull},
        {m_dir.File("zero-width"), 0, platform::err::InvalidParameter},
        {m_dir.File("too-wide"), kMaxGraphImageSide + 1, platform::err::InvalidParameter},
    };
    for (const SCase& c : cases)
        for (const EGraphImageFormat format : {EGraphImageFormat::Png, EGraphImageFormat::Svg})
        {
            SCOPED_TRACE(c.Path + (format == EGraphImageFormat::Png ? " png" : " svg"));
            EXPECT_EQ(WriteGraphImage(m_data, c.Width, 480, c.Path, format), c.Error);
            if (c.Path != "/dev/full")
            {
                EXPECT_FALSE(std::filesystem::exists(c.Path));
            }
        }
    EXPECT_TRUE(std::filesystem::exists("/dev/full")); // a device is never removed
}
