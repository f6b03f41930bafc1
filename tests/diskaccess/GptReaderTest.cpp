// GUID partition tables built byte by byte: verification, the backup header, classes, bounds.
#include "diskaccess/GptReader.h"
#include "diskaccess/PartitionAnalyser.h"
#include "fixtures/DiskImage.h"
#include "fixtures/LbaDrive.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <zlib.h>

using namespace testing_fx;

namespace {

// A sparse drive of any sector size and a 64-bit length; missing sectors read as zeros.
class CSparseDrive : public CLbaDrive
{
public:
    CSparseDrive(uint32_t bytesPerSector, uint64_t deviceSectors) : m_nDeviceSectors(deviceSectors)
    {
        m_Geometry =
            GEOMETRY{0, static_cast<uint32_t>(deviceSectors / 16065), 255, 63, bytesPerSector};
    }

    BOOL ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override
    {
        return ReadLba64(sector, count, buffer, sectorsRead);
    }
    BOOL ReadLba64(uint64_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override
    {
        m_reads.push_back(sector);
        *sectorsRead = 0;
        if (sector >= m_nDeviceSectors || count > m_nDeviceSectors - sector)
            return 0;
        const uint32_t bps = m_Geometry.BytesPerSector;
        auto* out = static_cast<uint8_t*>(buffer);
        for (uint32_t i = 0; i < count; ++i)
        {
            const auto it = m_sectors.find(sector + i);
            if (it == m_sectors.end())
                std::memset(out + size_t{i} * bps, 0, bps);
            else
                std::memcpy(out + size_t{i} * bps, it->second.data(), bps);
        }
        *sectorsRead = count;
        return 1;
    }
    uint64_t GetDeviceSectors() override { return m_nDeviceSectors; }

    std::vector<uint8_t>& Sector(uint64_t lba)
    {
        auto& s = m_sectors[lba];
        s.resize(m_Geometry.BytesPerSector);
        return s;
    }
    const std::vector<uint64_t>& Reads() const { return m_reads; }

private:
    uint64_t m_nDeviceSectors;
    std::map<uint64_t, std::vector<uint8_t>> m_sectors;
    std::vector<uint64_t> m_reads;
};

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v)
{
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

// "0FC63DAF-8483-4772-8E79-3D69D8477DE4" in on-disk byte order.
gpt::Guid ParseGuid(const std::string& text)
{
    std::string hex;
    for (char c : text)
        if (c != '-')
            hex += c;
    uint8_t b[16];
    for (int i = 0; i < 16; ++i)
        b[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    return {b[3], b[2], b[1],  b[0],  b[5],  b[4],  b[7],  b[6],
            b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
}

const char* const kLinuxFs = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";
const char* const kEfi = "C12A7328-F81F-11D2-BA4B-00A0C93EC93B";
const char* const kBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
const char* const kBiosBoot = "21686148-6449-6E6F-744E-656564454649";
const char* const kSwap = "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F";
const char* const kFreeBsdZfs = "516E7CBA-6ECF-11D6-8FF8-00022D09712B";

struct SGptPart
{
    const char* Type;
    uint64_t First;
    uint64_t Last;
    const char* Name;
};

// Writes a protective master boot record, the primary and the backup table the way
// partitioning tools lay them out: 128 entries of 128 bytes after each header.
class CGptBuilder
{
public:
    CGptBuilder(CSparseDrive& drive, std::vector<SGptPart> parts) : m_drive(drive)
    {
        const uint32_t bps = drive.Geometry().BytesPerSector;
        const uint64_t dev = drive.GetDeviceSectors();
        m_nArraySectors = (128 * 128 + bps - 1) / bps;
        std::vector<uint8_t> entries(128 * 128, 0);
        for (size_t i = 0; i < parts.size(); ++i)
        {
            uint8_t* e = entries.data() + 128 * i;
            const gpt::Guid type = ParseGuid(parts[i].Type);
            std::memcpy(e, type.data(), 16);
            e[16] = static_cast<uint8_t>(i + 1); // unique GUID
            Put64(e + 32, parts[i].First);
            Put64(e + 40, parts[i].Last);
            const std::string name = parts[i].Name;
            for (size_t c = 0; c < name.size() && c < 36; ++c)
                e[56 + 2 * c] = static_cast<uint8_t>(name[c]);
        }
        const uint32_t entriesCrc = static_cast<uint32_t>(crc32(0, entries.data(), 128 * 128));
        WriteArray(2, entries);
        WriteArray(dev - 1 - m_nArraySectors, entries);
        WriteHeader(1, dev - 1, 2, entriesCrc);
        WriteHeader(dev - 1, 1, dev - 1 - m_nArraySectors, entriesCrc);
        SetMbr({{0xEE, 1, static_cast<uint32_t>(std::min<uint64_t>(dev - 1, UINT32_MAX))}});
    }

    void SetMbr(const std::vector<SRawPart>& entries)
    {
        const std::vector<uint8_t> mbr = TableSector(entries);
        std::memcpy(m_drive.Sector(0).data(), mbr.data(), mbr.size());
    }

    // Changes a header field and, unless told otherwise, makes its checksum right again.
    void Patch(uint64_t lba, size_t offset, const std::function<void(uint8_t*)>& change,
               bool fixCrc = true)
    {
        uint8_t* h = m_drive.Sector(lba).data();
        change(h + offset);
        if (fixCrc)
            Reseal(lba);
    }
    void Reseal(uint64_t lba)
    {
        uint8_t* h = m_drive.Sector(lba).data();
        Put32(h + 16, 0);
        Put32(h + 16, static_cast<uint32_t>(crc32(0, h, 92)));
    }

    uint64_t BackupLba() const { return m_drive.GetDeviceSectors() - 1; }

private:
    void WriteArray(uint64_t lba, const std::vector<uint8_t>& entries)
    {
        const uint32_t bps = m_drive.Geometry().BytesPerSector;
        for (uint64_t s = 0; s < m_nArraySectors; ++s)
            std::memcpy(m_drive.Sector(lba + s).data(), entries.data() + s * bps, bps);
    }
    void WriteHeader(uint64_t lba, uint64_t alternate, uint64_t entriesLba, uint32_t entriesCrc)
    {
        const uint64_t dev = m_drive.GetDeviceSectors();
        uint8_t* h = m_drive.Sector(lba).data();
        std::memcpy(h, "EFI PART", 8);
        Put32(h + 8, 0x00010000);
        Put32(h + 12, 92);
        Put64(h + 24, lba);
        Put64(h + 32, alternate);
        Put64(h + 40, 2 + m_nArraySectors);
        Put64(h + 48, dev - 2 - m_nArraySectors);
        h[56] = 0x42; // disk GUID
        Put64(h + 72, entriesLba);
        Put32(h + 80, 128);
        Put32(h + 84, 128);
        Put32(h + 88, entriesCrc);
        Reseal(lba);
    }

    CSparseDrive& m_drive;
    uint64_t m_nArraySectors = 0;
};

std::vector<uint8_t> NtfsBootSector(uint32_t bps)
{
    std::vector<uint8_t> s(bps, 0);
    std::memcpy(&s[3], "NTFS    ", 8);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

std::vector<uint8_t> FatBootSector(uint32_t bps, bool fat32)
{
    std::vector<uint8_t> s(bps, 0);
    std::memcpy(&s[3], "mkfs.fat", 8);
    s[11] = 0x00;
    s[12] = 0x02; // 512 bytes per sector
    s[13] = 8;    // sectors per cluster
    s[16] = 2;    // FATs
    if (fat32)
    {
        Put32(&s[36], 1000);
        std::memcpy(&s[82], "FAT32   ", 8);
    }
    else
    {
        s[22] = 200;
        std::memcpy(&s[54], "FAT16   ", 8);
    }
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

struct SExpectedPart
{
    uint64_t Start;
    uint64_t Sectors;
    EPartClass Class;
    const char* Name;
};

void ExpectGptList(CSparseDrive& drive, const std::vector<SExpectedPart>& expected)
{
    ASSERT_EQ(drive.GetPartitionCount(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE("entry " + std::to_string(i));
        const SPartEntry& e = drive.Partitions()[i];
        ASSERT_TRUE(e.Gpt.has_value());
        EXPECT_EQ(e.Type(), 0xEE);
        EXPECT_EQ(e.Start(), expected[i].Start);
        EXPECT_EQ(e.Sectors(), expected[i].Sectors);
        EXPECT_EQ(e.Class(), expected[i].Class);
        EXPECT_EQ(e.Gpt->Name, expected[i].Name);
        EXPECT_EQ(drive.GetPartitionColor(static_cast<int>(i)),
                  PartitionClassColor(expected[i].Class));
    }
}

constexpr uint64_t kSmallDisk = 1 << 20; // 512 MiB of 512-byte sectors

} // namespace

TEST(GptReader, PartitionsReplaceTheProtectiveEntryWithTheirClasses)
{
    CSparseDrive drive(512, kSmallDisk);
    CGptBuilder gpt(drive, {{kEfi, 2048, 206847, "EFI system partition"},
                            {kBasicData, 206848, 239615, "ntfs data"},
                            {kBasicData, 239616, 272383, "fat32 data"},
                            {kBasicData, 272384, 305151, "fat16 data"},
                            {kBasicData, 305152, 337919, "empty"},
                            {kBiosBoot, 337920, 339967, ""},
                            {kSwap, 339968, 372735, "swap"},
                            {kFreeBsdZfs, 372736, 405503, "zfs"},
                            {kLinuxFs, 405504, 1046527, "root"}});
    drive.Sector(206848) = NtfsBootSector(512);
    drive.Sector(239616) = FatBootSector(512, true);
    drive.Sector(272384) = FatBootSector(512, false);

    EXPECT_TRUE(drive.AnalysePartitions());
    EXPECT_STREQ(drive.PartitionTableLabel(), "gpt");
    ExpectGptList(drive, {{2048, 204800, EPartClass::Fat32, "EFI system partition"},
                          {206848, 32768, EPartClass::Ntfs, "ntfs data"},
                          {239616, 32768, EPartClass::Fat32, "fat32 data"},
                          {272384, 32768, EPartClass::Fat, "fat16 data"},
                          {305152, 32768, EPartClass::Other, "empty"},
                          {337920, 2048, EPartClass::Other, ""},
                          {339968, 32768, EPartClass::Linux, "swap"},
                          {372736, 32768, EPartClass::FreeBsd, "zfs"},
                          {405504, 641024, EPartClass::Linux, "root"}});
    EXPECT_EQ(gpt::FormatGuid(drive.Partitions()[0].Gpt->TypeGuid), kEfi);
    EXPECT_EQ(drive.GetPartitionStartCylinder(8), 405504u / 16065);
    EXPECT_EQ(drive.GetPartitionCylinders(8), 641024u / 16065);
}

TEST(GptReader, DamagedPrimaryFallsBackToTheBackupAndBothDamagedKeepTheProtectiveEntry)
{
    using Damage = std::function<void(CGptBuilder&, CSparseDrive&)>;
    const auto setField32 = [](uint64_t lba, size_t offset, uint32_t value, bool fixCrc = true) {
        return Damage([=](CGptBuilder& g, CSparseDrive&) {
            g.Patch(
                lba, offset, [value](uint8_t* p) { Put32(p, value); }, fixCrc);
        });
    };
    const auto setField64 = [](uint64_t lba, size_t offset, uint64_t value) {
        return Damage([=](CGptBuilder& g, CSparseDrive&) {
            g.Patch(lba, offset, [value](uint8_t* p) { Put64(p, value); });
        });
    };
    const auto both = [](Damage a, Damage b) {
        return Damage([=](CGptBuilder& g, CSparseDrive& d) {
            a(g, d);
            b(g, d);
        });
    };
    const uint64_t backup = kSmallDisk - 1;
    const struct
    {
        const char* Name;
        Damage Apply;
        gpt::ESource Expected;
    } cases[] = {
        {"intact", [](CGptBuilder&, CSparseDrive&) {}, gpt::ESource::Primary},
        {"primary zeroed", [](CGptBuilder&, CSparseDrive& d) { d.Sector(1).assign(512, 0); },
         gpt::ESource::Backup},
        {"primary signature", setField32(1, 0, 0x20494646), gpt::ESource::Backup},
        {"primary header checksum", setField32(1, 80, 127, false), gpt::ESource::Backup},
        {"primary entry array checksum",
         [](CGptBuilder&, CSparseDrive& d) { d.Sector(2)[40] ^= 1; }, gpt::ESource::Backup},
        {"primary MyLBA", setField64(1, 24, 2), gpt::ESource::Backup},
        {"primary header size 91", setField32(1, 12, 91), gpt::ESource::Backup},
        {"primary header size past the sector", setField32(1, 12, 513), gpt::ESource::Backup},
        {"primary entry size 100", setField32(1, 84, 100), gpt::ESource::Backup},
        {"primary entry size 384", setField32(1, 84, 384), gpt::ESource::Backup},
        {"primary 16385 entries", setField32(1, 80, 16385), gpt::ESource::Backup},
        {"primary 4294967295 entries", setField32(1, 80, 0xFFFFFFFF), gpt::ESource::Backup},
        {"primary usable range past the end", setField64(1, 48, kSmallDisk), gpt::ESource::Backup},
        {"primary usable range reversed", setField64(1, 40, kSmallDisk - 10), gpt::ESource::Backup},
        {"primary entry array inside the usable range", setField64(1, 72, 5000),
         gpt::ESource::Backup},
        {"both zeroed",
         [](CGptBuilder&, CSparseDrive& d) {
             d.Sector(1).assign(512, 0);
             d.Sector(kSmallDisk - 1).assign(512, 0);
         },
         gpt::ESource::None},
        {"both checksums", both(setField32(1, 80, 127, false), setField32(backup, 80, 127, false)),
         gpt::ESource::None},
        {"backup names another alternate", both(setField32(1, 0, 0), setField64(backup, 32, 2)),
         gpt::ESource::None},
        {"backup MyLBA", both(setField32(1, 0, 0), setField64(backup, 24, 1)), gpt::ESource::None},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        CSparseDrive drive(512, kSmallDisk);
        CGptBuilder builder(drive, {{kLinuxFs, 2048, 4095, "a"}, {kSwap, 4096, 8191, "b"}});
        c.Apply(builder, drive);

        const gpt::SGptTable table = gpt::ReadGpt(drive, 512, kSmallDisk);
        EXPECT_EQ(table.Source, c.Expected);
        EXPECT_TRUE(drive.AnalysePartitions());
        if (c.Expected == gpt::ESource::None)
        {
            // One column over the whole disk, as the walk alone gives.
            EXPECT_STREQ(drive.PartitionTableLabel(), "dos");
            ASSERT_EQ(drive.GetPartitionCount(), 1);
            EXPECT_FALSE(drive.Partitions()[0].Gpt.has_value());
            EXPECT_EQ(drive.Partitions()[0].Type(), 0xEE);
            EXPECT_EQ(drive.GetPartitionColor(0), PartitionClassColor(EPartClass::Other));
        }
        else
        {
            EXPECT_STREQ(drive.PartitionTableLabel(), "gpt");
            ExpectGptList(drive, {{2048, 2048, EPartClass::Linux, "a"},
                                  {4096, 4096, EPartClass::Linux, "b"}});
        }
    }
}

TEST(GptReader, EntriesPastTheDeviceEndAreClippedOrDroppedAndStayInsideThePlot)
{
    // 100 cylinders and a few sectors more.
    const uint64_t dev = 100 * 16065 + 500;
    CSparseDrive drive(512, dev);
    CGptBuilder builder(drive,
                        {{kLinuxFs, 2048, 4095, "inside"},
                         {kLinuxFs, 1000000, dev + 5000, "past the end"},
                         {kLinuxFs, dev + 10, dev + 20, "beyond"},
                         {kLinuxFs, 9000, 8000, "reversed"},
                         {kLinuxFs, 100 * 16065 + 10, dev - 40, "in the last part cylinder"}});
    // The tools' usable range ends before the backup; these entries ignore it on purpose.
    EXPECT_TRUE(drive.AnalysePartitions());
    ExpectGptList(drive, {{2048, 2048, EPartClass::Linux, "inside"},
                          {1000000, dev - 1000000, EPartClass::Linux, "past the end"},
                          {100 * 16065 + 10, dev - 40 - (100 * 16065 + 10) + 1, EPartClass::Linux,
                           "in the last part cylinder"}});
    for (int i = 0; i < drive.GetPartitionCount(); ++i)
    {
        SCOPED_TRACE(i);
        // The graph paints from the start cylinder to start + length + 1.
        EXPECT_LE(drive.GetPartitionStartCylinder(i) + drive.GetPartitionCylinders(i) + 1, 100u);
    }
    for (uint64_t lba : drive.Reads())
        EXPECT_LT(lba, dev);
}

TEST(GptReader, DrivesPastTwoTebibytesOnBothSectorSizes)
{
    const struct
    {
        uint32_t BytesPerSector;
        uint64_t DeviceSectors;
    } drives[] = {
        {512, 1ull << 34},  // 8 TiB: every LBA past the table's above 32 bits
        {4096, 1ull << 32}, // 16 TiB of 4 KiB sectors: byte offsets above 32 bits
        {4096, 1ull << 33},
    };
    for (const auto& d : drives)
    {
        SCOPED_TRACE(d.BytesPerSector);
        SCOPED_TRACE(d.DeviceSectors);
        for (bool primaryDamaged : {false, true})
        {
            SCOPED_TRACE(primaryDamaged);
            CSparseDrive drive(d.BytesPerSector, d.DeviceSectors);
            const uint64_t half = d.DeviceSectors / 2;
            CGptBuilder builder(drive, {{kLinuxFs, 256, half - 1, "low"},
                                        {kBasicData, half, d.DeviceSectors - 40, "high"}});
            drive.Sector(half) = NtfsBootSector(d.BytesPerSector);
            if (primaryDamaged)
                drive.Sector(1)[0] = 0;
            EXPECT_TRUE(drive.AnalysePartitions());
            ExpectGptList(drive,
                          {{256, half - 256, EPartClass::Linux, "low"},
                           {half, d.DeviceSectors - 40 - half + 1, EPartClass::Ntfs, "high"}});
            const SPartEntry& high = drive.Partitions()[1];
            EXPECT_EQ(high.AbsStart, std::min<uint64_t>(half, UINT32_MAX));
            EXPECT_EQ(drive.GetPartitionStartCylinder(1), half / 16065);
            EXPECT_EQ(drive.GetPartitionCylinders(1),
                      std::min<uint64_t>((d.DeviceSectors - 40 - half + 1) / 16065,
                                         drive.Geometry().Cylinders - half / 16065 - 1));
        }
    }
}

TEST(GptReader, HybridTableKeepsItsOtherEntriesAroundTheGuidPartitions)
{
    const struct
    {
        const char* Name;
        std::vector<SRawPart> Mbr;
        std::vector<uint8_t> ExpectedTypes; // 0xEE marks a GUID table's partition
    } cases[] = {
        {"cover first", {{0xEE, 1, 2047}, {0x0C, 2048, 2048}}, {0xEE, 0xEE, 0x0C}},
        {"cover last", {{0x83, 4096, 4096}, {0xEE, 1, 2047}}, {0x83, 0xEE, 0xEE}},
        {"two covers",
         {{0xEE, 1, 2047}, {0x07, 2048, 2048}, {0xEE, 8192, 1000}},
         {0xEE, 0xEE, 0x07}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        CSparseDrive drive(512, kSmallDisk);
        CGptBuilder builder(drive,
                            {{kBasicData, 2048, 4095, "shared"}, {kLinuxFs, 4096, 8191, ""}});
        builder.SetMbr(c.Mbr);
        EXPECT_TRUE(drive.AnalysePartitions());
        EXPECT_STREQ(drive.PartitionTableLabel(), "gpt");
        ASSERT_EQ(drive.GetPartitionCount(), static_cast<int>(c.ExpectedTypes.size()));
        for (size_t i = 0; i < c.ExpectedTypes.size(); ++i)
        {
            EXPECT_EQ(drive.Partitions()[i].Type(), c.ExpectedTypes[i]) << i;
            EXPECT_EQ(drive.Partitions()[i].Gpt.has_value(), c.ExpectedTypes[i] == 0xEE) << i;
        }
    }
}

TEST(GptReader, NoProtectiveEntryNoGuidTable)
{
    CSparseDrive drive(512, kSmallDisk);
    CGptBuilder builder(drive, {{kLinuxFs, 2048, 4095, "a"}});
    builder.SetMbr({{0x83, 2048, 2048}});
    EXPECT_TRUE(drive.AnalysePartitions());
    EXPECT_STREQ(drive.PartitionTableLabel(), "dos");
    EXPECT_EQ(drive.Reads(), std::vector<uint64_t>{0});

    CSparseDrive blank(512, kSmallDisk);
    EXPECT_FALSE(blank.AnalysePartitions());
    EXPECT_STREQ(blank.PartitionTableLabel(), "none");
}
