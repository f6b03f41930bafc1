// Output files that are whole or absent, what paths name, and the signals that end the
// program without leaving a temporary behind.
#include "platform/OutputFile.h"
#include "platform/Signals.h"

#include "fixtures/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_fx;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Names(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(OutputFile, TheTargetChangesOnlyAtTheCommitAndKeepsItsPermissions)
{
    CTempDir dir;
    const std::string target = dir.File("run.json");
    std::ofstream(target) << "old";
    ASSERT_EQ(chmod(target.c_str(), 0604), 0);

    platform::COutputFile out;
    ASSERT_EQ(out.Create(target), 0);
    EXPECT_EQ(fs::path(out.TempPath()).parent_path(), dir.Path());
    ASSERT_EQ(out.Write("new ", 4), 0);
    ASSERT_EQ(out.Write("text", 4), 0);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(Names(dir.Path()).size(), 2u);
    ASSERT_EQ(out.Commit(), 0);
    EXPECT_EQ(ReadFile(target), "new text");
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"run.json"});

    // Abandoned, by call or by destruction: the old file stays and nothing is left.
    for (bool destroy : {false, true})
    {
        auto other = std::make_unique<platform::COutputFile>();
        ASSERT_EQ(other->Create(target), 0);
        other->Write("lost", 4);
        if (destroy)
            other.reset();
        else
            other->Abandon();
        EXPECT_EQ(ReadFile(target), "new text");
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"run.json"});
    }
}

TEST(OutputFile, ALinkIsWrittenThroughAndNonRegularTargetsAreRefused)
{
    CTempDir dir;
    fs::create_directory(dir.File("real"));
    std::ofstream(dir.File("real/curve.dat")) << "old";
    fs::create_symlink(dir.File("real/curve.dat"), dir.File("curve.dat"));
    platform::COutputFile out;
    ASSERT_EQ(out.Create(dir.File("curve.dat")), 0);
    EXPECT_EQ(fs::path(out.TempPath()).parent_path(), dir.Path() / "real");
    out.Write("new", 3);
    ASSERT_EQ(out.Commit(), 0);
    EXPECT_TRUE(fs::is_symlink(dir.File("curve.dat")));
    EXPECT_EQ(ReadFile(dir.File("real/curve.dat")), "new");

    const struct
    {
        std::string Path;
        int Error;
    } refused[] = {{dir.Path().string(), EISDIR},
                   {"/dev/null", EINVAL},
                   {dir.File("missing/x"), ENOENT},
                   {"", ENOENT}};
    for (const auto& r : refused)
    {
        platform::COutputFile bad;
        EXPECT_EQ(bad.Create(r.Path), r.Error) << r.Path;
        EXPECT_EQ(bad.Write("x", 1), r.Error) << r.Path;
        EXPECT_EQ(bad.Commit(), r.Error) << r.Path;
    }
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"curve.dat", "real"}));
}

TEST(OutputFile, WhatPathsName)
{
    CTempDir dir;
    std::ofstream(dir.File("image")) << "x";
    fs::create_symlink(dir.File("image"), dir.File("link"));
    platform::SFileId a, b;
    EXPECT_EQ(platform::PathKind(dir.File("image"), &a), platform::EPathKind::Regular);
    EXPECT_EQ(platform::PathKind(dir.File("link"), &b), platform::EPathKind::Regular);
    EXPECT_EQ(a, b);
    EXPECT_EQ(platform::PathKind(dir.Path().string()), platform::EPathKind::Directory);
    EXPECT_EQ(platform::PathKind("/dev/null"), platform::EPathKind::CharDevice);
    EXPECT_EQ(platform::PathKind(dir.File("none")), platform::EPathKind::Missing);
    EXPECT_EQ(platform::PathKind(dir.File("image/below")), platform::EPathKind::Missing);
    platform::SFileId drive;
    ASSERT_TRUE(platform::DriveBackingFile(dir.File("link"), &drive));
    EXPECT_EQ(drive, a);
    EXPECT_FALSE(platform::DriveBackingFile("/dev/null", &drive));
}

TEST(OutputFile, ASignalThatEndsTheProgramRemovesThePendingTemporaries)
{
    for (const int sig : {SIGTERM, SIGHUP, SIGINT})
    {
        CTempDir dir;
        std::ofstream(dir.File("kept.json")) << "old";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            platform::InstallTerminationHandling();
            platform::COutputFile a, b;
            a.Create(dir.File("kept.json"));
            b.Create(dir.File("new.png"));
            a.Write("partial", 7);
            // An interrupt only asks for a stop; the second ends the program.
            if (sig == SIGINT)
            {
                raise(SIGINT);
                if (platform::InterruptCount() != 1)
                    _exit(3);
            }
            raise(sig);
            _exit(4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << sig << " status " << status;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"kept.json"}) << sig;
        EXPECT_EQ(ReadFile(dir.File("kept.json")), "old");
    }
}

TEST(OutputFile, AWriterByNameReachesTheTemporaryEvenWhenItsNameIsReplaced)
{
    CTempDir dir;
    std::ofstream(dir.File("drive.img")) << "drive";
    platform::COutputFile out;
    ASSERT_EQ(out.Create(dir.File("graph.png")), 0);
    // Someone swaps the temporary's name for a link to a drive image while the run goes on.
    const std::string temp = out.TempPath();
    ASSERT_EQ(unlink(temp.c_str()), 0);
    fs::create_symlink(dir.File("drive.img"), temp);
    std::ofstream(out.WriterPath(), std::ios::binary | std::ios::trunc) << "picture";
    EXPECT_EQ(ReadFile(dir.File("drive.img")), "drive");
    // The commit puts only the file written in place, and never writes through the name.
    EXPECT_EQ(out.Commit(), EEXIST);
    EXPECT_EQ(ReadFile(dir.File("drive.img")), "drive");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File("graph.png"))));
}
