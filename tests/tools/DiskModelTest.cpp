// faultdisk's disk model and command line, without FUSE: read times, errors, vanishing.
#include "tools/faultdisk/DiskModel.h"
#include "tools/faultdisk/Options.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace faultdisk;

namespace {

// What reading bytes at mbps takes, the way the model counts it.
double Ns(uint64_t bytes, double mbps)
{
    return static_cast<double>(bytes) / (mbps * 1048576.0) * 1e9;
}

SOptions Parsed(const std::vector<std::string>& args)
{
    SOptions options;
    const std::string error = ParseOptions(args, &options);
    EXPECT_EQ(error, "");
    return options;
}

} // namespace

TEST(DiskModel, ReadTimeFollowsTheZonesAndTheLaterZoneWins)
{
    // 1000 sectors: outer half 100 MB/s, inner half 50 MB/s, a slow spot laid over the outer
    // half, and the base speed nowhere left.
    const SOptions options = Parsed({"--size", "1000s", "--speed", "400", "--zone", "0-499:100",
                                     "--zone", "500-:50", "--zone", "200+10:1", "mnt"});
    const CDiskModel model(options);
    struct SCase
    {
        uint64_t Offset, Bytes;
        double ExpectedNs;
    };
    const SCase cases[] = {
        {0, 100 * 512, Ns(100 * 512, 100)},
        {190 * 512, 30 * 512, Ns(20 * 512, 100) + Ns(10 * 512, 1)},
        {495 * 512, 10 * 512, Ns(5 * 512, 100) + Ns(5 * 512, 50)},
        {900 * 512, 100 * 512, Ns(100 * 512, 50)},
        {199 * 512 + 256, 512, Ns(256, 100) + Ns(256, 1)},
        {0, 1000 * 512, Ns(490 * 512, 100) + Ns(10 * 512, 1) + Ns(500 * 512, 50)},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.Offset);
        EXPECT_NEAR(static_cast<double>(model.ReadTimeNs(c.Offset, c.Bytes)), c.ExpectedNs, 1.0);
    }

    const SOptions base = Parsed({"--size", "300s", "--speed", "200", "--zone", "100-199:50", "m"});
    EXPECT_NEAR(static_cast<double>(CDiskModel(base).ReadTimeNs(0, 300 * 512)),
                Ns(200 * 512, 200) + Ns(100 * 512, 50), 1.0);
    const SOptions none = Parsed({"--size", "300s", "--zone", "100-199:50", "m"});
    EXPECT_NEAR(static_cast<double>(CDiskModel(none).ReadTimeNs(0, 300 * 512)), Ns(100 * 512, 50),
                1.0);
}

TEST(DiskModel, BadSectorsFailTheWholeReadThatTouchesThem)
{
    const SOptions options =
        Parsed({"--size", "100s", "--zone", "0-:1", "--bad", "10-19", "--bad", "50", "m"});
    CDiskModel model(options);
    struct SCase
    {
        uint64_t FirstSector, Sectors;
        int Error;
    };
    const SCase cases[] = {{9, 1, 0},    {10, 1, EIO}, {19, 1, EIO}, {20, 1, 0},   {0, 10, 0},
                           {0, 11, EIO}, {19, 2, EIO}, {49, 1, 0},   {50, 1, EIO}, {51, 49, 0}};
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.FirstSector);
        const SReadPlan plan = model.PlanRead(c.FirstSector * 512, c.Sectors * 512);
        EXPECT_EQ(plan.Error, c.Error);
        EXPECT_EQ(plan.Bytes, c.Error ? 0 : c.Sectors * 512);
        EXPECT_EQ(plan.DelayNs == 0, c.Error != 0) << "a failing read returns at once";
        EXPECT_FALSE(plan.EndNow);
    }
    EXPECT_EQ(model.StatsText(), "reads 10\nbytes_read " +
                                     std::to_string((1 + 1 + 10 + 1 + 49) * 512) +
                                     "\nread_errors 5\nwrite_attempts 0\nvanished 0\n");
}

