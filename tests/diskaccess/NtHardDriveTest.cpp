// The physical-drive back-end on image files and fake drive namespaces.
#include "diskaccess/NtHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/FakeBroker.h"
#include "fixtures/TempDir.h"
#include "platform/Errors.h"
#include "platform/Memory.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <thread>

using namespace testing_fx;

namespace {

constexpr uint64_t kCylinderBytes = 255ull * 63 * 512;

// Drive numbers mapped to files, with chosen open errors.
class CFakeNamespace : public platform::IDriveNamespace
{
public:
    std::map<uint32_t, std::string> Paths;
    std::map<uint32_t, uint32_t> OpenErrors;
    // What sysfs would tell of a drive that cannot be opened.
    std::map<uint32_t, platform::DeviceSize> UnopenedSizes;
    mutable std::vector<uint32_t> Opened;

    std::string DrivePath(uint32_t n) const override
    {
        auto it = Paths.find(n);
        return it == Paths.end() ? std::string() : it->second;
    }
    uint32_t OpenDrive(uint32_t n, platform::DeviceMode mode, platform::DeviceHandle* out,
                       bool* bypassed) const override
    {
        Opened.push_back(n);
        if (auto it = OpenErrors.find(n); it != OpenErrors.end())
            return it->second;
        return IDriveNamespace::OpenDrive(n, mode, out, bypassed);
    }
    uint32_t QueryDriveSizeUnopened(uint32_t n, platform::DeviceSize* out) const override
    {
        auto it = UnopenedSizes.find(n);
        if (it == UnopenedSizes.end())
            return platform::err::InvalidFunction;
        *out = it->second;
        return 0;
    }
};

class NtHardDriveTest : public ::testing::Test
{
protected:
    CTempDir m_dir;
    CFakeNamespace m_ns;
    CFakeBroker m_broker;

    std::string Image(const std::string& name, uint64_t size)
    {
        const std::string path = m_dir.File(name);
        CreateSparseFile(path, size);
        return path;
    }
};

} // namespace

TEST_F(NtHardDriveTest, ReadChsAddressesBeyondFourGigabytes)
{
    // 600 cylinders of 255 × 63 × 512 bytes: about 4.9 GB, sparse.
    const std::string path = Image("big.img", 600 * kCylinderBytes);
    const uint32_t cylinder = 540, head = 7;
    const uint64_t offset = (uint64_t{cylinder} * 255 + head) * 63 * 512;
    ASSERT_GT(offset, 0x100000000ull);
    WriteAt(path, offset, std::vector<uint8_t>(512, 0xA5));
    m_ns.Paths[0] = path;

    CNtHardDrive drive(m_ns);
    ASSERT_TRUE(drive.Open(0, 600, 255, 63, 512));
    platform::CPageBuffer buffer(63 * 512);
    uint32_t got = 0;
    drive.ResetReadTime();
    EXPECT_EQ(drive.GetReadTime(), 0);
    ASSERT_TRUE(drive.ReadChs(cylinder, head, 0, 63, buffer.Get(), &got));
    EXPECT_EQ(got, 63u);
    EXPECT_EQ(drive.GetErrorCode(), 0u);
    EXPECT_EQ(buffer.Get()[0], 0xA5);
    EXPECT_EQ(buffer.Get()[511], 0xA5);
    EXPECT_EQ(buffer.Get()[512], 0x00);
    EXPECT_GT(drive.GetReadTime(), 0);

    // The same sector by its linear number, untimed.
    drive.ResetReadTime();
    ASSERT_TRUE(drive.ReadLba(static_cast<uint32_t>(offset / 512), 1, buffer.Get(), &got));
    EXPECT_EQ(buffer.Get()[0], 0xA5);
    EXPECT_EQ(drive.GetReadTime(), 0);
    drive.Close();
}

