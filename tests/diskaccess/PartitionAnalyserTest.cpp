// The partition walk on tables built byte by byte.
#include "diskaccess/PartitionAnalyser.h"
#include "fixtures/MemoryDrive.h"

#include <gtest/gtest.h>
#include <stdexcept>

using testing_fx::CMemoryDrive;
using testing_fx::CSectorMap;
using testing_fx::RawEntryBytes;
using testing_fx::SRawPart;
using testing_fx::TableSector;

namespace {

struct SExpected
{
    uint32_t AbsStart;
    uint8_t Type;
    COLORREF Color;
    uint32_t StartCylinder;
    uint32_t Cylinders;
};

void ExpectList(CMemoryDrive& drive, const std::vector<SExpected>& expected)
{
    ASSERT_EQ(drive.GetPartitionCount(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE("entry " + std::to_string(i));
        const int n = static_cast<int>(i);
        EXPECT_EQ(drive.Partitions()[i].AbsStart, expected[i].AbsStart);
        EXPECT_EQ(drive.Partitions()[i].Type(), expected[i].Type);
        EXPECT_EQ(drive.GetPartitionColor(n), expected[i].Color);
        EXPECT_EQ(drive.GetPartitionStartCylinder(n), expected[i].StartCylinder);
        EXPECT_EQ(drive.GetPartitionCylinders(n), expected[i].Cylinders);
    }
}

} // namespace

TEST(PartitionAnalyser, WorkedExampleInWalkOrder)
{
    CSectorMap sectors;
    sectors[0] = TableSector({{0x0B, 63, 2000000}, {0x0F, 2000125, 3000000}});
    sectors[2000125] = TableSector({{0x07, 63, 1000000}, {0x05, 1000125, 500063}});
    sectors[3000250] = TableSector({{0x83, 63, 500000}});
    CMemoryDrive drive(sectors);

    EXPECT_TRUE(drive.AnalysePartitions());
    ExpectList(drive, {{63, 0x0B, 0x79F8B6, 0, 124},
                       {2000188, 0x07, 0xE9CDFF, 124, 62},
                       {3000313, 0x83, 0x86EBEC, 186, 31}});
    // The raw entry is kept exactly as read.
    const auto raw = RawEntryBytes({0x07, 63, 1000000});
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), drive.Partitions()[1].RawEntry));
}

TEST(PartitionAnalyser, LogicalPartitionsStandAtTheirExtendedEntry)
{
    CSectorMap sectors;
    sectors[0] = TableSector({{0x06, 63, 1000}, {0x05, 20000, 50000}, {0x0C, 90000, 1000}});
    sectors[20000] = TableSector({{0x83, 63, 100}, {0x05, 10000, 200}});
    sectors[30000] = TableSector({{0x82, 63, 100}});
    CMemoryDrive drive(sectors);

    EXPECT_TRUE(drive.AnalysePartitions());
    ASSERT_EQ(drive.GetPartitionCount(), 4);
    const uint32_t starts[] = {63, 20063, 30063, 90000};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(drive.Partitions()[static_cast<size_t>(i)].AbsStart, starts[i]);
}

TEST(PartitionAnalyser, UnreadableMasterBootRecordGivesEmptyList)
{
    struct SCase
    {
        const char* Name;
        CSectorMap Sectors;
        bool FailRead;
    };
    const std::vector<SCase> cases = {
        {"all zeros", {}, false},
        {"unsigned", {{0, TableSector({{0x07, 63, 100}}, false)}}, false},
        {"read fails", {{0, TableSector({{0x07, 63, 100}})}}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        CMemoryDrive drive(c.Sectors);
        if (c.FailRead)
            drive.FailSector(0);
        EXPECT_FALSE(drive.AnalysePartitions());
        EXPECT_EQ(drive.GetPartitionCount(), 0);
    }
}

TEST(PartitionAnalyser, UnsignedOrUnreadableExtendedRecordListsTheExtendedEntry)
{
    for (bool failRead : {false, true})
    {
        SCOPED_TRACE(failRead ? "read fails" : "no signature");
        CSectorMap sectors;
        sectors[0] = TableSector({{0x0F, 5000, 8000}, {0x07, 20000, 100}});
        sectors[5000] = TableSector({{0x07, 63, 100}}, false);
        CMemoryDrive drive(sectors);
        if (failRead)
            drive.FailSector(5000);
        EXPECT_TRUE(drive.AnalysePartitions());
        ExpectList(drive, {{5000, 0x0F, 0xB38050, 0, 0}, {20000, 0x07, 0xE9CDFF, 1, 0}});
    }
}

TEST(PartitionAnalyser, TypesThatAreNotWalked)
{
    // 0x15 is coloured like an empty extended partition but never followed; 0x85 is Other.
    for (uint8_t type : {uint8_t{0x15}, uint8_t{0x85}})
    {
        CSectorMap sectors;
        sectors[0] = TableSector({{type, 16065, 16065}});
        sectors[16065] = TableSector({{0x07, 63, 100}});
        CMemoryDrive drive(sectors);
        EXPECT_TRUE(drive.AnalysePartitions());
        ASSERT_EQ(drive.GetPartitionCount(), 1);
        EXPECT_EQ(drive.GetPartitionColor(0), type == 0x15 ? 0xB38050u : 0xFFD6D6u);
        EXPECT_EQ(drive.Reads(), std::vector<uint32_t>{0});
    }
}

TEST(PartitionAnalyser, ClassesAndColours)
{
    const struct
    {
        uint8_t Type;
        const char* Label;
        COLORREF Color;
    } cases[] = {
        {0x07, "NTFS", 0xE9CDFF},  {0x17, "NTFS", 0xE9CDFF},       {0x01, "FAT", 0xD0F8B6},
        {0x0E, "FAT", 0xD0F8B6},   {0x1E, "FAT", 0xD0F8B6},        {0x0B, "FAT32", 0x79F8B6},
        {0x1C, "FAT32", 0x79F8B6}, {0x05, "Empty Ext.", 0xB38050}, {0x15, "Empty Ext.", 0xB38050},
        {0x82, "Linux", 0x86EBEC}, {0x83, "Linux", 0x86EBEC},      {0xA5, "FreeBSD", 0xB3CFDD},
        {0x27, "Other", 0xFFD6D6}, {0xEE, "Other", 0xFFD6D6},      {0x00, "Free", 0xB8B8B6},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.Type));
        const EPartClass cls = ClassifyPartitionType(c.Type);
        EXPECT_STREQ(PartitionClassLabel(cls), c.Label);
        EXPECT_EQ(PartitionClassColor(cls), c.Color);
    }
    EXPECT_EQ(PartitionClassColor(EPartClass::Free), RgbColor(182, 184, 184));
}

