// ratemark-cli on a slow or unreadable disk: Ctrl+C stops a run quickly and writes what was
// measured; a second Ctrl+C or a termination ends the program and leaves no file behind; a
// first sector that cannot be read is an error, not an empty partition list.
#include "fixtures/DiskImage.h"
#include "fixtures/FaultDisk.h"
#include "fixtures/TempDir.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace testing_fx;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t kCylinderSectors = 255 * 63;
constexpr uint64_t kCylinderBytes = kCylinderSectors * 512;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ratemark-cli started with args, its stdout and stderr in files; killed if still running at
// the end of the test.
class CCliProcess
{
public:
    CCliProcess(const std::vector<std::string>& args, const std::string& out,
                const std::string& err)
    {
        std::vector<std::string> all = {RATEMARK_CLI};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&m_pid, RATEMARK_CLI, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CCliProcess()
    {
        if (m_pid > 0 && m_status < 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &m_status, 0);
        }
    }
    bool Started() const { return m_pid > 0; }
    void Signal(int sig) { kill(m_pid, sig); }
    // Waits at most seconds for the program to end; true when it has.
    bool WaitExit(double seconds)
    {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (m_status < 0)
        {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = status;
            else if (Clock::now() > deadline)
                return false;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    int Status() const { return m_status; }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

class CliStop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const std::string why = CFaultDisk::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        fs::create_directory(m_out);
    }

    // A disk whose first sector arrives at once and whose every other read crawls at mbps:
    // a track takes 32 KB / mbps to arrive.
    static SFaultDiskConfig SlowDisk(double mbps)
    {
        SFaultDiskConfig config;
        config.Bytes = 4 * kCylinderBytes;
        config.Zones = {{1, 4 * kCylinderSectors - 1, mbps}};
        return config;
    }

    // The run's arguments with every kind of output into the output folder.
    std::vector<std::string> RunArgs(const std::string& device) const
    {
        return {"test",
                "--drive",
                device,
                "--no-random-access",
                "--no-burst",
                "--out",
                m_out + "/run.dat",
                "--json",
                m_out + "/run.json",
                "--png",
                m_out + "/run.png",
                "--svg",
                m_out + "/run.svg"};
    }

    std::vector<std::string> OutputNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_out))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    CTempDir m_dir;
    std::string m_out = m_dir.File("out");
};

} // namespace

TEST_F(CliStop, CtrlCStopsASlowRunWithinSecondsAndWritesWhatWasMeasured)
{
    // 0.02 MB/s: a whole cylinder would take minutes, one track under two seconds.
    CFaultDisk disk(SlowDisk(0.02));
    ASSERT_TRUE(disk.Ok()) << disk.Error();
    CCliProcess cli(RunArgs(disk.Device()), m_dir.File("stdout"), m_dir.File("stderr"));
    ASSERT_TRUE(cli.Started());
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_FALSE(cli.WaitExit(0)) << ReadFile(m_dir.File("stderr"));

    const auto asked = Clock::now();
    cli.Signal(SIGINT);
    ASSERT_TRUE(cli.WaitExit(20)) << "a stop asked on a slow disk did not end the run in 20 s";
    const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
    // The read in flight finishes (at most one track, 1.6 s); none follows.
    EXPECT_LT(seconds, 5.0);
    ASSERT_TRUE(WIFEXITED(cli.Status()));
    EXPECT_EQ(WEXITSTATUS(cli.Status()), 0) << ReadFile(m_dir.File("stderr"));
    const auto json = nlohmann::json::parse(ReadFile(m_out + "/run.json"));
    EXPECT_EQ(json["ended"], "stopped");
    EXPECT_EQ(OutputNames(),
              (std::vector<std::string>{"run.dat", "run.json", "run.png", "run.svg"}));
    EXPECT_NE(ReadFile(m_dir.File("stdout")).find("Cylinders tested"), std::string::npos);
}

TEST_F(CliStop, ASecondCtrlCOrATerminationEndsTheProgramAndLeavesNoFile)
{
    for (const int second : {SIGINT, SIGTERM, SIGHUP})
    {
        SCOPED_TRACE(strsignal(second));
        CFaultDisk disk(SlowDisk(0.01));
        ASSERT_TRUE(disk.Ok()) << disk.Error();
        CCliProcess cli(RunArgs(disk.Device()), m_dir.File("stdout"), m_dir.File("stderr"));
        ASSERT_TRUE(cli.Started());
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ASSERT_FALSE(cli.WaitExit(0)) << ReadFile(m_dir.File("stderr"));
        // The temporaries of the outputs exist while the run goes on.
        EXPECT_EQ(OutputNames().size(), 4u);

        if (second == SIGINT)
            cli.Signal(SIGINT); // a first Ctrl+C asks for the stop
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cli.Signal(second);
        // The program ends as soon as the read in flight lets its worker go (3.2 s at most).
        ASSERT_TRUE(cli.WaitExit(10));
        ASSERT_TRUE(WIFSIGNALED(cli.Status())) << cli.Status();
        EXPECT_EQ(WTERMSIG(cli.Status()), second);
        EXPECT_EQ(OutputNames(), std::vector<std::string>{});
    }
}

TEST_F(CliStop, AnUnreadableFirstSectorIsAnErrorAndAMissingTableIsNot)
{
    const std::string image = m_dir.File("blank.img");
    CreateSparseFile(image, 3 * kCylinderBytes);
    SFaultDiskConfig config;
    config.Image = image;
    {
        CFaultDisk blank(config);
        ASSERT_TRUE(blank.Ok()) << blank.Error();
        std::string out;
        EXPECT_EQ(RunCommand(std::string(RATEMARK_CLI) + " partitions --drive " + blank.Device() +
                                 " 2>&1",
                             &out),
                  0);
        EXPECT_NE(out.find("No partitions."), std::string::npos) << out;
    }
    config.Bad = {{0, 0}};
    CFaultDisk worn(config);
    ASSERT_TRUE(worn.Ok()) << worn.Error();
    for (const char* json : {"", " --json"})
    {
        std::string out, err;
        const int rc = RunCommand(std::string(RATEMARK_CLI) + " partitions" + json + " --drive " +
                                      worn.Device() + " 2>" + m_dir.File("err"),
                                  &out);
        err = ReadFile(m_dir.File("err"));
        EXPECT_EQ(rc, 1) << json;
        EXPECT_EQ(out, "") << json;
        EXPECT_NE(err.find("cannot read the partition table (sector 0) of " + worn.Device() +
                           " (error 23"),
                  std::string::npos)
            << err;
    }
}
