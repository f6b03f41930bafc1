// ratemark-cli run by an ordinary user on a machine with udisks2 and polkit, against root's run.
#include "fixtures/DiskService.h"
#include "fixtures/DiskImage.h"
#include "fixtures/LoopDevice.h"
#include "fixtures/TempDir.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testing_fx;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kCylinderBytes = 255ull * 63 * 512;
// Enough cylinders that a fast test takes a while: its descriptor is watched meanwhile.
constexpr uint32_t kCylinders = 200;

struct SRun
{
    int Exit = -1;
    std::string Out;
    std::string Err;
    // The status flags of every descriptor the program held on the watched device.
    std::vector<int> DeviceFdFlags;
};

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The flags of pid's descriptors that lead to devicePath (from /proc/PID/fdinfo).
void CollectDeviceFds(pid_t pid, const std::string& devicePath, std::vector<int>* flags)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    std::error_code ec;
    for (fs::directory_iterator it(proc + "/fd", ec), end; !ec && it != end; it.increment(ec))
    {
        std::error_code linkEc;
        if (fs::read_symlink(it->path(), linkEc).string() != devicePath)
            continue;
        std::ifstream info(proc + "/fdinfo/" + it->path().filename().string());
        std::string key;
        while (info >> key)
            if (key == "flags:")
            {
                std::string octal;
                info >> octal;
                flags->push_back(static_cast<int>(std::stol(octal, nullptr, 8)));
                break;
            }
    }
}

// Runs ratemark-cli with args, as nobody when asked, with standard input from /dev/null
// and the test's system bus; watches its descriptors on watchDevice while it runs.
SRun RunCli(const CDiskService& service, const std::string& cli, bool asNobody,
            std::vector<std::string> args, const std::string& busAddress,
            const std::string& watchDevice = "")
{
    const std::string out = service.SharedDir() + "/out.txt";
    const std::string err = service.SharedDir() + "/err.txt";
    std::vector<std::string> argv;
    if (asNobody)
        argv = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    argv.push_back(cli);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> rawArgs;
    for (auto& a : argv)
        rawArgs.push_back(a.data());
    rawArgs.push_back(nullptr);
    std::vector<std::string> env = {"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C",
                                    "DBUS_SYSTEM_BUS_ADDRESS=" + busAddress};
    if (const char* asan = std::getenv("ASAN_OPTIONS"))
        env.push_back(std::string("ASAN_OPTIONS=") + asan);
    if (const char* tsan = std::getenv("TSAN_OPTIONS"))
        env.push_back(std::string("TSAN_OPTIONS=") + tsan);
    std::vector<char*> rawEnv;
    for (auto& e : env)
        rawEnv.push_back(e.data());
    rawEnv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    // The program's working folder (for its log) must be one nobody may write.
    posix_spawn_file_actions_addchdir_np(&actions, service.SharedDir().c_str());
    SRun run;
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, rawArgs[0], &actions, nullptr, rawArgs.data(), rawEnv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return run;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0)
    {
        if (!watchDevice.empty())
            CollectDeviceFds(pid, watchDevice, &run.DeviceFdFlags);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = ReadAll(out);
    run.Err = ReadAll(err);
    return run;
}

// Whether a polkit text agent runs on the machine.
bool AgentRuns()
{
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec))
    {
        std::ifstream comm(it->path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name == "pkttyagent")
            return true;
    }
    return false;
}

nlohmann::json JsonOf(const SRun& run)
{
    const auto brace = run.Out.find('{');
    return brace == std::string::npos ? nlohmann::json()
                                      : nlohmann::json::parse(run.Out.substr(brace));
}

class DiskServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!IsRoot())
            GTEST_SKIP() << "needs root to start the disk service and to run as nobody";
        m_service = std::make_unique<CDiskService>();
        if (m_service->Error().find("not installed") != std::string::npos)
            GTEST_SKIP() << m_service->Error();
        ASSERT_EQ(m_service->Error(), "");
        m_cli = m_service->ShareProgram(RATEMARK_CLI);
        ASSERT_FALSE(m_cli.empty());

        const std::string image = m_dir.File("disk.img");
        CreateSparseFile(image, kCylinders * kCylinderBytes);
        WriteAt(image, 0,
                TableSector({{0x07, 63, 20 * 16065 - 63}, {0x83, 20 * 16065, 150 * 16065}}));
        m_loop = std::make_unique<CLoopDevice>(image);
        ASSERT_FALSE(m_loop->Path().empty()) << m_loop->Error();
        ASSERT_TRUE(m_service->WaitForDevice(m_loop->Path()))
            << "udisks2 never listed " << m_loop->Path();
    }

    SRun Run(bool asNobody, std::vector<std::string> args, const std::string& watch = "")
    {
        return RunCli(*m_service, m_cli, asNobody, std::move(args), m_service->BusAddress(), watch);
    }

    // The index of the test's loop device in nobody's drive list, -1 when it is not listed.
    int ListedIndex(nlohmann::json* entry)
    {
        const SRun list = Run(true, {"list", "--json"});
        EXPECT_EQ(list.Exit, 0) << list.Err;
        if (list.Exit != 0)
            return -1;
        for (const auto& d : nlohmann::json::parse(list.Out))
            if (d["path"] == m_loop->Path())
            {
                *entry = d;
                return d["index"].get<int>();
            }
        return -1;
    }

    // Torn down in reverse: the loop device, then the daemons, then the image's folder.
    CTempDir m_dir;
    std::unique_ptr<CDiskService> m_service;
    std::unique_ptr<CLoopDevice> m_loop;
    std::string m_cli;
};

} // namespace

TEST_F(DiskServiceTest, NobodyWithTheRuleListsAndMeasuresLikeRoot)
{
    ASSERT_TRUE(m_service->AllowOpening("nobody"));

    nlohmann::json entry;
    const int index = ListedIndex(&entry);
    ASSERT_GE(index, 0) << "nobody's list lacks " << m_loop->Path();
    EXPECT_EQ(entry["cylinders"], kCylinders);
    EXPECT_EQ(entry["heads"], 255);
    EXPECT_EQ(entry["sectors_per_track"], 63);
    EXPECT_EQ(entry["bytes_per_sector"], 512);

    const SRun root =
        Run(false, {"test", "--fast", "--quiet", "--drive", m_loop->Path(), "--json", "-"});
    ASSERT_EQ(root.Exit, 0) << root.Err;
    const SRun nobody =
        Run(true, {"test", "--fast", "--quiet", "--drive", std::to_string(index), "--json", "-"},
            m_loop->Path());
    ASSERT_EQ(nobody.Exit, 0) << nobody.Err;

    // The descriptor udisks2 handed over: read-only and bypassing the cache.
    ASSERT_FALSE(nobody.DeviceFdFlags.empty()) << "no descriptor on " << m_loop->Path() << " seen";
    for (const int flags : nobody.DeviceFdFlags)
    {
        EXPECT_EQ(flags & O_ACCMODE, O_RDONLY) << std::oct << flags;
        EXPECT_NE(flags & O_DIRECT, 0) << std::oct << flags;
    }

    // The same drive, the same partitions, the same cylinders read, no error.
    const auto a = JsonOf(root), b = JsonOf(nobody);
    for (const char* key : {"cylinders", "heads", "sectors_per_track", "bytes_per_sector"})
        EXPECT_EQ(a["drive"][key], b["drive"][key]) << key;
    EXPECT_EQ(a["partitions"], b["partitions"]);
    EXPECT_EQ(b["partitions"].size(), 2u);
    EXPECT_EQ(b["ended"], "completed");
    ASSERT_EQ(a["results"].size(), b["results"].size());
    ASSERT_FALSE(b["results"].empty());
    for (size_t i = 0; i < b["results"].size(); ++i)
    {
        EXPECT_EQ(a["results"][i]["cylinder"], b["results"][i]["cylinder"]) << i;
        EXPECT_EQ(b["results"][i]["error"], 0) << i;
    }

    // A device path named by nobody is opened the same way.
    const SRun byPath = Run(true, {"partitions", "--json", "--drive", m_loop->Path()});
    ASSERT_EQ(byPath.Exit, 0) << byPath.Err;
    EXPECT_EQ(JsonOf(byPath)["partitions"], a["partitions"]);
}

