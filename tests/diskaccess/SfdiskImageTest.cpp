// The partition walk on images partitioned by sfdisk, compared with what sfdisk reports.
#include "diskaccess/GptReader.h"
#include "diskaccess/NtHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/LoopDevice.h"
#include "fixtures/TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>

using namespace testing_fx;

namespace {

struct SSfdiskPart
{
    int Number;
    uint32_t Start;
    uint32_t Size;
    uint8_t Type;
};

std::vector<SSfdiskPart> SfdiskList(const std::string& image)
{
    std::string out;
    EXPECT_EQ(RunCommand("sfdisk --json '" + image + "'", &out), 0);
    std::vector<SSfdiskPart> parts;
    const auto doc = nlohmann::json::parse(out);
    for (const auto& p : doc["partitiontable"]["partitions"])
    {
        const std::string node = p["node"];
        const auto digits = node.find_last_not_of("0123456789") + 1;
        parts.push_back(
            {std::stoi(node.substr(digits)), p["start"].get<uint32_t>(), p["size"].get<uint32_t>(),
             static_cast<uint8_t>(std::stoul(p["type"].get<std::string>(), nullptr, 16))});
    }
    return parts;
}

// The order the walk lists sfdisk's partitions in: primaries in table order, an extended
// partition replaced by its logical partitions, or kept when it has none.
std::vector<SSfdiskPart> WalkOrder(const std::vector<SSfdiskPart>& parts)
{
    std::vector<SSfdiskPart> logical;
    for (const auto& p : parts)
        if (p.Number >= 5)
            logical.push_back(p);
    std::vector<SSfdiskPart> order;
    for (const auto& p : parts)
    {
        if (p.Number >= 5)
            continue;
        const bool extended = p.Type == 0x05 || p.Type == 0x0F;
        if (extended && !logical.empty())
            order.insert(order.end(), logical.begin(), logical.end());
        else
            order.push_back(p);
    }
    return order;
}

} // namespace

TEST(SfdiskImage, WalkMatchesSfdisk)
{
    if (RunCommand("command -v sfdisk >/dev/null") != 0)
        GTEST_SKIP() << "sfdisk (package fdisk) is not installed";

    const struct
    {
        const char* Name;
        const char* Script;
    } layouts[] = {
        {"primary, extended with two logicals, primary",
         "start=2048,size=100M,type=7\nstart=206848,size=600M,type=f\n"
         "start=1435648,size=200M,type=83\nstart=208896,size=150M,type=83\n"
         "start=518144,size=100M,type=82\n"},
        {"four primaries", ",100M,c\n,100M,b\n,100M,a5\n,100M,27\n"},
        {"extended first, five logicals",
         "start=2048,size=900M,type=5\nstart=4096,size=50M\nstart=110592,size=50M,type=7\n"
         "start=215040,size=50M,type=b\nstart=319488,size=50M,type=a5\nstart=423936,size=50M\n"},
    };
    for (const auto& layout : layouts)
    {
        SCOPED_TRACE(layout.Name);
        CTempDir dir;
        const std::string image = dir.File("disk.img");
        CreateSparseFile(image, 1ull << 30);
        ASSERT_EQ(RunCommand("printf 'label: dos\\n" + std::string(layout.Script) +
                             "' | sfdisk -q '" + image + "' >/dev/null 2>&1"),
                  0);
        const auto expected = WalkOrder(SfdiskList(image));
        ASSERT_FALSE(expected.empty());

        CNtHardDrive drive;
        GEOMETRY g;
        ASSERT_EQ(drive.AddPathDrive(image, &g), 0u);
        ASSERT_TRUE(drive.Open(g.Drive, g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack,
                               g.BytesPerSector));
        EXPECT_TRUE(drive.AnalysePartitions());
        ASSERT_EQ(drive.GetPartitionCount(), static_cast<int>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i)
        {
            const SPartEntry& e = drive.Partitions()[i];
            EXPECT_EQ(e.AbsStart, expected[i].Start) << "entry " << i;
            EXPECT_EQ(e.SectorCount(), expected[i].Size) << "entry " << i;
            EXPECT_EQ(e.Type(), expected[i].Type) << "entry " << i;
            EXPECT_EQ(drive.GetPartitionStartCylinder(static_cast<int>(i)),
                      expected[i].Start / 16065);
            EXPECT_EQ(drive.GetPartitionColor(static_cast<int>(i)),
                      PartitionClassColor(ClassifyPartitionType(expected[i].Type)));
        }
        drive.Close();
    }
}