TEST(DiskModel, ReadsAreCutAtTheEndOfTheDisk)
{
    CDiskModel model(Parsed({"--size", "4s", "m"}));
    EXPECT_EQ(model.PlanRead(3 * 512, 4096).Bytes, 512u);
    const SReadPlan past = model.PlanRead(4 * 512, 512);
    EXPECT_EQ(past.Bytes, 0u);
    EXPECT_EQ(past.Error, 0);
}

TEST(DiskModel, VanishesAfterReadsOrAtASector)
{
    struct SCase
    {
        std::vector<std::string> Args;
        int Error;
        bool Ends;
    };
    const SCase modes[] = {{{"--vanish-as", "exit"}, EIO, true},
                           {{"--vanish-as", "eio"}, EIO, false},
                           {{"--vanish-as", "enodev"}, ENODEV, false}};
    for (const SCase& mode : modes)
    {
        SCOPED_TRACE(mode.Args[1]);
        // After three reads, a failed one among them: it counts too.
        std::vector<std::string> args = {"--size", "100s", "--bad", "1", "--vanish-after", "3"};
        args.insert(args.end(), mode.Args.begin(), mode.Args.end());
        args.push_back("m");
        CDiskModel afterReads(Parsed(args));
        EXPECT_EQ(afterReads.PlanRead(0, 512).Error, 0);
        EXPECT_EQ(afterReads.PlanRead(512, 512).Error, EIO);
        const SReadPlan third = afterReads.PlanRead(1024, 512);
        EXPECT_EQ(third.Error, 0) << "the last read before vanishing is served";
        EXPECT_EQ(third.EndNow, mode.Ends);
        EXPECT_TRUE(afterReads.Vanished());
        EXPECT_EQ(afterReads.PlanRead(0, 512).Error, mode.Error);
        EXPECT_EQ(afterReads.ReadsBeforeVanishing(), 3u);

        args = {"--size", "100s", "--vanish-at", "40"};
        args.insert(args.end(), mode.Args.begin(), mode.Args.end());
        args.push_back("m");
        CDiskModel atSector(Parsed(args));
        EXPECT_EQ(atSector.PlanRead(0, 40 * 512).Error, 0);
        const SReadPlan reaching = atSector.PlanRead(39 * 512, 2 * 512);
        EXPECT_EQ(reaching.Error, mode.Error);
        EXPECT_EQ(reaching.EndNow, mode.Ends);
        EXPECT_EQ(atSector.PlanRead(0, 512).Error, mode.Error);
        EXPECT_EQ(atSector.ReadsBeforeVanishing(), 1u);
        EXPECT_NE(atSector.StatsText().find("vanished 1\n"), std::string::npos);
    }
}

TEST(DiskModel, CommandLineForms)
{
    const SOptions o = Parsed({"-s", "2M", "--sector-size=4096", "-b", "7", "-b", "10+3", "-z",
                               "100-:2.5", "-n", "sda", "-f", "--vanish-at", "511", "mnt"});
    EXPECT_EQ(o.Bytes, 2u << 20);
    EXPECT_EQ(o.Sectors(), 512u);
    ASSERT_EQ(o.Bad.size(), 2u);
    EXPECT_EQ(o.Bad[0].First, 7u);
    EXPECT_EQ(o.Bad[0].Last, 7u);
    EXPECT_EQ(o.Bad[1].First, 10u);
    EXPECT_EQ(o.Bad[1].Last, 12u);
    ASSERT_EQ(o.Zones.size(), 1u);
    EXPECT_EQ(o.Zones[0].Range.First, 100u);
    EXPECT_EQ(o.Zones[0].Range.Last, 511u);
    EXPECT_EQ(o.Zones[0].MBps, 2.5);
    EXPECT_EQ(o.Name, "sda");
    EXPECT_TRUE(o.Foreground);
    EXPECT_EQ(o.MountPoint, "mnt");
    EXPECT_EQ(Parsed({"--size", "3s", "--sector-size", "4096", "m"}).Bytes, 3u * 4096);
    EXPECT_EQ(Parsed({"--size", "1G", "m"}).Bytes, 1u << 30);
}
