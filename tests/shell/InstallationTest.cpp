// First-run registration and the uninstall procedure against a temporary machine root, home
// and temporary folder, with a portable folder made by the test; the removal script is run
// for real.
#include "shell/Installation.h"
#include "ScopedEnv.h"
#include "TextFile.h"
#include "fixtures/MemoryDrive.h"
#include "fixtures/TempDir.h"
#include "framework/MessageBox.h"
#include "platform/Process.h"
#include "platform/RemovalScript.h"
#include "platform/UninstallEntry.h"
#include "shell/AppCore.h"
#include "shell/InstalledFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::EEntryScope;

extern char** environ;

namespace {

using testing_fx::ReadAll;
using testing_fx::WriteAll;

// Answers every box with one button and keeps what was asked.
class CAnsweringBoxes : public fw::IMessageBoxService
{
public:
    int Show(const std::string& text, unsigned type) override
    {
        m_asked.push_back(text);
        m_types.push_back(type);
        return m_nAnswer;
    }
    int m_nAnswer = fw::kIdYes;
    std::vector<std::string> m_asked;
    std::vector<unsigned> m_types;
};

class CFakePrompt : public ICreateIconsPrompt
{
public:
    bool Ask(SCreateIconsChoice& choice) override
    {
        ++m_nAsked;
        m_initial = choice;
        if (m_bCancel)
            return false;
        choice = m_answer;
        return true;
    }
    bool m_bCancel = false;
    SCreateIconsChoice m_answer;
    SCreateIconsChoice m_initial{-1, -1};
    int m_nAsked = 0;
};

// A back-end that tells when it is deleted.
class CWatchedDrive : public testing_fx::CMemoryDrive
{
public:
    explicit CWatchedDrive(bool* deleted) : CMemoryDrive({}), m_pDeleted(deleted) {}
    ~CWatchedDrive() override { *m_pDeleted = true; }

private:
    bool* m_pDeleted;
};

// A process standing for the running program, which the removal script waits for.
class CStandInProcess
{
public:
    CStandInProcess()
    {
        char sleepProgram[] = "sleep";
        char seconds[] = "120";
        char* argv[] = {sleepProgram, seconds, nullptr};
        if (posix_spawnp(&m_pid, "sleep", nullptr, nullptr, argv, environ) != 0)
            m_pid = -1;
    }
    ~CStandInProcess() { End(); }
    int Pid() const { return m_pid; }
    void End()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

const char* const kShippedFiles[] = {"ratemark-cli",   "libRawio16v2.so", "libRawio32v2.so",
                                     "Ratemark.htb",   "Ratemarkr.htb",   "ratemark.png",
                                     "Ratemarklog.txt"};

class InstallationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_env.Set(platform::kInstallRootVariable, (m_dir.Path() / "machine").string());
        m_env.Set("HOME", Home().string());
        m_env.Set("XDG_CONFIG_HOME", std::nullopt);
        m_env.Set("XDG_DATA_HOME", std::nullopt);
        m_env.Set("TMPDIR", Temp().string()); // without a trailing separator
        fs::create_directories(Temp());
        WriteAll(Home() / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n");
        fs::create_directories(Home() / "Desktop");

        // The portable folder, its name with a space and a quote in it.
        for (const char* name : kShippedFiles)
            WriteAll(Folder() / name, name);
        WriteAll(Executable(), "#!/bin/sh\n");
        fs::permissions(Folder() / "Ratemark.htb", fs::perms::owner_read); // read-only

        ASSERT_GT(m_program.Pid(), 0);
        m_context.strExecutable = Executable().string();
        m_context.nProcessId = m_program.Pid();
        m_context.scope = EEntryScope::Machine;

        fw::SetMessageBoxService(&m_boxes);
        m_core.SetDrive(std::make_unique<CWatchedDrive>(&m_bDriveDeleted));
    }
    void TearDown() override { fw::SetMessageBoxService(nullptr); }

    fs::path Home() const { return m_dir.Path() / "home"; }
    fs::path Temp() const { return m_dir.Path() / "tmp"; }
    fs::path Folder() const { return m_dir.Path() / "apps/Rate 'mark"; }
    fs::path Executable() const { return Folder() / "ratemark"; }
    fs::path MachineEntry() const
    {
        return m_dir.Path() / "machine/var/lib/Zelqo/Ratemark.uninstall";
    }
    fs::path Settings() const { return Home() / ".config/Zelqo/Ratemark.ini"; }
    fs::path DesktopLink() const { return Home() / "Desktop/Ratemark.desktop"; }
    fs::path MenuLink() const { return Home() / ".local/share/applications/Ratemark.desktop"; }
    fs::path Script() const { return Temp() / "rtmdel.sh"; }

    void Register(bool desktop, bool startMenu)
    {
        m_prompt.m_answer = {desktop ? TRUE : FALSE, startMenu ? TRUE : FALSE};
        RegisterForUninstall(m_context, m_prompt);
    }