namespace {

struct SSfdiskGptPart
{
    uint64_t Start;
    uint64_t Size;
    std::string Type;
    std::string Name;
};

std::vector<SSfdiskGptPart> SfdiskGptList(const std::string& device)
{
    std::string out;
    EXPECT_EQ(RunCommand("sfdisk --json '" + device + "'", &out), 0);
    std::vector<SSfdiskGptPart> parts;
    const auto doc = nlohmann::json::parse(out);
    EXPECT_EQ(doc["partitiontable"]["label"], "gpt");
    for (const auto& p : doc["partitiontable"]["partitions"])
        parts.push_back({p["start"].get<uint64_t>(), p["size"].get<uint64_t>(),
                         p["type"].get<std::string>(), p.value("name", std::string())});
    return parts;
}

const char* const kEfiGuid = "C12A7328-F81F-11D2-BA4B-00A0C93EC93B";
const char* const kBasicDataGuid = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
const char* const kSwapGuid = "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F";
const char* const kLinuxGuid = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";

// The partitions of the GPT disk below, in table order, with the class each must get.
const struct
{
    const char* Name;
    EPartClass Class;
} kGptLayout[] = {
    {"EFI system", EPartClass::Fat32}, {"Windows data", EPartClass::Ntfs},
    {"Shared", EPartClass::Fat32},     {"swap", EPartClass::Linux},
    {"root", EPartClass::Linux},
};

bool HaveGptTools()
{
    return RunCommand("command -v sfdisk && command -v mkntfs && command -v mkfs.vfat "
                      ">/dev/null 2>&1") == 0;
}

// A 1 GiB disk of bytesPerSector-byte sectors partitioned by sfdisk with a GUID table: EFI,
// Microsoft basic data formatted NTFS, another formatted FAT32, swap and a Linux root.
void MakeGptImage(const std::string& image, uint32_t bytesPerSector, const CTempDir& dir)
{
    CreateSparseFile(image, 1ull << 30);
    const std::string script =
        "label: gpt\nsector-size: " + std::to_string(bytesPerSector) + "\n" +
        "start=" + std::to_string(1048576 / bytesPerSector) + ",size=32M,type=" + kEfiGuid +
        ",name=\"EFI system\"\n" + "size=64M,type=" + kBasicDataGuid + ",name=\"Windows data\"\n" +
        "size=288M,type=" + kBasicDataGuid + ",name=\"Shared\"\n" + "size=32M,type=" + kSwapGuid +
        ",name=\"swap\"\n" + "type=" + kLinuxGuid + ",name=\"root\"\n";
    const std::string bps = std::to_string(bytesPerSector);
    const std::string scriptFile = dir.File("layout.sfdisk");
    {
        std::FILE* f = std::fopen(scriptFile.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(script.c_str(), f);
        std::fclose(f);
    }
    // sfdisk takes the sector size from the device: a 4 KiB-sector table is written through a
    // loop device of that sector size.
    std::string target = image;
    std::string loop;
    if (bytesPerSector != 512)
    {
        ASSERT_EQ(
            RunCommand("losetup --find --show --sector-size " + bps + " '" + image + "'", &loop),
            0);
        loop.erase(loop.find_last_not_of("\r\n") + 1);
        target = loop;
    }
    const int rc = RunCommand("sfdisk -q '" + target + "' < '" + scriptFile + "' >/dev/null 2>&1");
    if (!loop.empty())
        RunCommand("losetup --detach '" + loop + "'");
    ASSERT_EQ(rc, 0);

    // The file systems are made in files of their own and copied into their partitions.
    const uint64_t mib = 1048576 / bytesPerSector;
    const struct
    {
        uint64_t Start;
        uint64_t Bytes;
        std::string Make;
    } filesystems[] = {
        {33 * mib, 64ull << 20, "mkntfs -F -Q -q -s " + bps},
        {97 * mib, 288ull << 20, "mkfs.vfat -F 32 -s 1 -S " + bps},
    };
    for (const auto& fs : filesystems)
    {
        const std::string part = dir.File("part.img");
        CreateSparseFile(part, fs.Bytes);
        ASSERT_EQ(RunCommand(fs.Make + " '" + part + "' >/dev/null 2>&1"), 0) << fs.Make;
        ASSERT_EQ(RunCommand("dd if='" + part + "' of='" + image + "' bs=" + bps + " seek=" +
                             std::to_string(fs.Start) + " conv=notrunc,sparse status=none"),
                  0);
    }
}

// Opens path as the command-line tool does and analyses its partitions.
void OpenAndAnalyse(CNtHardDrive& drive, const std::string& path)
{
    GEOMETRY g;
    ASSERT_EQ(drive.AddPathDrive(path, &g), 0u);
    ASSERT_TRUE(
        drive.Open(g.Drive, g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack, g.BytesPerSector));
    EXPECT_TRUE(drive.AnalysePartitions());
}

void ExpectSfdiskGptList(CNtHardDrive& drive, const std::vector<SSfdiskGptPart>& expected,
                         size_t at = 0)
{
    ASSERT_GE(drive.Partitions().size(), at + expected.size());
    ASSERT_EQ(expected.size(), std::size(kGptLayout));
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE("entry " + std::to_string(i));
        const SPartEntry& e = drive.Partitions()[at + i];
        ASSERT_TRUE(e.Gpt.has_value());
        EXPECT_EQ(e.Start(), expected[i].Start);
        EXPECT_EQ(e.Sectors(), expected[i].Size);
        EXPECT_EQ(gpt::FormatGuid(e.Gpt->TypeGuid), expected[i].Type);
        EXPECT_EQ(e.Gpt->Name, expected[i].Name);
        EXPECT_EQ(e.Gpt->Name, kGptLayout[i].Name);
        EXPECT_EQ(e.Class(), kGptLayout[i].Class);
        EXPECT_EQ(drive.GetPartitionColor(static_cast<int>(at + i)),
                  PartitionClassColor(kGptLayout[i].Class));
        EXPECT_EQ(drive.GetPartitionStartCylinder(static_cast<int>(at + i)),
                  expected[i].Start / 16065);
    }
}

} // namespace