TEST(PartitionAnalyser, ChainsThatLeadBackTerminate)
{
    struct SCase
    {
        const char* Name;
        CSectorMap Sectors;
        std::vector<SExpected> Expected;
    };
    std::vector<SCase> cases;
    // An extended entry of relative start 0 in the master boot record points at sector 0.
    cases.push_back({"extended entry at sector 0",
                     {{0, TableSector({{0x07, 63, 100}, {0x0F, 0, 100}})}},
                     {{63, 0x07, 0xE9CDFF, 0, 0}, {0, 0x0F, 0xB38050, 0, 0}}});
    // Two extended boot records linking to each other.
    cases.push_back({"two records in a ring",
                     {{0, TableSector({{0x05, 1000, 5000}})},
                      {1000, TableSector({{0x83, 63, 100}, {0x05, 2000, 100}})},
                      {3000, TableSector({{0x83, 63, 100}, {0x05, 0, 100}})}},
                     {{1063, 0x83, 0x86EBEC, 0, 0},
                      {3063, 0x83, 0x86EBEC, 0, 0},
                      {3000, 0x05, 0xB38050, 0, 0}}});
    for (auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        CMemoryDrive drive(c.Sectors);
        EXPECT_TRUE(drive.AnalysePartitions());
        ExpectList(drive, c.Expected);
    }
}

TEST(PartitionAnalyser, EndlessChainOfFreshRecordsIsBounded)
{
    CSectorMap sectors;
    sectors[0] = TableSector({{0x05, 100, 1}});
    for (uint32_t k = 0; k < 5000; ++k)
        sectors[100 + 10 * k] = TableSector({{0x83, 1, 1}, {0x05, 10 * (k + 1), 1}});
    CMemoryDrive drive(sectors);
    EXPECT_TRUE(drive.AnalysePartitions());
    EXPECT_GT(drive.GetPartitionCount(), 100);
    EXPECT_LT(drive.GetPartitionCount(), 5000);
}

TEST(PartitionAnalyser, QueriesCheckTheIndex)
{
    CSectorMap sectors;
    sectors[0] = TableSector({{0x07, 63, 100}, {0x0B, 200, 100}, {0x83, 400, 100}});
    CMemoryDrive drive(sectors);
    drive.AnalysePartitions();
    ASSERT_EQ(drive.GetPartitionCount(), 3);
    EXPECT_THROW(drive.GetPartitionStartCylinder(5), std::invalid_argument);
    EXPECT_THROW(drive.GetPartitionCylinders(3), std::invalid_argument);
    EXPECT_THROW(drive.GetPartitionColor(-1), std::invalid_argument);
    EXPECT_THROW(drive.GetPartitionColor(3), std::invalid_argument);

    // Without sectors per cylinder the cylinder queries answer 0 before looking at the index.
    drive.SetGeometry(GEOMETRY{0, 10, 0, 63, 512});
    EXPECT_EQ(drive.GetPartitionStartCylinder(5), 0u);
    EXPECT_EQ(drive.GetPartitionCylinders(-1), 0u);
    EXPECT_THROW(drive.GetPartitionColor(5), std::invalid_argument);
}

TEST(PartitionAnalyser, NoSectorSizeReadsNothing)
{
    CSectorMap sectors;
    sectors[0] = TableSector({{0x07, 63, 100}});
    CMemoryDrive drive(sectors);
    drive.AnalysePartitions();
    drive.SetGeometry(GEOMETRY{});
    EXPECT_FALSE(drive.AnalysePartitions());
    EXPECT_EQ(drive.GetPartitionCount(), 0);
    EXPECT_EQ(drive.Reads().size(), 1u);
}

TEST(PartitionAnalyser, StartsWrapAtThirtyTwoBits)
{
    CSectorMap sectors;
    sectors[0] = TableSector({{0x05, 0xFFFFFF00u, 10}});
    sectors[0xFFFFFF00u] = TableSector({{0x83, 0x200, 100}});
    CMemoryDrive drive(sectors);
    EXPECT_TRUE(drive.AnalysePartitions());
    ASSERT_EQ(drive.GetPartitionCount(), 1);
    EXPECT_EQ(drive.Partitions()[0].AbsStart, 0x100u);
}
