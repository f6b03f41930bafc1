// ratemark-cli list and partitions, run as a user would run them.
#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"

#include <cairo.h>
#include <cstring>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

using namespace testing_fx;

namespace {

struct SRun
{
    int Exit;
    std::string Out;
};

// Runs ratemark-cli with args; stderr is folded into Out when foldErr is set.
SRun Cli(const std::string& args, bool foldErr = false)
{
    SRun run;
    run.Exit = RunCommand(
        std::string(RATEMARK_CLI) + " " + args + (foldErr ? " 2>&1" : " 2>/dev/null"), &run.Out);
    return run;
}

constexpr uint64_t kCylinderBytes = 255ull * 63 * 512;

} // namespace

TEST(Cli, PartitionsJsonInWalkOrder)
{
    CTempDir dir;
    const std::string image = dir.File("disk.img");
    CreateSparseFile(image, 300 * kCylinderBytes);
    WriteAt(image, 0, TableSector({{0x0B, 63, 2000000}, {0x0F, 2000125, 3000000}}));
    WriteAt(image, 2000125ull * 512, TableSector({{0x07, 63, 1000000}, {0x05, 1000125, 500063}}));
    WriteAt(image, 3000250ull * 512, TableSector({{0x83, 63, 500000}}));

    const SRun run = Cli("partitions --json --drive '" + image + "'");
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const auto doc = nlohmann::json::parse(run.Out);
    EXPECT_EQ(doc["label"], "dos");
    EXPECT_EQ(doc["drive"]["path"], image);
    EXPECT_EQ(doc["drive"]["cylinders"], 300);
    EXPECT_EQ(doc["drive"]["heads"], 255);
    EXPECT_EQ(doc["drive"]["sectors_per_track"], 63);
    EXPECT_EQ(doc["drive"]["bytes_per_sector"], 512);
    const auto expected = nlohmann::json::parse(R"([
        {"abs_start": 63, "type": 11, "class": "FAT32", "color": 7993526,
         "start_cylinder": 0, "cylinders": 124, "sectors": 2000000},
        {"abs_start": 2000188, "type": 7, "class": "NTFS", "color": 15322623,
         "start_cylinder": 124, "cylinders": 62, "sectors": 1000000},
        {"abs_start": 3000313, "type": 131, "class": "Linux", "color": 8842220,
         "start_cylinder": 186, "cylinders": 31, "sectors": 500000}])");
    EXPECT_EQ(doc["partitions"], expected);

    const SRun text = Cli("partitions --drive '" + image + "'");
    EXPECT_EQ(text.Exit, 0);
    EXPECT_NE(text.Out.find("NTFS"), std::string::npos);
    EXPECT_NE(text.Out.find("Partition table: dos"), std::string::npos);
}

