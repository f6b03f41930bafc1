// Real block devices: loop devices over image files (needs root).
#include "fixtures/LoopDevice.h"
#include "diskaccess/NtHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"
#include "platform/Memory.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace testing_fx;

namespace {

// The machine's drives, narrowed to one loop device so that the test does not depend on
// which other disks the machine lets us open.
class COnlyLoopNamespace : public platform::IDriveNamespace
{
public:
    explicit COnlyLoopNamespace(std::string name) : m_name(std::move(name)) {}
    std::string DrivePath(uint32_t n) const override
    {
        const auto disks = m_sysfs.ListDisks();
        const bool listed = std::find(disks.begin(), disks.end(), m_name) != disks.end();
        return n == 0 && listed ? "/dev/" + m_name : std::string();
    }

private:
    std::string m_name;
    platform::CSysfsDriveNamespace m_sysfs;
};

} // namespace

TEST(LoopDevice, DiscoveredOpenedUnbufferedAndRead)
{
    if (!IsRoot())
        GTEST_SKIP() << "loop devices need root";
    for (uint32_t sectorSize : {512u, 4096u})
    {
        SCOPED_TRACE(sectorSize);
        CTempDir dir;
        const std::string image = dir.File("disk.img");
        const uint64_t cylinderBytes = 255ull * 63 * sectorSize;
        CreateSparseFile(image, 5 * cylinderBytes);
        std::vector<uint8_t> mark(sectorSize, 0xC3);
        WriteAt(image, 3 * cylinderBytes + 2 * 63 * sectorSize, mark);

        CLoopDevice loop(image, "--sector-size " + std::to_string(sectorSize));
        if (loop.Path().empty())
            GTEST_SKIP() << "cannot attach a loop device: " << loop.Error();

        COnlyLoopNamespace ns(loop.Name());
        CNtHardDrive drive(ns);
        CDriveList list;
        ASSERT_EQ(drive.GetDrives(list), 1);
        EXPECT_EQ(list[0], (GEOMETRY{0, 5, 255, 63, sectorSize}));

        const GEOMETRY& g = list[0];
        ASSERT_TRUE(drive.Open(g.Drive, g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack,
                               g.BytesPerSector));
        EXPECT_TRUE(drive.IsCacheBypassed());
        platform::CPageBuffer buffer(63 * sectorSize);
        uint32_t got = 0;
        drive.ResetReadTime();
        ASSERT_TRUE(drive.ReadChs(3, 2, 0, 63, buffer.Get(), &got));
        EXPECT_EQ(got, 63u);
        EXPECT_EQ(buffer.Get()[0], 0xC3);
        EXPECT_EQ(buffer.Get()[sectorSize], 0x00);
        EXPECT_GT(drive.GetReadTime(), 0);

        // Past the end of the device.
        EXPECT_FALSE(drive.ReadChs(5, 0, 0, 1, buffer.Get(), &got));
        EXPECT_NE(drive.GetErrorCode(), 0u);
        EXPECT_EQ(got, 0u);
        drive.Close();
    }
}