TEST_F(NtHardDriveTest, ReadsPastTheEndFailWithTheirPosition)
{
    const std::string path = Image("small.img", 3 * kCylinderBytes);
    m_ns.Paths[0] = path;
    CNtHardDrive drive(m_ns);
    ASSERT_TRUE(drive.Open(0, 3, 255, 63, 512));
    platform::CPageBuffer buffer(64 * 512);
    uint32_t got = 99;

    // Linear: the position is that of the first sector asked for.
    const uint32_t s = 3 * 255 * 63 + 2 * 63 + 5;
    EXPECT_FALSE(drive.ReadLba(s, 1, buffer.Get(), &got));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::SectorNotFound);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(drive.GetErrorCylinder(), s / (255 * 63));
    EXPECT_EQ(drive.GetErrorHead(), (s % (255 * 63)) / 63);

    // A read that runs over the end: the whole sectors that arrived are counted.
    drive.ResetReadTime();
    EXPECT_FALSE(drive.ReadChs(2, 254, 40, 63, buffer.Get(), &got));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::SectorNotFound);
    EXPECT_EQ(got, 23u);
    EXPECT_EQ(drive.GetErrorCylinder(), 2u);
    EXPECT_EQ(drive.GetErrorHead(), 254u);
    EXPECT_GT(drive.GetReadTime(), 0);

    // A successful read clears the code but keeps the position.
    EXPECT_TRUE(drive.ReadChs(0, 0, 0, 1, buffer.Get(), &got));
    EXPECT_EQ(drive.GetErrorCode(), 0u);
    EXPECT_EQ(drive.GetErrorHead(), 254u);
}

TEST_F(NtHardDriveTest, ArgumentFailures)
{
    m_ns.Paths[0] = Image("a.img", kCylinderBytes);
    CNtHardDrive drive(m_ns);
    platform::CPageBuffer buffer(512);
    uint32_t got = 7;

    // Before any Open the sector size is 0.
    drive.ResetReadTime();
    EXPECT_FALSE(drive.ReadChs(0, 0, 0, 1, buffer.Get(), &got));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::InvalidParameter);
    EXPECT_FALSE(drive.ReadLba(0, 1, buffer.Get(), &got));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::InvalidParameter);
    EXPECT_EQ(got, 7u);

    ASSERT_TRUE(drive.Open(0, 1, 255, 63, 512));
    EXPECT_FALSE(drive.ReadChs(0, 0, 0, 1, buffer.Get(), nullptr));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::InvalidParameter);
    EXPECT_FALSE(drive.ReadLba(0, 1, buffer.Get(), nullptr));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::InvalidParameter);
    EXPECT_EQ(drive.GetReadTime(), 0);
    EXPECT_EQ(drive.GetErrorCylinder(), 0u);

    EXPECT_TRUE(drive.Close());
    EXPECT_TRUE(drive.Close());
    CNtHardDrive never(m_ns);
    EXPECT_TRUE(never.Close());
}

TEST_F(NtHardDriveTest, OpenFailureKeepsTheErrorAndTheGeometry)
{
    CNtHardDrive drive(m_ns);
    EXPECT_FALSE(drive.Open(4, 10, 255, 63, 512));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::FileNotFound);
    EXPECT_EQ(drive.Geometry(), (GEOMETRY{4, 10, 255, 63, 512}));
}

TEST_F(NtHardDriveTest, GetDrivesProbesInOrderAndSkipsAbsentDrives)
{
    m_ns.Paths[0] = Image("d0.img", 10 * kCylinderBytes + 1000);
    m_ns.Paths[2] = Image("d2.img", kCylinderBytes - 1);
    m_ns.Paths[5] = m_dir.Path().string(); // a directory is no drive
    m_ns.Paths[7] = Image("d7.img", 4 * kCylinderBytes);
    CNtHardDrive drive(m_ns);
    CDriveList list{GEOMETRY{9, 9, 9, 9, 9}};

    EXPECT_EQ(drive.GetDrives(list), 3);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], (GEOMETRY{0, 10, 255, 63, 512}));
    EXPECT_EQ(list[1], (GEOMETRY{2, 0, 255, 63, 512}));
    EXPECT_EQ(list[2], (GEOMETRY{7, 4, 255, 63, 512}));
    EXPECT_EQ(m_ns.Opened.size(), 20u);
}