TEST(Cli, PartitionsOfAGuidTableAndOfABlankDrive)
{
    if (RunCommand("command -v sfdisk >/dev/null") != 0)
        GTEST_SKIP() << "sfdisk (package fdisk) is not installed";
    CTempDir dir;
    const std::string image = dir.File("gpt.img");
    CreateSparseFile(image, 300 * kCylinderBytes);
    ASSERT_EQ(
        RunCommand("printf 'label: gpt\\nstart=2048,size=1000000,"
                   "type=0FC63DAF-8483-4772-8E79-3D69D8477DE4,name=\"root fs\"\\n"
                   "start=1003520,size=500000,type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE\\n' | "
                   "sfdisk -q '" +
                   image + "' >/dev/null 2>&1"),
        0);

    const SRun run = Cli("partitions --json --drive '" + image + "'");
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const auto doc = nlohmann::json::parse(run.Out);
    EXPECT_EQ(doc["label"], "gpt");
    const auto expected = nlohmann::json::parse(R"([
        {"abs_start": 2048, "type": 238, "class": "Linux", "color": 8842220,
         "start_cylinder": 0, "cylinders": 62, "sectors": 1000000, "name": "root fs",
         "type_guid": "0FC63DAF-8483-4772-8E79-3D69D8477DE4"},
        {"abs_start": 1003520, "type": 238, "class": "Other", "color": 16766678,
         "start_cylinder": 62, "cylinders": 31, "sectors": 500000, "name": "",
         "type_guid": "E3C9E316-0B5C-4DB8-817D-F92DF00215AE"}])");
    EXPECT_EQ(doc["partitions"], expected);

    const SRun text = Cli("partitions --drive '" + image + "'");
    EXPECT_EQ(text.Exit, 0);
    EXPECT_NE(text.Out.find("Partition table: gpt"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("0FC63DAF-8483-4772-8E79-3D69D8477DE4 \"root fs\""), std::string::npos)
        << text.Out;

    const std::string blank = dir.File("blank.img");
    CreateSparseFile(blank, 3 * kCylinderBytes);
    const SRun none = Cli("partitions --json --drive '" + blank + "'");
    ASSERT_EQ(none.Exit, 0);
    EXPECT_EQ(nlohmann::json::parse(none.Out)["label"], "none");
    EXPECT_EQ(nlohmann::json::parse(none.Out)["partitions"], nlohmann::json::array());
}

TEST(Cli, ExitCodesAndMessages)
{
    CTempDir dir;
    const std::string small = dir.File("small.img");
    CreateSparseFile(small, kCylinderBytes - 512);
    const std::string empty = dir.File("empty.img");
    CreateSparseFile(empty, 0);
    const struct
    {
        std::string Args;
        int Exit;
        const char* Says;
    } cases[] = {
        {"--version", 0, "ratemark-cli"},
        {"--help", 0, "partitions"},
        {"", 2, ""},
        {"frobnicate", 2, ""},
        {"partitions", 2, "--drive"},
        {"partitions --drive " + dir.File("missing.img"), 1, "Can't open drive"},
        {"partitions --drive " + dir.Path().string(), 1, "Can't open drive"},
        {"partitions --drive /dev/null", 1, "Can't open drive"},
        {"partitions --drive " + small, 1, "smaller than one cylinder"},
        {"partitions --drive " + empty, 1, "smaller than one cylinder"},
    };
    for (const auto& c : cases)
    {
        const SRun run = Cli(c.Args, true);
        EXPECT_EQ(run.Exit, c.Exit) << c.Args << ": " << run.Out;
        EXPECT_NE(run.Out.find(c.Says), std::string::npos) << c.Args << ": " << run.Out;
    }
}

TEST(Cli, ListIsValidJsonOrSaysNoDrive)
{
    const SRun run = Cli("list --json", true);
    if (run.Exit == 1)
    {
        EXPECT_NE(run.Out.find("can't detect hard drives"), std::string::npos) << run.Out;
        return;
    }
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const auto list = nlohmann::json::parse(run.Out);
    ASSERT_TRUE(list.is_array());
    for (size_t i = 0; i < list.size(); ++i)
    {
        EXPECT_EQ(list[i]["index"], i);
        EXPECT_GT(list[i]["cylinders"].get<uint32_t>(), 0u);
    }
}

TEST(Cli, UserWithoutRightsToDrives)
{
    if (!IsRoot())
        GTEST_SKIP() << "needs root to run the program as nobody";
    CTempDir dir;
    const std::string image = dir.File("private.img");
    CreateSparseFile(image, 2 * kCylinderBytes);
    chmod(image.c_str(), 0600);
    chmod(dir.Path().c_str(), 0755);
    const std::string asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";

    std::string out;
    EXPECT_EQ(RunCommand(asNobody + RATEMARK_CLI + " list 2>&1", &out), 1);
    EXPECT_NE(out.find("Application can't detect hard drives in your system.\nSorry!"),
              std::string::npos)
        << out;

    out.clear();
    EXPECT_EQ(RunCommand(asNobody + RATEMARK_CLI + " partitions --drive " + image + " 2>&1", &out),
              1);
    EXPECT_NE(out.find("Can't open drive"), std::string::npos) << out;
    EXPECT_NE(out.find("access denied"), std::string::npos) << out;
}