    testing_fx::CTempDir m_dir;
    testing_fx::CScopedEnv m_env;
    CStandInProcess m_program;
    SInstallContext m_context;
    CAnsweringBoxes m_boxes;
    CFakePrompt m_prompt;
    CAppCore m_core;
    bool m_bDriveDeleted = false;
};

} // namespace

TEST_F(InstallationTest, FirstStartOffersTheDialogUntilOkRegisters)
{
    // Cancel: nothing is created, and the dialog comes back at the next start.
    m_prompt.m_bCancel = true;
    Register(true, true);
    EXPECT_EQ(m_prompt.m_nAsked, 1);
    EXPECT_EQ(m_prompt.m_initial.m_bDesktop, FALSE);
    EXPECT_EQ(m_prompt.m_initial.m_bStartMenu, TRUE);
    EXPECT_FALSE(fs::exists(MachineEntry()));
    EXPECT_FALSE(fs::exists(DesktopLink()));
    EXPECT_FALSE(fs::exists(MenuLink()));

    // OK with both boxes cleared still registers.
    m_prompt.m_bCancel = false;
    Register(false, false);
    EXPECT_EQ(m_prompt.m_nAsked, 2);
    EXPECT_FALSE(fs::exists(DesktopLink()));
    EXPECT_FALSE(fs::exists(MenuLink()));
    const std::string entry = MachineEntry().string();
    ASSERT_TRUE(platform::UninstallEntryExists(entry));
    EXPECT_EQ(platform::GetUninstallValue(entry, "DisplayName"), "Ratemark");
    EXPECT_EQ(platform::GetUninstallValue(entry, "DisplayVersion"), "3, 0, 1, 0");
    EXPECT_EQ(platform::GetUninstallValue(entry, "UninstallString"),
              Executable().string() + " /UNINST");

    // Registered: no dialog any more.
    Register(true, true);
    EXPECT_EQ(m_prompt.m_nAsked, 2);
    EXPECT_FALSE(fs::exists(DesktopLink()));
}

TEST_F(InstallationTest, BothBoxesMakeBothShortcutsAndAUserRegistersInItsDataFolder)
{
    m_context.scope = EEntryScope::User;
    Register(true, true);
    EXPECT_TRUE(fs::exists(DesktopLink()));
    EXPECT_TRUE(fs::exists(MenuLink()));
    EXPECT_NE(ReadAll(MenuLink()).find("Exec=\"" + Executable().string() + "\""), std::string::npos)
        << ReadAll(MenuLink());
    EXPECT_FALSE(fs::exists(MachineEntry()));
    const fs::path userEntry =
        m_dir.Path() / ("machine" + Home().string()) / ".local/share/Zelqo/Ratemark.uninstall";
    EXPECT_TRUE(fs::exists(userEntry));
    EXPECT_EQ(m_context.EntryPath(), userEntry.string());
}

TEST_F(InstallationTest, ASystemInstallationNeverRegisters)
{
    // bin with share/ratemark beside it: the package's layout, which dpkg installs and removes.
    const fs::path prefix = m_dir.Path() / "usr";
    WriteAll(prefix / "bin/ratemark", "exe");
    WriteAll(prefix / "share/ratemark/Ratemark.htb", "book");
    EXPECT_TRUE(IsSystemInstallation((prefix / "bin/ratemark").string()));
    EXPECT_FALSE(IsSystemInstallation(Executable().string()));

    m_context.strExecutable = (prefix / "bin/ratemark").string();
    Register(true, true);
    EXPECT_EQ(m_prompt.m_nAsked, 0);
    EXPECT_FALSE(fs::exists(MachineEntry()));
    EXPECT_FALSE(fs::exists(MenuLink()));
}

TEST_F(InstallationTest, AnsweringNoRemovesNothing)
{
    Register(true, true);
    m_boxes.m_nAnswer = fw::kIdNo;
    Uninstall(m_context, &m_core);
    ASSERT_EQ(m_boxes.m_asked.size(), 1u);
    EXPECT_EQ(m_boxes.m_asked[0], "Are you sure you want to completely remove the selected "
                                  "application and all of its components?");
    EXPECT_EQ(m_boxes.m_types[0], unsigned{fw::kMbYesNo | fw::kMbIconQuestion});
    EXPECT_FALSE(m_bDriveDeleted);
    EXPECT_TRUE(fs::exists(MachineEntry()));
    EXPECT_TRUE(fs::exists(DesktopLink()));
    EXPECT_TRUE(fs::exists(Folder() / "libRawio32v2.so"));
    EXPECT_FALSE(fs::exists(Script()));
}

