// The BIOS back-end through the real library and the emulated BIOS: reads in pieces, their
// failures, and drive discovery with its geometry rules, messages and log.
#include "LowLevelSupport.h"

#include "diskaccess/W9xHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"
#include "platform/Memory.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using namespace lowlevel_fx;
using testing_fx::CTempDir;

namespace {

constexpr uint64_t kCylinderBytes = 255ull * 63 * 512;

class W9xHardDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_env.Set("RAWIO16_TRACE", m_trace);
        RecordedLog().clear();
    }

    // Makes BIOS drive 80h + drive an emulated drive over image, with its other variables.
    void Emulate(uint32_t drive, const std::string& image,
                 const std::vector<std::pair<std::string, std::string>>& variables = {})
    {
        char name[32];
        std::snprintf(name, sizeof name, "RAWIO16_DRIVE_%02X", 0x80 + drive);
        m_env.Set(name, image);
        for (const auto& [suffix, value] : variables)
            m_env.Set(name + suffix, value);
    }

    std::unique_ptr<CW9xHardDrive> Load()
    {
        return std::make_unique<CW9xHardDrive>(LibraryDirectory() + "/Rawio32v2.dll", &RecordLog);
    }

    std::vector<STracedRead> Reads() const { return TracedReads(m_trace); }
    void ClearTrace() const { std::remove(m_trace.c_str()); }

    CTempDir m_dir;
    CScopedEnvironment m_env;
    CRecordingMessageBox m_boxes;
    const std::string m_trace = m_dir.File("trace.txt");
};

} // namespace

TEST_F(W9xHardDriveTest, ReadsInPiecesOfAtMost127SectorsIntoConsecutiveDestinations)
{
    const std::string image = m_dir.File("numbered.img");
    CreateNumberedImage(image, 2000);
    Emulate(1, image);
    auto drive = Load();
    ASSERT_TRUE(drive->Open(1, 10, 16, 63, 512));

    const struct
    {
        uint32_t Count;
        std::vector<STracedRead> Pieces;
    } cases[] = {
        {300, {{0x81, 1000, 127, 127}, {0x81, 1127, 127, 127}, {0x81, 1254, 46, 46}}},
        {127, {{0x81, 1000, 127, 127}}},
        {128, {{0x81, 1000, 127, 127}, {0x81, 1127, 1, 1}}},
        {1, {{0x81, 1000, 1, 1}}},
        {0, {}},
    };
    platform::CPageBuffer buffer(300 * 512);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Count);
        ClearTrace();
        std::fill_n(buffer.Get(), 300 * 512, 0xEE);
        drive->ResetReadTime();
        uint32_t sectorsRead = 999;
        EXPECT_EQ(drive->ReadLba(1000, c.Count, buffer.Get(), &sectorsRead), 1);
        EXPECT_EQ(sectorsRead, c.Count);
        EXPECT_EQ(drive->GetErrorCode(), 0u);
        EXPECT_EQ(Reads(), c.Pieces);
        for (uint32_t i = 0; i < c.Count; ++i)
            ASSERT_EQ(SectorNumber(buffer.Get() + 512 * i), 1000 + i) << "sector " << i;
        if (c.Count > 0)
        {
            EXPECT_GT(drive->GetReadTime(), 0);
        }
    }
}

