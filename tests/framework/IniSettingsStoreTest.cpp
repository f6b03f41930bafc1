// The INI settings store: where it lives, what it reads back, and that it is written whole.
#include "framework/IniSettingsStore.h"
#include "fixtures/TempDir.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(IniSettingsStoreTest, LivesUnderTheXdgConfigFolder)
{
    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(fw::CIniSettingsStore::DefaultPath("Zelqo", "Ratemark"),
              "/x/config/Zelqo/Ratemark.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(fw::CIniSettingsStore::DefaultPath("Zelqo", "Ratemark"),
              "/home/u/.config/Zelqo/Ratemark.ini");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(fw::CIniSettingsStore::DefaultPath("Zelqo", "Ratemark"),
              "/home/u/.config/Zelqo/Ratemark.ini");
}

TEST(IniSettingsStoreTest, IntegersRoundTripAndBadValuesGiveTheDefault)
{
    testing_fx::CTempDir dir;
    const std::string path = dir.File("cfg/Zelqo/Ratemark.ini");
    {
        fw::CIniSettingsStore store(path);
        EXPECT_EQ(store.GetProfileInt("Settings", "MainWndX", 50), 50);
        EXPECT_TRUE(store.WriteProfileInt("Settings", "MainWndX", -7));
        EXPECT_TRUE(store.WriteProfileInt("Settings", "MainWndW", 2147483647));
        EXPECT_TRUE(std::filesystem::exists(path)) << "written at once";
    }
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("[Settings]"), std::string::npos);
    EXPECT_NE(text.find("MainWndX=-7"), std::string::npos);

    // Values a person or another program may have left there.
    std::ofstream(path, std::ios::app) << "Junk=12abc\nBig=99999999999\nEmpty=\nSpaced= 42 \n";
    fw::CIniSettingsStore store(path);
    EXPECT_EQ(store.GetProfileInt("Settings", "MainWndX", 0), -7);
    EXPECT_EQ(store.GetProfileInt("Settings", "MainWndW", 0), 2147483647);
    const struct
    {
        const char* key;
        int expected;
    } cases[] = {{"Junk", 5}, {"Big", 5}, {"Empty", 5}, {"Spaced", 42}, {"Missing", 5}};
    for (const auto& c : cases)
        EXPECT_EQ(store.GetProfileInt("Settings", c.key, 5), c.expected) << c.key;
}

TEST(IniSettingsStoreTest, AFailedWriteLeavesTheOldFileWhole)
{
    testing_fx::CTempDir dir;
    const std::string path = dir.File("Ratemark.ini");
    fw::CIniSettingsStore store(path);
    ASSERT_TRUE(store.WriteProfileInt("Settings", "FastTest", 1));
    const std::string before = ReadAll(path);
    // A file-size limit (which binds root too) makes the rewrite fail half-way.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
    const BOOL written = store.WriteProfileInt("Settings", "RandomAccess", 1);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(path), before);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1) << "no temporary file is left behind";
}

TEST(IniSettingsStoreTest, RecentFileListKeepsFourNewestFirst)
{
    testing_fx::CTempDir dir;
    const std::string path = dir.File("Ratemark.ini");
    {
        fw::CIniSettingsStore store(path);
        for (const char* f : {"/a.dat", "/b.dat", "/c.dat", "/d.dat", "/e.dat", "/c.dat"})
            store.AddRecentFile(f);
    }
    fw::CIniSettingsStore store(path);
    EXPECT_EQ(store.GetRecentFiles(),
              (std::vector<std::string>{"/c.dat", "/e.dat", "/d.dat", "/b.dat"}));
    EXPECT_NE(ReadAll(path).find("[Recent File List]"), std::string::npos);
}

} // namespace