TEST(SfdiskImage, GuidTableMatchesSfdiskOnBothSectorSizes)
{
    if (!HaveGptTools())
        GTEST_SKIP() << "needs sfdisk (fdisk), mkntfs (ntfs-3g) and mkfs.vfat (dosfstools)";
    for (uint32_t bytesPerSector : {512u, 4096u})
    {
        SCOPED_TRACE(bytesPerSector);
        if (bytesPerSector != 512 && !IsRoot())
        {
            std::printf("[  SKIPPED ] 4096-byte sectors need loop devices, which need root\n");
            continue;
        }
        CTempDir dir;
        const std::string image = dir.File("gpt.img");
        MakeGptImage(image, bytesPerSector, dir);
        if (HasFatalFailure())
            return;
        std::string device = image;
        std::unique_ptr<CLoopDevice> loop;
        if (bytesPerSector != 512)
        {
            loop = std::make_unique<CLoopDevice>(image,
                                                 "--sector-size " + std::to_string(bytesPerSector));
            ASSERT_FALSE(loop->Path().empty()) << loop->Error();
            device = loop->Path();
        }
        const auto expected = SfdiskGptList(device);

        CNtHardDrive drive;
        OpenAndAnalyse(drive, device);
        EXPECT_EQ(drive.Geometry().BytesPerSector, bytesPerSector);
        EXPECT_STREQ(drive.PartitionTableLabel(), "gpt");
        ASSERT_EQ(drive.GetPartitionCount(), static_cast<int>(expected.size()));
        ExpectSfdiskGptList(drive, expected);
        drive.Close();
    }
}

TEST(SfdiskImage, DamagedGuidTablesAndHybridTable)
{
    if (!HaveGptTools())
        GTEST_SKIP() << "needs sfdisk (fdisk), mkntfs (ntfs-3g) and mkfs.vfat (dosfstools)";
    CTempDir dir;
    const std::string image = dir.File("gpt.img");
    MakeGptImage(image, 512, dir);
    if (HasFatalFailure())
        return;
    const auto expected = SfdiskGptList(image);
    const uint64_t lastLba = (1ull << 30) / 512 - 1;

    {
        SCOPED_TRACE("primary header zeroed: the backup gives the same partitions");
        WriteAt(image, 512, std::vector<uint8_t>(512, 0));
        CNtHardDrive drive;
        OpenAndAnalyse(drive, image);
        EXPECT_STREQ(drive.PartitionTableLabel(), "gpt");
        ASSERT_EQ(drive.GetPartitionCount(), static_cast<int>(expected.size()));
        ExpectSfdiskGptList(drive, expected);
        drive.Close();
    }
    {
        SCOPED_TRACE("a byte of the backup's entry array changed too: one Other column");
        WriteAt(image, (lastLba - 32) * 512 + 60, {0x7A});
        CNtHardDrive drive;
        OpenAndAnalyse(drive, image);
        EXPECT_STREQ(drive.PartitionTableLabel(), "dos");
        ASSERT_EQ(drive.GetPartitionCount(), 1);
        EXPECT_EQ(drive.Partitions()[0].Type(), 0xEE);
        EXPECT_EQ(drive.GetPartitionColor(0), PartitionClassColor(EPartClass::Other));
        EXPECT_EQ(drive.GetPartitionStartCylinder(0), 0u);
        drive.Close();
    }

    // A fresh table made hybrid: the FAT32 partition is listed in the master boot record too.
    MakeGptImage(image, 512, dir);
    if (HasFatalFailure())
        return;
    const SSfdiskGptPart& shared = expected[2];
    std::vector<uint8_t> mbr(512);
    {
        std::FILE* f = std::fopen(image.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fread(mbr.data(), 1, 512, f), 512u);
        std::fclose(f);
    }
    const auto fat = RawEntryBytes(
        {0x0C, static_cast<uint32_t>(shared.Start), static_cast<uint32_t>(shared.Size)});
    std::copy(fat.begin(), fat.end(), mbr.begin() + 446 + 16);
    WriteAt(image, 0, mbr);
    CNtHardDrive drive;
    OpenAndAnalyse(drive, image);
    EXPECT_STREQ(drive.PartitionTableLabel(), "gpt");
    ASSERT_EQ(drive.GetPartitionCount(), static_cast<int>(expected.size()) + 1);
    ExpectSfdiskGptList(drive, expected);
    const SPartEntry& last = drive.Partitions().back();
    EXPECT_FALSE(last.Gpt.has_value());
    EXPECT_EQ(last.Type(), 0x0C);
    EXPECT_EQ(last.AbsStart, shared.Start);
    drive.Close();
}