TEST_F(W9xHardDriveTest, AFailedReadKeepsTheBiosStatusAndThePositionOfTheFailingSector)
{
    const std::string image = m_dir.File("numbered.img");
    CreateNumberedImage(image, 2000);
    const struct
    {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Variables;
        uint32_t First;
        uint32_t Code;
        uint32_t SectorsRead;
        uint32_t FailingSector;
        size_t Calls;
        uint32_t Arrived; // sectors in the buffer, also of the failed piece
    } cases[] = {
        // The second piece fails after 10 of its sectors arrived.
        {"bad sector", {{"_BAD", "1137:0x10"}}, 1000, 0x10, 127, 1137, 2, 137},
        {"status in bit 31 only", {{"_FAIL", "read:0"}}, 1000, 0, 0, 1000, 1, 0},
        {"end of the image", {}, 1900, 0x04, 0, 2000, 1, 100},
    };
    platform::CPageBuffer buffer(300 * 512);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        CScopedEnvironment env;
        env.Set("RAWIO16_TRACE", m_trace);
        env.Set("RAWIO16_DRIVE_80", image);
        for (const auto& [suffix, value] : c.Variables)
            env.Set("RAWIO16_DRIVE_80" + suffix, value);
        auto drive = Load();
        drive->Open(0, 10, 16, 63, 512);
        ClearTrace();
        std::fill_n(buffer.Get(), 300 * 512, 0xEE);
        drive->ResetReadTime();
        uint32_t sectorsRead = 999;
        EXPECT_EQ(drive->ReadLba(c.First, 300, buffer.Get(), &sectorsRead), 0);
        EXPECT_EQ(drive->GetErrorCode(), c.Code);
        EXPECT_EQ(sectorsRead, c.SectorsRead);
        EXPECT_EQ(drive->GetErrorCylinder(), c.FailingSector / (16 * 63));
        EXPECT_EQ(drive->GetErrorHead(), c.FailingSector % (16 * 63) / 63);
        EXPECT_EQ(Reads().size(), c.Calls);
        EXPECT_GT(drive->GetReadTime(), 0) << "a failed read adds its time too";
        for (uint32_t i = 0; i < c.Arrived; ++i)
            ASSERT_EQ(SectorNumber(buffer.Get() + 512 * i), c.First + i) << "sector " << i;
        EXPECT_EQ(buffer.Get()[512 * c.Arrived], 0xEE) << "nothing beyond what arrived";
    }
}

TEST_F(W9xHardDriveTest, ReadChsReadsTheLinearSectorOfTheOpenGeometry)
{
    const std::string image = m_dir.File("numbered.img");
    CreateNumberedImage(image, 3000);
    Emulate(0, image);
    auto drive = Load();
    drive->Open(0, 2, 16, 63, 512);
    platform::CPageBuffer buffer(512);
    uint32_t sectorsRead = 0;
    ASSERT_EQ(drive->ReadChs(2, 3, 4, 1, buffer.Get(), &sectorsRead), 1);
    EXPECT_EQ(sectorsRead, 1u);
    EXPECT_EQ(SectorNumber(buffer.Get()), 2209u);
    EXPECT_EQ(Reads(), (std::vector<STracedRead>{{0x80, 2209, 1, 1}}));
}

TEST_F(W9xHardDriveTest, BadArgumentsFailWith87BeforeAnythingIsReadOrTimed)
{
    const std::string image = m_dir.File("numbered.img");
    CreateNumberedImage(image, 100);
    Emulate(0, image);
    auto drive = Load();
    platform::CPageBuffer buffer(512);
    uint32_t sectorsRead = 0;
    drive->ResetReadTime();
    // Before any Open the geometry has no sector size.
    EXPECT_EQ(drive->ReadLba(0, 1, buffer.Get(), &sectorsRead), 0);
    EXPECT_EQ(drive->GetErrorCode(), 87u);
    drive->Open(0, 1, 16, 63, 512);
    EXPECT_EQ(drive->ReadChs(0, 0, 0, 1, buffer.Get(), nullptr), 0);
    EXPECT_EQ(drive->GetErrorCode(), 87u);
    EXPECT_EQ(drive->GetReadTime(), 0);
    EXPECT_TRUE(Reads().empty());
}

