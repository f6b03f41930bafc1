// Shortcuts as desktop entries in the XDG user directories of a temporary home.
#include "shell/CreateLink.h"
#include "ScopedEnv.h"
#include "TextFile.h"
#include "fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using testing_fx::ReadAll;
using testing_fx::WriteAll;

// A home of its own, with XDG_CONFIG_HOME and XDG_DATA_HOME unset so that the defaults
// under $HOME are the ones used.
class CreateLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_env.Set("HOME", m_home.Path().string());
        m_env.Set("XDG_CONFIG_HOME", std::nullopt);
        m_env.Set("XDG_DATA_HOME", std::nullopt);
    }
    fs::path Home() const { return m_home.Path(); }
    void SetDesktopDir(const std::string& line)
    {
        WriteAll(Home() / ".config/user-dirs.dirs",
                 "# written by the test\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n" + line + "\n");
    }

    testing_fx::CTempDir m_home;
    testing_fx::CScopedEnv m_env;
};

} // namespace

TEST_F(CreateLinkTest, DesktopFolderFromUserDirsWithTrailingSeparatorsRemoved)
{
    struct Case
    {
        const char* line;
        std::string expected; // "" when the lookup fails
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Desk/\"", (Home() / "Desk").string()},
        {"XDG_DESKTOP_DIR=\"$HOME/Desk//\"", (Home() / "Desk").string()},
        {"XDG_DESKTOP_DIR=\"/srv/Shared Desk\"", "/srv/Shared Desk"},
        {"XDG_DESKTOP_DIR=\"/\"", ""},            // nothing left after the separators
        {"XDG_DESKTOP_DIR=relative/Desktop", ""}, // not the file's format
        {"XDG_MUSIC_DIR=\"$HOME/Music\"", ""},    // no desktop value at all
    };
    for (const Case& c : cases)
    {
        SetDesktopDir(c.line);
        CCreateLink link("Ratemark", CCreateLink::kDesktop);
        std::string folder = "unchanged";
        EXPECT_EQ(link.GetShellFolder(folder), c.expected.empty() ? FALSE : TRUE) << c.line;
        EXPECT_EQ(folder, c.expected.empty() ? "unchanged" : c.expected) << c.line;
        EXPECT_EQ(link.GetLinkPath(), c.expected.empty() ? "" : c.expected + "/Ratemark.desktop")
            << c.line;
    }
}

TEST_F(CreateLinkTest, DesktopEntryForTheExecutable)
{
    SetDesktopDir("XDG_DESKTOP_DIR=\"$HOME/Desktop/\"");
    CCreateLink link("Ratemark", CCreateLink::kDesktop);
    ASSERT_TRUE(link.CreateShortcutTo("/opt/Tools/R/prog"));

    const fs::path file = Home() / "Desktop/Ratemark.desktop";
    const std::string text = ReadAll(file);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    for (const char* line : {"\nType=Application\n", "\nName=Ratemark\n", "\nComment=Ratemark\n",
                             "\nExec=/opt/Tools/R/prog\n", "\nPath=/opt/Tools/R/\n",
                             "\nIcon=ratemark\n", "\nTerminal=false\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

    struct stat st
    {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(CreateLinkTest, ExecQuotesAPathWithSpacesAndTheIconBesideThePortableProgram)
{
    const fs::path folder = Home() / "My Tools/R$";
    WriteAll(folder / "ratemark.png", "png");
    CCreateLink link("Ratemark", CCreateLink::kPrograms);
    ASSERT_TRUE(link.CreateShortcutTo((folder / "ratemark").string()));

    // The menu folder did not exist before: it is made.
    const std::string text = ReadAll(Home() / ".local/share/applications/Ratemark.desktop");
    EXPECT_NE(text.find("\nExec=\"" + Home().string() + "/My Tools/R\\\\$/ratemark\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nPath=" + folder.string() + "/\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=" + (folder / "ratemark.png").string() + "\n"), std::string::npos)
        << text;
}

TEST_F(CreateLinkTest, OverwriteAndRemove)
{
    CCreateLink link("Ratemark", CCreateLink::kPrograms);
    const fs::path file = Home() / ".local/share/applications/Ratemark.desktop";
    WriteAll(file, "an older shortcut, longer than the new one will be ...................\n"
                   "...............................................................\n"
                   "...............................................................\n"
                   "...............................................................\n");
    fs::permissions(file, fs::perms::owner_read);
    ASSERT_TRUE(link.CreateShortcutTo("/opt/R/prog"));
    const std::string text = ReadAll(file);
    EXPECT_EQ(text.find("older"), std::string::npos);
    EXPECT_NE(text.find("Exec=/opt/R/prog"), std::string::npos);

    EXPECT_TRUE(link.RemoveShortcut());
    EXPECT_FALSE(fs::exists(file));
    // Removing a shortcut that is not there reports it and changes nothing.
    EXPECT_FALSE(link.RemoveShortcut());
    EXPECT_TRUE(fs::is_directory(file.parent_path()));
}

TEST_F(CreateLinkTest, MissingFolderValuesFailSilently)
{
    // No user-dirs.dirs: no desktop folder.
    CCreateLink desktop("Ratemark", CCreateLink::kDesktop);
    EXPECT_FALSE(desktop.CreateShortcutTo("/opt/R/prog"));
    EXPECT_FALSE(desktop.RemoveShortcut());

    // Neither XDG_DATA_HOME nor HOME: no programs folder.
    m_env.Set("HOME", std::nullopt);
    CCreateLink programs("Ratemark", CCreateLink::kPrograms);
    EXPECT_FALSE(programs.CreateShortcutTo("/opt/R/prog"));
    EXPECT_FALSE(programs.RemoveShortcut());
    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    m_env.Set("XDG_DATA_HOME", "relative/share");
    EXPECT_FALSE(programs.CreateShortcutTo("/opt/R/prog"));
    EXPECT_FALSE(fs::exists("relative"));

    // Nothing was written anywhere in the home.
    EXPECT_TRUE(fs::is_empty(Home()));
}