namespace {

// A sample image with two partitions; sparse, so its reads are quick.
std::string SampleImage(const CTempDir& dir, uint32_t cylinders)
{
    const std::string image = dir.File("sample.img");
    CreateSparseFile(image, cylinders * kCylinderBytes);
    WriteAt(image, 0,
            TableSector({{0x07, 63, 4 * 16065 - 63}, {0x83, 4 * 16065, (cylinders - 5) * 16065}}));
    return image;
}

std::string ReadFile(const std::string& path)
{
    std::string text;
    RunCommand("cat '" + path + "'", &text);
    return text;
}

} // namespace

TEST(CliTest, FastRunRowsResultFileAndJsonAgree)
{
    CTempDir dir;
    const std::string image = SampleImage(dir, 40);
    const std::string dat = dir.File("run.dat"), json = dir.File("run.json"),
                      png = dir.File("run.png");
    const SRun run = Cli("test --fast --drive " + image + " --out " + dat + " --json " + json +
                         " --png " + png + " --size 640x400");
    ASSERT_EQ(run.Exit, 0) << run.Out;
    for (const char* label :
         {"Cylinders            40", "Heads                255", "Sectors              63",
          "Avr. access time", "Max. speed", "Cylinders tested     40", "Test time"})
        EXPECT_NE(run.Out.find(label), std::string::npos) << label << "\n" << run.Out;

    const auto doc = nlohmann::json::parse(ReadFile(json));
    EXPECT_EQ(doc["ended"], "completed");
    EXPECT_EQ(doc["options"]["fast"], true);
    EXPECT_TRUE(doc["stats"]["access_time"].is_null());
    EXPECT_EQ(doc["stats"]["cylinders_tested"], 40);
    EXPECT_EQ(doc["partitions"].size(), 2u);
    EXPECT_EQ(doc["drive"]["cylinders"], 40);
    std::string expected;
    for (const auto& r : doc["results"])
    {
        EXPECT_EQ(r["error"], 0);
        expected += std::to_string(r["cylinder"].get<int>()) + " " +
                    std::to_string(r["speed"].get<uint32_t>()) + "\n";
    }
    EXPECT_EQ(doc["results"].size(), 40u);
    EXPECT_EQ(ReadFile(dat), expected);

    // The picture: partition columns in list order along a row of the plot, and the curve.
    cairo_surface_t* picture = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(picture), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(picture), 640);
    EXPECT_EQ(cairo_image_surface_get_height(picture), 400);
    const auto pixel = [&](int x, int y) {
        const uint8_t* row = cairo_image_surface_get_data(picture) +
                             static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(picture);
        uint32_t argb;
        std::memcpy(&argb, row + 4 * x, 4);
        return argb & 0xFFFFFF; // 0xRRGGBB
    };
    int ntfs = -1, linux = -1, curve = 0;
    for (int x = 0; x < 640; ++x)
    {
        const uint32_t c = pixel(x, 300);
        if (c == 0xFFCDE9 && ntfs < 0)
            ntfs = x;
        if (c == 0xECEB86 && linux < 0)
            linux = x;
        for (int y = 0; y < 400; ++y)
            curve += pixel(x, y) == 0x000080;
    }
    cairo_surface_destroy(picture);
    EXPECT_GE(ntfs, 0);
    EXPECT_GT(linux, ntfs);
    EXPECT_GT(curve, 0);
}