TEST_F(W9xHardDriveTest, DiscoveryDecodesFunction08hAndAsksFunction48hForLargeDrives)
{
    const std::string tiny = m_dir.File("tiny.img");
    testing_fx::CreateSparseFile(tiny, 1 << 20);
    const std::string sized = m_dir.File("300-cylinders.img");
    testing_fx::CreateSparseFile(sized, 300 * kCylinderBytes);

    Emulate(0x00, tiny, {{"_FN08", "1024,255,63"}, {"_FN48", "0,,,,160836480,2048"}});
    Emulate(0x01, tiny, {{"_FN08", "1022,255,63"}});
    Emulate(0x02, tiny, {{"_FN08", "1024,16,63"}});
    Emulate(0x03, tiny, {{"_FN08", "1024,255,63"}, {"_FAIL", "fn48"}});
    Emulate(0x04, tiny, {{"_FN08", "1024,255,63"}, {"_FN48", "0,,,,0"}});
    Emulate(0x05, tiny, {{"_FAIL", "fn08"}});
    Emulate(0x07, sized);
    Emulate(0x08, tiny, {{"_FN08", "1023,255,63"}, {"_FN48", "2,16383,16,63"}});
    // What a BIOS leaves in the upper half of ECX is no part of the cylinder count.
    Emulate(0x09, tiny, {{"_FN08", "1000,255,63,0xABCD"}});
    Emulate(0x13, sized);
    Emulate(0x14, sized);

    auto drive = Load();
    CDriveList drives{{99, 1, 1, 1, 1}};
    EXPECT_EQ(drive->GetDrives(drives), 8);
    const CDriveList expected = {
        {0x00, 10011, 255, 63, 2048}, {0x01, 1022, 255, 63, 512}, {0x02, 1024, 16, 63, 512},
        {0x04, 0, 255, 63, 512},      {0x07, 300, 255, 63, 512},  {0x08, 16383, 16, 63, 512},
        {0x09, 1000, 255, 63, 512},   {0x13, 300, 255, 63, 512},
    };
    EXPECT_EQ(drives, expected) << "drive 0x14 is beyond the probed range";
    EXPECT_EQ(drive->GetErrorCode(), 0u);

    // Function 48h only for the drives that answer 1023 or more cylinders, 255 heads, 63 sectors.
    std::vector<std::string> asked48;
    for (const std::string& line : TraceLines(m_trace))
        if (line.rfind("48h", 0) == 0)
            asked48.push_back(line.substr(4, 2));
    EXPECT_EQ(asked48, (std::vector<std::string>{"80", "83", "84", "88"}));

    // The drive without a total sector count is listed, with a message.
    ASSERT_EQ(m_boxes.m_shown.size(), 1u);
    EXPECT_EQ(m_boxes.m_shown[0].Text,
              "Some disk HDD4 parameters are wrong!\nTest may be incorrect");
    EXPECT_EQ(m_boxes.m_shown[0].Type, fw::kMbOk | fw::kMbIconInformation);
}

TEST_F(W9xHardDriveTest, DiscoveryLogsEveryProbe)
{
    const std::string tiny = m_dir.File("tiny.img");
    testing_fx::CreateSparseFile(tiny, 1 << 20);
    Emulate(0, tiny, {{"_FN08", "1024,255,63"}, {"_FN48", ",,,,160836480"}});
    Emulate(1, tiny, {{"_FAIL", "fn08:0x07"}});
    auto drive = Load();
    CDriveList drives;
    ASSERT_EQ(drive->GetDrives(drives), 1);

    std::vector<std::string> expected = {
        "Call GetDriveFn08Parameters32( 0x80 ).",
        "GetDriveFn08Parameters32( 0x80 ) returns 0x0.",
        "0x80 drive geometry is Cylinders = 1024, TracksPerCylinder = 255. SectorsPerTrack = 63",
        "Call GetDriveFn48Parameters32( 0x80 ).",
        "GetDriveFn48Parameters32( 0x80 ) returns 0x0.",
        "0x80 drive stDrvInf.flags = 0x0. stDrvInf.cylinders = 16383 stDrvInf.heads = 16 "
        "stDrvInf.sec_per_track = 63 stDrvInf.sector_size = 512 stDrvInf.sectors_l = 0x9962B80 "
        "stDrvInf.sectors_h = 0x0",
        "Add  geometry to array.",
        "Call GetDriveFn08Parameters32( 0x81 ).",
        "GetDriveFn08Parameters32( 0x81 ) returns 0x80000700.",
    };
    for (int d = 0x82; d <= 0x93; ++d)
    {
        char call[64], returns[64];
        std::snprintf(call, sizeof call, "Call GetDriveFn08Parameters32( 0x%X ).", d);
        std::snprintf(returns, sizeof returns,
                      "GetDriveFn08Parameters32( 0x%X ) returns 0x80000100.", d);
        expected.push_back(call);
        expected.push_back(returns);
    }
    EXPECT_EQ(RecordedLog(), expected);
    EXPECT_EQ(drives, (CDriveList{{0, 10011, 255, 63, 512}}));
}

