// The desktop program's command line: the uninstall switch, drives by path, a result file.
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

namespace {

CRtmCommandLineInfo Parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "ratemark");
    CRtmCommandLineInfo info;
    info.Parse(static_cast<int>(args.size()), args.data());
    return info;
}

TEST(CommandLineTest, UninstallIsOnlyTheSwitchAfterASlashOrHyphen)
{
    const struct
    {
        const char* arg;
        BOOL uninstall;
        const char* file;
    } cases[] = {
        {"/UNINST", TRUE, ""},
        {"/uninst", TRUE, ""},
        {"-UnInSt", TRUE, ""},
        {"UNINST", FALSE, "UNINST"},
        {"/UNINSTALL", FALSE, "/UNINSTALL"},
        {"/home/u/run.dat", FALSE, "/home/u/run.dat"},
    };
    for (const auto& c : cases)
    {
        const CRtmCommandLineInfo info = Parse({c.arg});
        EXPECT_EQ(info.m_bUninstall, c.uninstall) << c.arg;
        EXPECT_EQ(info.m_strFileName, c.file) << c.arg;
        EXPECT_EQ(info.m_strError, "") << c.arg;
    }
}

TEST(CommandLineTest, DrivesAreKeptInOrderAndTheFirstPlainArgumentIsTheFile)
{
    const CRtmCommandLineInfo info =
        Parse({"--drive", "/dev/sdb", "a.dat", "--drive=/img/x.img", "b.dat"});
    EXPECT_EQ(info.m_drives, (std::vector<std::string>{"/dev/sdb", "/img/x.img"}));
    EXPECT_EQ(info.m_strFileName, "a.dat");
    EXPECT_FALSE(info.m_bHelp);
    EXPECT_TRUE(Parse({"--help"}).m_bHelp);
    EXPECT_TRUE(Parse({"-h"}).m_bHelp);
}

TEST(CommandLineTest, BadOptionsAreUsageErrors)
{
    for (const std::vector<const char*>& args :
         {std::vector<const char*>{"--drive"}, {"--drive="}, {"--drive", ""}, {"--fast"}, {"-x"}})
        EXPECT_NE(Parse(args).m_strError, "") << args[0];
    EXPECT_NE(RatemarkUsage().find("--drive PATH"), std::string::npos);
}

} // namespace
