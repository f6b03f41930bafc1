// Drive numbering over a fake sysfs tree.
#include "platform/DriveNamespace.h"

#include "fixtures/TempDir.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

using testing_fx::CTempDir;
namespace fs = std::filesystem;

TEST(DriveNamespace, RealDisksInNaturalOrderThenAttachedLoops)
{
    CTempDir dir;
    const fs::path block = dir.Path() / "block";
    for (const char* name :
         {"sdb", "loop10", "sdaa", "ram0", "zram0", "dm-0", "md127", "loop2", "nvme0n10", "sda",
          "loop1", "nvme0n2", "vda", "sdz", "mmcblk0", "mmcblk0rpmb", "sr0"})
        fs::create_directories(block / name);
    // Attached loop devices show their backing file.
    for (const char* name : {"loop10", "loop2"})
    {
        fs::create_directories(block / name / "loop");
        std::ofstream(block / name / "loop" / "backing_file") << "/images/x.img\n";
    }

    platform::CSysfsDriveNamespace ns(block.string(), "/fake/dev");
    const std::vector<std::string> expected = {"mmcblk0", "nvme0n2", "nvme0n10", "sda",   "sdb",
                                               "sdz",     "sdaa",    "vda",      "loop2", "loop10"};
    EXPECT_EQ(ns.ListDisks(), expected);
    EXPECT_EQ(ns.DrivePath(0), "/fake/dev/mmcblk0");
    EXPECT_EQ(ns.DrivePath(9), "/fake/dev/loop10");
    EXPECT_EQ(ns.DrivePath(10), "");

    platform::DeviceHandle device;
    EXPECT_EQ(ns.OpenDrive(10, platform::DeviceMode::Buffered, &device), 2u);
}

TEST(DriveNamespace, MissingSysfsHasNoDrives)
{
    platform::CSysfsDriveNamespace ns("/nonexistent/block", "/dev");
    EXPECT_TRUE(ns.ListDisks().empty());
    EXPECT_EQ(ns.DrivePath(0), "");
}

TEST(DriveNamespace, NaturalNameOrder)
{
    const std::pair<const char*, const char*> ordered[] = {
        {"sda", "sdb"},          {"sdz", "sdaa"},     {"sdaa", "sdab"}, {"nvme0n2", "nvme0n10"},
        {"nvme1n1", "nvme10n1"}, {"loop9", "loop10"}, {"hda", "sda"},   {"loop007", "loop8"},
    };
    for (const auto& [a, b] : ordered)
    {
        EXPECT_TRUE(platform::DiskNameLess(a, b)) << a << " < " << b;
        EXPECT_FALSE(platform::DiskNameLess(b, a)) << b << " < " << a;
    }
    EXPECT_FALSE(platform::DiskNameLess("sda", "sda"));
}
