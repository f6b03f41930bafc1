// Whole runs of ratemark-cli on worn disks: real block-device errors and delays from a
// faultdisk file under a read-only loop device.
#include "fixtures/DiskImage.h"
#include "fixtures/FaultDisk.h"
#include "fixtures/TempDir.h"

#include <cairo.h>
#include <cstring>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace testing_fx;

namespace {

constexpr uint64_t kCylinderSectors = 255 * 63;
constexpr uint64_t kCylinderBytes = kCylinderSectors * 512;

SFaultRange CylinderRange(uint64_t first, uint64_t last)
{
    return {first * kCylinderSectors, (last + 1) * kCylinderSectors - 1};
}

struct SRun
{
    int Exit = -1;
    std::string Out;
    nlohmann::json Json;
};

// Runs a linear test of device without the sub-tests, with the run's JSON on stdout.
SRun LinearRun(const std::string& device, const std::string& extra)
{
    SRun run;
    run.Exit =
        RunCommand(std::string(RATEMARK_CLI) + " test --quiet --no-random-access --no-burst" +
                       " --drive " + device + " --json - " + extra + " 2>/dev/null",
                   &run.Out);
    const auto brace = run.Out.find('{');
    if (brace != std::string::npos)
        run.Json = nlohmann::json::parse(run.Out.substr(brace), nullptr, false);
    return run;
}

std::string Sha256(const std::string& path)
{
    std::string out;
    RunCommand("sha256sum '" + path + "'", &out);
    return out.substr(0, 64);
}

// The number of pixels of colour 0xRRGGBB in a PNG file.
int CountColour(const std::string& png, uint32_t rgb)
{
    cairo_surface_t* picture = cairo_image_surface_create_from_png(png.c_str());
    int n = 0;
    if (cairo_surface_status(picture) == CAIRO_STATUS_SUCCESS)
    {
        const int w = cairo_image_surface_get_width(picture);
        const int h = cairo_image_surface_get_height(picture);
        for (int y = 0; y < h; ++y)
        {
            const uint8_t* row =
                cairo_image_surface_get_data(picture) +
                static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(picture);
            for (int x = 0; x < w; ++x)
            {
                uint32_t argb;
                std::memcpy(&argb, row + 4 * x, 4);
                n += (argb & 0xFFFFFF) == rgb;
            }
        }
    }
    cairo_surface_destroy(picture);
    return n;
}

class FaultRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const std::string why = CFaultDisk::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
    }
    CTempDir m_dir;
};

} // namespace

TEST_F(FaultRun, BadSectorsAreRecordedAtTheirCylindersAndNothingIsWritten)
{
    // An image with a partition table and some data, served read-only.
    const std::string image = m_dir.File("worn.img");
    CreateSparseFile(image, 10 * kCylinderBytes);
    WriteAt(image, 0, TableSector({{0x83, 63, 10 * 16065 - 63}}));
    WriteAt(image, 5 * kCylinderBytes + 4096, std::vector<uint8_t>(65536, 0x6B));
    const std::string before = Sha256(image);

    SFaultDiskConfig config;
    config.Image = image;
    config.BaseMBps = 400;
    // One bad track inside cylinder 3, one bad sector inside cylinder 7.
    config.Bad = {{3 * kCylinderSectors + 100 * 63, 3 * kCylinderSectors + 100 * 63 + 62},
                  {7 * kCylinderSectors + 10, 7 * kCylinderSectors + 10}};
    CFaultDisk disk(config);
    ASSERT_TRUE(disk.Ok()) << disk.Error();

    const std::string png = m_dir.File("worn.png");
    const SRun goOn = LinearRun(disk.Device(), "--on-read-error continue --png " + png);
    ASSERT_EQ(goOn.Exit, 3) << goOn.Out;
    ASSERT_TRUE(goOn.Json.is_object()) << goOn.Out;
    EXPECT_EQ(goOn.Json["ended"], "completed");
    const auto& results = goOn.Json["results"];
    ASSERT_EQ(results.size(), 10u);
    for (int c = 0; c < 10; ++c)
    {
        EXPECT_EQ(results[c]["cylinder"], c);
        EXPECT_EQ(results[c]["error"], c == 3 || c == 7 ? 23 : 0) << "cylinder " << c;
        // A failed read ends its cylinder: the speed counts what was read before it.
        if (c == 7)
            EXPECT_EQ(results[c]["speed"], 0) << "cylinder " << c;
        else
            EXPECT_GT(results[c]["speed"].get<uint32_t>(), 0u) << "cylinder " << c;
    }
    // The curve's segments that touch the failed cylinders are drawn in the error colour.
    EXPECT_GT(CountColour(png, 0x800000), 0);
    EXPECT_GT(CountColour(png, 0x000080), 0);

    // Stop at the first error: the run ends at cylinder 3.
    const SRun stop = LinearRun(disk.Device(), "--on-read-error stop");
    ASSERT_TRUE(stop.Json.is_object()) << stop.Out;
    EXPECT_EQ(stop.Json["ended"], "cancelled");
    for (const auto& r : stop.Json["results"])
        EXPECT_LE(r["cylinder"].get<int>(), 3);

    // Nothing reached the disk but reads, and its content is as it was.
    const SFaultDiskStats stats = disk.Stats();
    ASSERT_TRUE(stats.Valid);
    EXPECT_EQ(stats.WriteAttempts, 0u);
    EXPECT_GT(stats.ReadErrors, 0u);
    disk.Stop();
    EXPECT_EQ(Sha256(image), before);
}