TEST_F(W9xHardDriveTest, GuidTablePastTwoTebibytesIsReadThroughTheBios)
{
    // 3 TiB: the backup header and the second partition lie past 2^32 sectors, where only
    // function 48h's total and the read's high sector word reach.
    if (testing_fx::RunCommand("command -v sfdisk >/dev/null") != 0)
        GTEST_SKIP() << "sfdisk (package fdisk) is not installed";
    const uint64_t total = 3ull << 31;
    const uint64_t high = (1ull << 32) + 2048;
    const std::string image = m_dir.File("gpt.img");
    testing_fx::CreateSparseFile(image, total * 512);
    ASSERT_EQ(testing_fx::RunCommand(
                  "printf 'label: gpt\\nstart=2048,size=1000000,type=0FC63DAF-8483-4772-8E79-"
                  "3D69D8477DE4,name=\"low\"\\nstart=" +
                  std::to_string(high) +
                  ",size=2000000,type=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F,name=\"high\"\\n' | "
                  "sfdisk -q '" +
                  image + "' >/dev/null 2>&1"),
              0);
    testing_fx::WriteAt(image, 512, std::vector<uint8_t>(512, 0)); // the primary header
    Emulate(0, image);
    auto drive = Load();
    CDriveList drives;
    ASSERT_EQ(drive->GetDrives(drives), 1);
    const GEOMETRY& g = drives[0];
    ASSERT_TRUE(drive->Open(g.Drive, g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack,
                            g.BytesPerSector));
    EXPECT_EQ(drive->GetDeviceSectors(), total);

    ClearTrace();
    EXPECT_TRUE(drive->AnalysePartitions());
    EXPECT_STREQ(drive->PartitionTableLabel(), "gpt");
    ASSERT_EQ(drive->GetPartitionCount(), 2);
    EXPECT_EQ(drive->Partitions()[0].Start(), 2048u);
    EXPECT_EQ(drive->Partitions()[1].Start(), high);
    EXPECT_EQ(drive->Partitions()[1].Sectors(), 2000000u);
    EXPECT_EQ(drive->GetPartitionColor(1), PartitionClassColor(EPartClass::Linux));
    const auto reads = Reads();
    EXPECT_TRUE(std::any_of(reads.begin(), reads.end(),
                            [&](const STracedRead& r) { return r.Sector == total - 1; }));
}

TEST_F(W9xHardDriveTest, ABiosOfLargerSectorsNeverWritesPastTheCallersBuffer)
{
    // Function 08h answers fewer than 1023 cylinders, so the drive is listed with 512-byte
    // sectors, while the BIOS transfers 1024-byte ones.
    const std::string image = m_dir.File("numbered.img");
    CreateNumberedImage(image, 1 << 15); // 512-byte numbers; two to a BIOS sector
    Emulate(0, image, {{"_FN08", "1000,16,63"}, {"_FN48", ",,,,,1024"}});
    auto drive = Load();
    CDriveList drives;
    ASSERT_EQ(drive->GetDrives(drives), 1);
    ASSERT_EQ(drives[0], (GEOMETRY{0, 1000, 16, 63, 512}));
    ASSERT_TRUE(drive->Open(0, 1000, 16, 63, 512));

    // One track, and a read long enough for several pieces, each into a heap block of exactly
    // the size asked for with guard bytes behind it.
    for (uint32_t count : {63u, 300u})
    {
        SCOPED_TRACE(count);
        constexpr size_t kGuard = 64 * 1024;
        const size_t bytes = size_t{count} * 512;
        std::vector<uint8_t> block(bytes + kGuard, 0xA5);
        ClearTrace();
        drive->ResetReadTime();
        uint32_t sectorsRead = 0;
        const BOOL ok = drive->ReadChs(2, 0, 0, count, block.data(), &sectorsRead);
        EXPECT_GT(drive->GetReadTime(), 0);
        EXPECT_TRUE(std::all_of(block.begin() + static_cast<std::ptrdiff_t>(bytes), block.end(),
                                [](uint8_t b) { return b == 0xA5; }))
            << "the BIOS wrote past the caller's buffer";
        if (count == 63)
        {
            // 63 of the BIOS's sectors fit its 64 KB: the call succeeds, and the caller gets
            // the first 63 × 512 bytes of what it moved.
            EXPECT_EQ(ok, 1);
            EXPECT_EQ(sectorsRead, 63u);
            EXPECT_EQ(SectorNumber(block.data()), 2 * 2016u);
        }
        else
        {
            // 127 of them do not: the BIOS refuses the piece with its boundary status.
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(drive->GetErrorCode(), 0x09u);
        }
    }

    // Listed at the BIOS's own 1024 bytes, a piece is what 64 KB holds: 64 sectors.
    ASSERT_TRUE(drive->Open(0, 1000, 16, 63, 1024));
    std::vector<uint8_t> buffer(200 * 1024 + 4096, 0xA5);
    ClearTrace();
    uint32_t sectorsRead = 0;
    EXPECT_EQ(drive->ReadLba(10, 200, buffer.data(), &sectorsRead), 1);
    EXPECT_EQ(sectorsRead, 200u);
    EXPECT_EQ(Reads(),
              (std::vector<STracedRead>{
                  {0x80, 10, 64, 64}, {0x80, 74, 64, 64}, {0x80, 138, 64, 64}, {0x80, 202, 8, 8}}));
    EXPECT_EQ(SectorNumber(buffer.data()), 20u);
    EXPECT_EQ(SectorNumber(buffer.data() + 199 * 1024), 2 * 209u);
    EXPECT_EQ(buffer[200 * 1024], 0xA5);
}