TEST_F(NtHardDriveTest, GetDrivesStopsWhenAccessIsRefused)
{
    m_ns.Paths[0] = Image("d0.img", kCylinderBytes);
    m_ns.Paths[1] = Image("d1.img", kCylinderBytes);
    m_ns.Paths[3] = Image("d3.img", kCylinderBytes);
    m_ns.OpenErrors[1] = platform::err::NotReady;
    m_ns.OpenErrors[2] = platform::err::AccessDenied;
    CNtHardDrive drive(m_ns);
    CDriveList list;
    EXPECT_EQ(drive.GetDrives(list), 1);
    EXPECT_EQ(m_ns.Opened, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::AccessDenied);

    m_ns.OpenErrors[0] = platform::err::AccessDenied;
    m_ns.Opened.clear();
    EXPECT_EQ(drive.GetDrives(list), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(m_ns.Opened, std::vector<uint32_t>{0});
}

TEST_F(NtHardDriveTest, GeometryFromSizeKeepsTheLowHalfOfTheCylinders)
{
    const uint64_t cylinders = 0x100000005ull;
    const auto g = CNtHardDrive::GeometryFromSize(3, {cylinders * kCylinderBytes + 17, 512});
    EXPECT_EQ(g, (GEOMETRY{3, 5, 255, 63, 512}));
    const auto g4k = CNtHardDrive::GeometryFromSize(1, {7 * 255ull * 63 * 4096, 4096});
    EXPECT_EQ(g4k, (GEOMETRY{1, 7, 255, 63, 4096}));
}

TEST_F(NtHardDriveTest, PathDrivesGetTheirOwnNumbers)
{
    const std::string a = Image("a.img", 2 * kCylinderBytes);
    const std::string b = Image("b.img", 3 * kCylinderBytes);
    WriteAt(b, 0, TableSector({{0x83, 63, 1000}}));
    CNtHardDrive drive(m_ns);
    GEOMETRY ga, gb;
    ASSERT_EQ(drive.AddPathDrive(a, &ga), 0u);
    ASSERT_EQ(drive.AddPathDrive(b, &gb), 0u);
    EXPECT_EQ(ga, (GEOMETRY{CNtHardDrive::kFirstPathDrive, 2, 255, 63, 512}));
    EXPECT_EQ(gb.Drive, CNtHardDrive::kFirstPathDrive + 1);
    EXPECT_EQ(drive.DrivePath(gb.Drive), b);

    ASSERT_TRUE(drive.Open(gb.Drive, gb.Cylinders, gb.TracksPerCylinder, gb.SectorsPerTrack,
                           gb.BytesPerSector));
    EXPECT_TRUE(drive.AnalysePartitions());
    EXPECT_EQ(drive.GetPartitionCount(), 1);
    drive.Close();

    GEOMETRY none;
    EXPECT_EQ(drive.AddPathDrive(m_dir.File("missing.img"), &none), platform::err::FileNotFound);
    EXPECT_EQ(drive.AddPathDrive(m_dir.Path().string(), &none), platform::err::Directory);
    EXPECT_EQ(drive.AddPathDrive("/dev/null", &none), platform::err::InvalidFunction);
}

TEST_F(NtHardDriveTest, GetDrivesListsRefusedDrivesTheBrokerServes)
{
    for (uint32_t n = 0; n < 4; ++n)
        m_ns.Paths[n] = Image("d" + std::to_string(n) + ".img", kCylinderBytes);
    m_ns.OpenErrors[1] = platform::err::AccessDenied;
    m_ns.OpenErrors[2] = platform::err::AccessDenied;
    m_ns.UnopenedSizes[1] = {9 * kCylinderBytes, 512};
    m_ns.UnopenedSizes[2] = {5 * 255ull * 63 * 4096, 4096};
    m_broker.Served = {m_ns.Paths[1]};
    CNtHardDrive drive(m_ns, m_broker);
    CDriveList list;

    // Drive 2 is refused and not served, but the running broker may serve later drives.
    EXPECT_EQ(drive.GetDrives(list), 3);
    EXPECT_EQ(list, (CDriveList{{0, 1, 255, 63, 512}, {1, 9, 255, 63, 512}, {3, 1, 255, 63, 512}}));
    EXPECT_EQ(m_ns.Opened.size(), 20u);
    EXPECT_TRUE(drive.WasDiscoveryRefused());
    EXPECT_TRUE(m_broker.Asked.empty()) << "discovery asks for no authorisation";

    m_broker.Served.insert(m_ns.Paths[2]);
    EXPECT_EQ(drive.GetDrives(list), 4);
    EXPECT_EQ(list[2], (GEOMETRY{2, 5, 255, 63, 4096}));
    EXPECT_FALSE(drive.WasDiscoveryRefused());

    // Without the service, a refusal ends the probing as it always did.
    m_broker.Available = false;
    m_ns.Opened.clear();
    EXPECT_EQ(drive.GetDrives(list), 1);
    EXPECT_EQ(m_ns.Opened, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(drive.GetErrorCode(), platform::err::AccessDenied);
    EXPECT_TRUE(drive.WasDiscoveryRefused());
}

TEST_F(NtHardDriveTest, OpenGoesThroughTheBrokerOnlyWhenAccessIsRefused)
{
    const std::string path = Image("d0.img", 2 * kCylinderBytes);
    std::vector<uint8_t> pattern(512);
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(i * 7 + 3);
    WriteAt(path, 16065ull * 512, pattern);
    m_ns.Paths[0] = path;
    m_ns.Paths[1] = Image("d1.img", kCylinderBytes);
    m_ns.OpenErrors[0] = platform::err::AccessDenied;
    m_ns.OpenErrors[1] = platform::err::NotReady;
    m_broker.Served = {m_ns.Paths[0], m_ns.Paths[1]};
    CNtHardDrive drive(m_ns, m_broker);
    platform::CPageBuffer buffer(4096);

    // Served: the broker's descriptor reads like our own.
    ASSERT_EQ(drive.Open(0, 2, 255, 63, 512), 1);
    uint32_t got = 0;
    ASSERT_EQ(drive.ReadChs(1, 0, 0, 1, buffer.Get(), &got), 1);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.Get(), buffer.Get() + 512), pattern);
    EXPECT_EQ(drive.GetOpenRefusal(), "");
    drive.Close();
    EXPECT_EQ(m_broker.Asked, std::vector<std::string>{path});

    // Refused by the system: access denied, with the reason kept.
    m_broker.Refusal = "Not authorized to perform operation";
    EXPECT_EQ(drive.Open(0, 2, 255, 63, 512), 0);
    EXPECT_EQ(drive.GetErrorCode(), platform::err::AccessDenied);
    EXPECT_EQ(drive.GetOpenRefusal(), "Not authorized to perform operation");
    EXPECT_EQ(drive.Close(), 1);

    // Errors other than a refusal of access, and drives the broker does not serve, never
    // reach it; each Open forgets the previous refusal.
    m_broker.Asked.clear();
    EXPECT_EQ(drive.Open(1, 1, 255, 63, 512), 0);
    EXPECT_EQ(drive.GetErrorCode(), platform::err::NotReady);
    EXPECT_EQ(drive.GetOpenRefusal(), "");
    m_broker.Served.clear();
    EXPECT_EQ(drive.Open(0, 2, 255, 63, 512), 0);
    EXPECT_EQ(drive.GetErrorCode(), platform::err::AccessDenied);
    EXPECT_EQ(drive.GetOpenRefusal(), "");
    EXPECT_TRUE(m_broker.Asked.empty());
}