TEST_F(InstallationTest, UninstallRemovesEverythingOnceAndKeepsOtherProducts)
{
    Register(true, true);
    WriteAll(Settings(), "[Settings]\nFastTest=1\n[Recent File List]\nFile1=/x.dat\n");
    WriteAll(Home() / ".config/Zelqo/Other.ini", "[Settings]\nA=1\n");
    WriteAll(m_dir.Path() / "machine/var/lib/Zelqo/Other.uninstall", "[Uninstall]\n");

    Uninstall(m_context, &m_core);
    EXPECT_TRUE(m_bDriveDeleted);
    EXPECT_EQ(m_core.GetHardDrive(), nullptr);
    EXPECT_FALSE(fs::exists(MachineEntry()));
    EXPECT_FALSE(fs::exists(Settings()));
    EXPECT_FALSE(fs::exists(DesktopLink()));
    EXPECT_FALSE(fs::exists(MenuLink()));
    // Another product's settings and entry keep the company's folders.
    EXPECT_TRUE(fs::exists(Home() / ".config/Zelqo/Other.ini"));
    EXPECT_TRUE(fs::exists(m_dir.Path() / "machine/var/lib/Zelqo/Other.uninstall"));
    // The shipped files are gone; the executable and the log wait for the program's end.
    for (const char* name : kShippedFiles)
        EXPECT_EQ(fs::exists(Folder() / name), std::string(name) == "Ratemarklog.txt") << name;
    ASSERT_TRUE(fs::exists(Script()));
    EXPECT_NE(ReadAll(Script()).find("kill -0 " + std::to_string(m_program.Pid())),
              std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(fs::exists(Executable()));

    // A second run finds no entry and removes nothing.
    WriteAll(Folder() / "libRawio16v2.so", "put back");
    WriteAll(Home() / "Desktop/Ratemark.desktop", "put back");
    Uninstall(m_context, &m_core);
    EXPECT_EQ(m_boxes.m_asked.size(), 2u);
    EXPECT_TRUE(fs::exists(Folder() / "libRawio16v2.so"));
    EXPECT_TRUE(fs::exists(DesktopLink()));
    fs::remove(Folder() / "libRawio16v2.so");

    // Once the program has ended, the script removes the executable, the log, the folder and
    // itself.
    m_program.End();
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(Script()); }, std::chrono::seconds(20)));
    EXPECT_FALSE(fs::exists(Executable()));
    EXPECT_FALSE(fs::exists(Folder()));
    EXPECT_TRUE(fs::exists(Folder().parent_path()));
}

TEST_F(InstallationTest, LastProductLeavesNoCompanyFolders)
{
    Register(false, true);
    WriteAll(Settings(), "[Settings]\nFastTest=1\n");
    Uninstall(m_context, &m_core);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "machine/var/lib/Zelqo"));
    EXPECT_FALSE(fs::exists(Home() / ".config/Zelqo"));
    m_program.End();
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(Script()); }, std::chrono::seconds(20)));
    EXPECT_FALSE(fs::exists(Folder()));
}

TEST(RemovalScript, TextQuotesEveryPath)
{
    const std::string text = platform::RemovalScriptText(4242, "/opt/it's here/ratemark",
                                                         "/opt/it's here/Ratemarklog.txt",
                                                         "/opt/it's here", "/tmp/rtmdel.sh");
    EXPECT_EQ(
        text,
        "#!/bin/sh\n"
        "n=0\n"
        "while kill -0 4242 2>/dev/null && [ $n -lt 600 ]; do sleep 1; n=$((n+1)); done\n"
        "n=0\n"
        "while [ -e '/opt/it'\\''s here/ratemark' ] || [ -L '/opt/it'\\''s here/ratemark' ]; do\n"
        "  chmod u+w '/opt/it'\\''s here/ratemark' 2>/dev/null\n"
        "  rm -f '/opt/it'\\''s here/ratemark'\n"
        "  if [ -e '/opt/it'\\''s here/ratemark' ] && [ $n -lt 60 ]; then sleep 1; "
        "n=$((n+1)); else break; fi\n"
        "done\n"
        "rm -f '/opt/it'\\''s here/Ratemarklog.txt'\n"
        "rmdir '/opt/it'\\''s here' 2>/dev/null\n"
        "rm -f '/tmp/rtmdel.sh'\n");
    EXPECT_STREQ(platform::RemovalScriptName(), "rtmdel.sh");
}

TEST(RemovalScript, RunsDetachedAndKeepsAFolderThatIsNotEmpty)
{
    testing_fx::CTempDir dir;
    const fs::path folder = dir.Path() / "p $(x)";
    WriteAll(folder / "ratemark", "exe");
    WriteAll(folder / "Ratemarklog.txt", "log");
    WriteAll(folder / "notes.txt", "the user's own file");
    fs::permissions(folder / "ratemark", fs::perms::owner_read);
    const fs::path script = dir.Path() / "rtmdel.sh";
    CStandInProcess program;
    ASSERT_TRUE(platform::WriteScriptFile(
        script.string(), platform::RemovalScriptText(program.Pid(), (folder / "ratemark").string(),
                                                     (folder / "Ratemarklog.txt").string(),
                                                     folder.string(), script.string())));
    const int pid = platform::StartDetachedScript(script.string(), dir.Path().string());
    ASSERT_GT(pid, 0);
    // A session of its own (the script is still waiting, so it is there to ask).
    EXPECT_EQ(getsid(pid), pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_TRUE(fs::exists(folder / "ratemark"));

    program.End();
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(fs::exists(folder / "ratemark"));
    EXPECT_FALSE(fs::exists(folder / "Ratemarklog.txt"));
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
    EXPECT_FALSE(fs::exists(script));
}