TEST_F(W9xHardDriveTest, DrivesPastTwoTebibytesAreClampedAndDrivesUnderOneCylinderLeftOut)
{
    const std::string tiny = m_dir.File("tiny.img");
    testing_fx::CreateSparseFile(tiny, 1 << 20);
    // 3 TiB without a valid geometry: the low 32 bits of the total alone would say 1 TiB.
    Emulate(0x00, tiny, {{"_FN08", "1024,255,63"}, {"_FN48", "0,,,,6442450944"}});
    // A valid geometry whose sectors do not fit in 32 bits.
    Emulate(0x01, tiny, {{"_FN08", "1024,255,63"}, {"_FN48", "2,4294967295,16,63,,"}});
    // Smaller than the cylinder of its own geometry.
    Emulate(0x02, tiny, {{"_FN08", "1024,255,63"}, {"_FN48", "0,,,,16064"}});
    // 4,294,967,295 cylinders of one sector fit in 32-bit sector numbers and stay.
    Emulate(0x03, tiny, {{"_FN08", "1024,255,63"}, {"_FN48", "2,4294967295,1,1,4294967295,"}});

    auto drive = Load();
    CDriveList drives;
    ASSERT_EQ(drive->GetDrives(drives), 3);
    EXPECT_EQ(drives[0], (GEOMETRY{0, 0xFFFFFFFFu / 16065, 255, 63, 512}));
    EXPECT_EQ(drives[1], (GEOMETRY{1, 0xFFFFFFFFu / (16 * 63), 16, 63, 512}));
    EXPECT_EQ(drives[2], (GEOMETRY{3, 0xFFFFFFFFu, 1, 1, 512}));
    const auto& log = RecordedLog();
    const auto logged = [&](const std::string& text) {
        return std::any_of(log.begin(), log.end(),
                           [&](const std::string& line) { return line.find(text) != line.npos; });
    };
    EXPECT_TRUE(
        logged("0x80 drive reaches past 32-bit sector numbers; cylinders clamped to 267349."));
    EXPECT_TRUE(
        logged("0x81 drive reaches past 32-bit sector numbers; cylinders clamped to 4260880."));
    EXPECT_TRUE(logged("0x82 drive is smaller than one cylinder; left out."));
    EXPECT_FALSE(logged("0x83 drive reaches past"));

    // The device's size is the BIOS's total, also past 32 bits.
    ASSERT_TRUE(drive->Open(0, drives[0].Cylinders, 255, 63, 512));
    EXPECT_EQ(drive->GetDeviceSectors(), 6442450944u);
}