TEST(CliTest, FullRunHasAccessTimeAndBurstSpeed)
{
    CTempDir dir;
    const std::string image = SampleImage(dir, 6);
    const SRun run = Cli("test --drive " + image + " --json -");
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const auto doc = nlohmann::json::parse(run.Out);
    EXPECT_EQ(doc["ended"], "completed");
    EXPECT_FALSE(doc["stats"]["access_time"].is_null());
    EXPECT_GT(doc["stats"]["burst_speed"].get<uint32_t>(), 0u);
    EXPECT_EQ(doc["results"].size(), 6u);
    EXPECT_EQ(doc["options"]["random_access"], true);
    EXPECT_EQ(doc["options"]["burst"], true);

    // The options say what ran, and what did not run has no value.
    const struct
    {
        const char* Args;
        bool RandomAccess, Burst;
    } cases[] = {
        {" --no-burst", true, false},
        {" --no-random-access", false, true},
        {" --fast", false, false},
        {" --from 1 --to 3", false, false},
    };
    for (const auto& c : cases)
    {
        const SRun sub = Cli("test --drive " + image + " --json -" + c.Args);
        ASSERT_EQ(sub.Exit, 0) << c.Args;
        const auto json = nlohmann::json::parse(sub.Out);
        EXPECT_EQ(json["options"]["random_access"], c.RandomAccess) << c.Args;
        EXPECT_EQ(json["options"]["burst"], c.Burst) << c.Args;
        EXPECT_EQ(json["stats"]["access_time"].is_null(), !c.RandomAccess) << c.Args;
        EXPECT_EQ(json["stats"]["burst_speed"].is_null(), !c.Burst) << c.Args;
    }
}

TEST(CliTest, RangeRunMeasuresExactlyItsCylinders)
{
    CTempDir dir;
    const std::string image = SampleImage(dir, 12);
    const SRun run = Cli("test --drive " + image + " --from 3 --to 7 --no-random-access --json -");
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const auto doc = nlohmann::json::parse(run.Out);
    ASSERT_EQ(doc["results"].size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(doc["results"][i]["cylinder"], 3 + i);
    EXPECT_EQ(doc["stats"]["cylinders_tested"], 4);
    EXPECT_TRUE(doc["stats"]["access_time"].is_null());
    EXPECT_EQ(doc["options"]["from"], 3);
}

TEST(CliTest, TestUsageAndOutputErrors)
{
    CTempDir dir;
    const std::string image = SampleImage(dir, 6);
    const std::string drive = " --drive " + image;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct
    {
        std::string Args;
        int Exit;
        const char* Says;
    } cases[] = {
        {"test" + drive + " --fast --full", 2, "excludes"},
        {"test" + drive + " --from 1", 2, "requires"},
        {"test" + drive + " --from 1 --to 3 --out x.dat", 2, "excludes"},
        {"test" + drive + " --from 4 --to 2", 2, "no range"},
        {"test" + drive + " --from 0 --to 7", 2, "no range"},
        {"test" + drive + " --size 0x10", 2, "--size"},
        {"test" + drive + " --size wide", 2, "--size"},
        {"test" + drive + " --on-read-error maybe", 2, "on-read-error"},
        {"test --drive " + dir.File("missing.img"), 1, "Can't open drive"},
        {"test --drive /dev/zero", 1, "Can't open drive"},
        {"test --drive " + fifo, 1, "Can't open drive"},
        {"test --drive " + dir.Path().string(), 1, "Can't open drive"},
        // Outputs go to regular files only; a folder that is missing is found before the run.
        {"test" + drive + " --fast --out /dev/full", 2, "/dev/full"},
        {"test" + drive + " --fast --json " + dir.File("no/such/dir.json"), 1, "JSON"},
        {"test" + drive + " --fast --png /dev/full", 2, "regular files"},
        {"test" + drive + " --fast --svg " + dir.File("no/such/dir.svg"), 1, "picture"},
    };
    for (const auto& c : cases)
    {
        const SRun run = Cli(c.Args, true);
        EXPECT_EQ(run.Exit, c.Exit) << c.Args << ": " << run.Out;
        EXPECT_NE(run.Out.find(c.Says), std::string::npos) << c.Args << ": " << run.Out;
    }
}