TEST_F(FaultRun, TheCurveFollowsTheZonesAndFindsTheSlowSpot)
{
    SFaultDiskConfig config;
    config.Bytes = 16 * kCylinderBytes;
    // Slow enough that the delays, not the cost of each request, set the speeds.
    config.Zones = {{CylinderRange(0, 7).First, CylinderRange(0, 7).Last, 2},
                    {CylinderRange(8, 15).First, CylinderRange(8, 15).Last, 1},
                    {CylinderRange(12, 12).First, CylinderRange(12, 12).Last, 0.25}};
    CFaultDisk disk(config);
    ASSERT_TRUE(disk.Ok()) << disk.Error();

    // The fast test samples all sixteen cylinders, a tenth of their tracks each.
    const SRun run = LinearRun(disk.Device(), "--fast");
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const auto& results = run.Json["results"];
    ASSERT_EQ(results.size(), 16u);
    double outer = 0, inner = 0;
    for (int c = 0; c < 16; ++c)
    {
        const double speed = results[c]["speed"].get<uint32_t>();
        if (c < 8)
            outer += speed / 8;
        else if (c != 12)
            inner += speed / 7;
    }
    EXPECT_NEAR(outer / inner, 2.0, 0.2) << "outer " << outer << " inner " << inner;
    EXPECT_EQ(run.Json["stats"]["min_speed_cylinder"], 12);
    EXPECT_LT(run.Json["stats"]["min_speed"].get<uint32_t>(), inner / 2);
}

TEST_F(FaultRun, AVanishingDriveEndsTheRunCleanly)
{
    for (EFaultVanish how : {EFaultVanish::Exit, EFaultVanish::Enodev})
    {
        SCOPED_TRACE(how == EFaultVanish::Exit ? "daemon exits" : "ENODEV");
        SFaultDiskConfig config;
        config.Bytes = 8 * kCylinderBytes;
        config.BaseMBps = 400;
        config.VanishAtSector = 3 * kCylinderSectors + 17 * 63;
        config.VanishAs = how;
        CFaultDisk disk(config);
        ASSERT_TRUE(disk.Ok()) << disk.Error();

        const std::string dat = m_dir.File("vanished.dat");
        const SRun run = LinearRun(disk.Device(), "--on-read-error continue --out " + dat);
        ASSERT_EQ(run.Exit, 3) << run.Out;
        ASSERT_TRUE(run.Json.is_object()) << run.Out;
        // Through the loop device a daemon that has gone shows as EIO, a read error like any
        // other, so the run goes on; ENODEV says the device itself is gone, and the run ends
        // at the cylinder where it went.
        const size_t measured = how == EFaultVanish::Exit ? 8 : 4;
        const auto& results = run.Json["results"];
        ASSERT_EQ(results.size(), measured);
        EXPECT_EQ(results[0]["error"], 0);
        EXPECT_NE(results[measured - 1]["error"], 0);
        // What was measured is written.
        std::string text;
        RunCommand("wc -l < '" + dat + "'", &text);
        EXPECT_EQ(std::stoul(text), measured);
    }
}
