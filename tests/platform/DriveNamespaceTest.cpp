// Drive numbering over a fake sysfs tree.
#include "platform/DriveNamespace.h"

#include "fixtures/TempDir.h"
#include "platform/Errors.h"

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

namespace {

// One disk's directory in a fake sysfs tree: size in 512-byte units, logical sector size.
void FakeDisk(const fs::path& dir, const std::string& size, const std::string& sectorSize)
{
    fs::create_directories(dir / "queue");
    if (!size.empty())
        std::ofstream(dir / "size") << size;
    if (!sectorSize.empty())
        std::ofstream(dir / "queue" / "logical_block_size") << sectorSize;
}

} // namespace

TEST(DriveNamespace, SizeUnopenedFromSysfsAttributes)
{
    CTempDir dir;
    const struct
    {
        const char* Size;
        const char* SectorSize;
        uint32_t Error;
        uint64_t Bytes;
        uint32_t BytesPerSector;
    } cases[] = {
        {"976773168\n", "512\n", 0, 976773168ull * 512, 512},
        // A 4K-sector disk still counts "size" in 512-byte units.
        {"16384\n", "4096\n", 0, 16384ull * 512, 4096},
        {"0\n", "512\n", 0, 0, 512},
        {"", "512\n", platform::err::InvalidFunction, 0, 0},
        {"2048\n", "", platform::err::InvalidFunction, 0, 0},
        {"-5\n", "512\n", platform::err::InvalidFunction, 0, 0},
        {"2048\n", "0\n", platform::err::InvalidFunction, 0, 0},
        {"99999999999999999999\n", "512\n", platform::err::InvalidFunction, 0, 0},
    };
    int i = 0;
    for (const auto& c : cases)
    {
        const fs::path disk = dir.Path() / ("disk" + std::to_string(i++));
        FakeDisk(disk, c.Size, c.SectorSize);
        platform::DeviceSize size{1, 1};
        EXPECT_EQ(platform::ReadSysfsDiskSize(disk.string(), &size), c.Error) << c.Size;
        EXPECT_EQ(size.Bytes, c.Bytes) << c.Size;
        EXPECT_EQ(size.BytesPerSector, c.BytesPerSector) << c.Size;
    }
}

TEST(DriveNamespace, DriveSizeUnopenedFollowsTheDriveNumbers)
{
    CTempDir dir;
    const fs::path block = dir.Path() / "block";
    FakeDisk(block / "sdb", "4096", "512");
    FakeDisk(block / "nvme0n1", "1024", "4096");
    platform::CSysfsDriveNamespace ns(block.string(), "/fake/dev");
    platform::DeviceSize size;
    ASSERT_EQ(ns.QueryDriveSizeUnopened(0, &size), 0u);
    EXPECT_EQ(size.Bytes, 1024u * 512);
    EXPECT_EQ(size.BytesPerSector, 4096u);
    ASSERT_EQ(ns.QueryDriveSizeUnopened(1, &size), 0u);
    EXPECT_EQ(size.Bytes, 4096u * 512);
    EXPECT_EQ(ns.QueryDriveSizeUnopened(2, &size), platform::err::FileNotFound);
}