namespace {

// Descriptors the process holds open now.
size_t OpenDescriptors()
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

} // namespace

TEST_F(NtHardDriveTest, PreparedOpenIsTakenByTheNextOpenOfThatDrive)
{
    m_ns.Paths[0] = Image("d0.img", kCylinderBytes);
    m_ns.Paths[1] = Image("d1.img", kCylinderBytes);
    m_ns.OpenErrors[0] = platform::err::AccessDenied;
    m_broker.Served = {m_ns.Paths[0]};
    const size_t before = OpenDescriptors();
    {
        CNtHardDrive drive(m_ns, m_broker);
        std::string refusal = "stale";
        // Authorised on another thread, as a window program waits for the dialog.
        uint32_t prepared = 1;
        std::thread([&] { prepared = drive.PrepareOpen(0, &refusal); }).join();
        EXPECT_EQ(prepared, 0u);
        EXPECT_EQ(refusal, "");
        ASSERT_EQ(drive.Open(0, 1, 255, 63, 512), 1);
        EXPECT_EQ(m_broker.Asked.size(), 1u) << "the open asked again";
        platform::CPageBuffer buffer(512);
        uint32_t got = 0;
        EXPECT_EQ(drive.ReadLba(0, 1, buffer.Get(), &got), 1);
        drive.Close();

        // Taken once: the next Open asks again, and a refusal comes back with its reason.
        m_broker.Refusal = "Not authorized to perform operation";
        EXPECT_EQ(drive.Open(0, 1, 255, 63, 512), 0);
        EXPECT_EQ(m_broker.Asked.size(), 2u);
        EXPECT_EQ(drive.PrepareOpen(0, &refusal), platform::err::AccessDenied);
        EXPECT_EQ(refusal, "Not authorized to perform operation");

        // A prepared drive that no Open takes is closed with the back-end.
        m_broker.Refusal.clear();
        EXPECT_EQ(drive.PrepareOpen(0, &refusal), 0u);
        EXPECT_EQ(drive.PrepareOpen(0, &refusal), 0u);
        ASSERT_EQ(drive.Open(1, 1, 255, 63, 512), 1);
        drive.Close();
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(NtHardDriveTest, SecondOpenAndDestructionCloseTheDevice)
{
    m_ns.Paths[0] = Image("a.img", 3 * kCylinderBytes);
    const size_t before = OpenDescriptors();
    {
        CNtHardDrive drive(m_ns);
        ASSERT_TRUE(drive.Open(0, 3, 255, 63, 512));
        EXPECT_EQ(OpenDescriptors(), before + 1);
        ASSERT_TRUE(drive.Open(0, 3, 255, 63, 512));
        EXPECT_EQ(OpenDescriptors(), before + 1) << "the first handle leaked";
        // A failed Open leaves nothing open either.
        m_ns.OpenErrors[0] = platform::err::AccessDenied;
        EXPECT_FALSE(drive.Open(0, 3, 255, 63, 512));
        EXPECT_EQ(OpenDescriptors(), before);
        m_ns.OpenErrors.clear();
        ASSERT_TRUE(drive.Open(0, 3, 255, 63, 512));
    }
    EXPECT_EQ(OpenDescriptors(), before) << "destroyed open";
}

TEST_F(NtHardDriveTest, ReadOfAGoneDeviceSaysSo)
{
    m_ns.Paths[0] = Image("a.img", 3 * kCylinderBytes);
    CNtHardDrive drive(m_ns);
    ASSERT_TRUE(drive.Open(0, 3, 255, 63, 512));
    platform::CPageBuffer buffer(63 * 512);
    uint32_t n = 0;
    {
        platform::SDeviceFaults faults{0, EIO, 0, false};
        platform::CDeviceFaultScope scope(faults);
        EXPECT_FALSE(drive.ReadChs(1, 2, 0, 63, buffer.Get(), &n));
        EXPECT_EQ(drive.GetErrorCode(), platform::err::Crc);
        EXPECT_FALSE(drive.IsGone()) << "a read error of a present drive";
    }
    {
        platform::SDeviceFaults faults{1, ENODEV, 0, false};
        platform::CDeviceFaultScope scope(faults);
        EXPECT_TRUE(drive.ReadChs(1, 2, 0, 63, buffer.Get(), &n));
        EXPECT_FALSE(drive.IsGone());
        EXPECT_FALSE(drive.ReadChs(2, 4, 0, 63, buffer.Get(), &n));
        EXPECT_EQ(drive.GetErrorCode(), platform::err::FileNotFound);
        EXPECT_EQ(drive.GetErrorCylinder(), 2u);
        EXPECT_EQ(drive.GetErrorHead(), 4u);
        EXPECT_TRUE(drive.IsGone());
    }
    // Opened again, the drive is there.
    ASSERT_TRUE(drive.Open(0, 3, 255, 63, 512));
    EXPECT_FALSE(drive.IsGone());
    EXPECT_TRUE(drive.ReadChs(1, 2, 0, 63, buffer.Get(), &n));
}