TEST_F(DiskServiceTest, NobodyWithoutTheRuleIsRefusedWithTheReason)
{
    nlohmann::json entry;
    const int index = ListedIndex(&entry);
    ASSERT_GE(index, 0) << "listing asks for no authorisation";

    for (const std::string& drive : {std::to_string(index), m_loop->Path()})
    {
        const SRun run = Run(true, {"test", "--fast", "--drive", drive}, m_loop->Path());
        EXPECT_EQ(run.Exit, 1) << drive;
        EXPECT_NE(run.Err.find("Can't open drive"), std::string::npos) << run.Err;
        EXPECT_NE(run.Err.find("Not authorized"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out.find("Max. speed"), std::string::npos) << "measured:\n" << run.Out;
        EXPECT_TRUE(run.DeviceFdFlags.empty());
    }
    const SRun partitions = Run(true, {"partitions", "--drive", std::to_string(index)});
    EXPECT_EQ(partitions.Exit, 1);
    EXPECT_NE(partitions.Err.find("Not authorized"), std::string::npos) << partitions.Err;
}

TEST(DiskServiceAbsent, UnprivilegedListIsUnchangedWithoutUdisks)
{
    if (!IsRoot())
        GTEST_SKIP() << "needs root to start a bus and to run as nobody";
    CDiskService bus(CDiskService::EParts::BusOnly);
    ASSERT_EQ(bus.Error(), "");
    const std::string cli = bus.ShareProgram(RATEMARK_CLI);
    ASSERT_FALSE(cli.empty());

    // No system bus at all, and a system bus without udisks2: the same empty list, and advice
    // that names what would give access.
    const SRun noBus = RunCli(bus, cli, true, {"list"}, "unix:path=" + bus.SharedDir() + "/none");
    const SRun noService = RunCli(bus, cli, true, {"list"}, bus.BusAddress());
    for (const SRun* run : {&noBus, &noService})
    {
        EXPECT_EQ(run->Exit, 1) << run->Out << run->Err;
        EXPECT_EQ(run->Out, "");
        EXPECT_NE(run->Err.find("Application can't detect hard drives in your system.\nSorry!"),
                  std::string::npos)
            << run->Err;
        EXPECT_NE(run->Err.find("root"), std::string::npos) << run->Err;
        EXPECT_NE(run->Err.find("udisks2"), std::string::npos) << run->Err;
        EXPECT_EQ(run->Err.find("group"), std::string::npos) << run->Err;
    }
    EXPECT_EQ(noBus.Err, noService.Err);
}

TEST_F(DiskServiceTest, OnATerminalPolkitAsksThere)
{
    // Standard input is a terminal (script's) and no agent serves the session: polkit's text
    // agent asks there; a wrong password ends in the refusal with polkit's reason.
    std::string out;
    const int rc = RunCommand(
        "cd '" + m_service->SharedDir() + "' && (sleep 2; printf 'not-the-password\\n') | env " +
            "DBUS_SYSTEM_BUS_ADDRESS='" + m_service->BusAddress() +
            "' script -qec \"setpriv --reuid=nobody --regid=nogroup --clear-groups " + m_cli +
            " partitions --drive " + m_loop->Path() + "\" /dev/null 2>&1",
        &out);
    EXPECT_EQ(rc, 1) << out;
    EXPECT_NE(out.find("Authentication is required"), std::string::npos) << out;
    EXPECT_NE(out.find("Password:"), std::string::npos) << out;
    EXPECT_NE(out.find("Not authorized"), std::string::npos) << out;
    EXPECT_FALSE(AgentRuns()) << "the agent outlived the program";
}
