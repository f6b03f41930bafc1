// The partition walk on images partitioned by sfdisk, compared with what sfdisk reports.
#include "diskaccess/NtHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"

#include <gtest/gtest.h>
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
