// Every command of ratemark-cli, traced by strace on a worn disk: no drive is ever opened for
// writing, written to or sent a request that changes it, and no device setting is written.
#include "fixtures/FaultDisk.h"
#include "fixtures/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace testing_fx;

namespace {

constexpr uint64_t kCylinderSectors = 255 * 63;
constexpr uint64_t kCylinderBytes = kCylinderSectors * 512;

// The block-device requests that only ask.
const std::set<std::string> kQueries = {"BLKGETSIZE64", "BLKGETSIZE", "BLKSSZGET",
                                        "BLKPBSZGET",   "BLKIOMIN",   "BLKIOOPT",
                                        "BLKALIGNOFF",  "BLKROGET",   "HDIO_GETGEO"};

bool IsBlockDevice(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

// "N</path>" at the start of text: the path.
std::string FdPath(const std::string& text)
{
    const size_t open = text.find('<');
    const size_t close = text.find('>', open);
    if (open == std::string::npos || close == std::string::npos)
        return std::string();
    return text.substr(open + 1, close - open - 1);
}

struct STrace
{
    std::vector<std::string> Violations;
    std::vector<std::string> DeviceOpens; // opens of the device under test
    std::vector<std::string> BlockOpens;  // opens of any block device
};

// Reads the per-thread files of one traced command.
STrace ReadTrace(const std::filesystem::path& dir, const std::string& device)
{
    STrace trace;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
    {
        if (entry.path().filename().string().rfind("trace.", 0) != 0)
            continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
        {
            const size_t paren = line.find('(');
            if (paren == std::string::npos)
                continue;
            const std::string call = line.substr(0, paren);
            const std::string args = line.substr(paren + 1);
            if (call == "open" || call == "openat" || call == "openat2" || call == "creat")
            {
                const size_t q1 = args.find('"');
                const size_t q2 = args.find('"', q1 + 1);
                if (q1 == std::string::npos || q2 == std::string::npos)
                    continue;
                const std::string path = args.substr(q1 + 1, q2 - q1 - 1);
                const std::string flags = args.substr(q2 + 1, args.find(')', q2) - q2 - 1);
                const bool write = call == "creat" || flags.find("O_WRONLY") != std::string::npos ||
                                   flags.find("O_RDWR") != std::string::npos ||
                                   flags.find("O_CREAT") != std::string::npos ||
                                   flags.find("O_TRUNC") != std::string::npos;
                // What the kernel opened (strace -y annotates the result), and the name
                // asked for: a name under /proc/self/ means the traced process's own files,
                // which only the annotation tells.
                const size_t result = line.rfind(" = ");
                const std::string opened =
                    result == std::string::npos ? std::string() : FdPath(line.substr(result));
                const bool ownName = path.rfind("/proc/self/", 0) == 0;
                const bool block =
                    (!ownName && IsBlockDevice(path)) || (!opened.empty() && IsBlockDevice(opened));
                if (path == device || opened == device)
                    trace.DeviceOpens.push_back(line);
                if (block)
                    trace.BlockOpens.push_back(line);
                if (write && (block || path.rfind("/sys/", 0) == 0 ||
                              path.rfind("/proc/sys/", 0) == 0 || opened.rfind("/sys/", 0) == 0))
                    trace.Violations.push_back(line);
            }
            else if (call == "ioctl")
            {
                const std::string path = FdPath(args);
                const size_t comma = args.find(", ");
                const std::string request =
                    comma == std::string::npos
                        ? std::string()
                        : args.substr(comma + 2, args.find_first_of(",)", comma + 2) - comma - 2);
                if (IsBlockDevice(path) && !kQueries.count(request))
                    trace.Violations.push_back(line);
            }
            else if (IsBlockDevice(FdPath(args)))
            {
                // Every other traced call writes through its descriptor.
                trace.Violations.push_back(line);
            }
        }
    }
    return trace;
}

class OpenTrace : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const std::string why = CFaultDisk::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        if (RunCommand("command -v strace >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "strace is not installed";
    }

    // Runs ratemark-cli with args under strace in a folder of its own; returns its trace.
    STrace Traced(const std::string& name, const std::string& variables, const std::string& args,
                  const std::string& device, int* exitCode)
    {
        const std::filesystem::path dir = m_dir.Path() / name;
        std::filesystem::create_directories(dir);
        // LeakSanitizer cannot work in a traced process.
        const std::string command =
            "cd '" + dir.string() + "' && env ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}" +
            "detect_leaks=0 " + variables + " strace -ff -y -qq --seccomp-bpf -o trace" +
            " -e trace=open,openat,openat2,creat,ioctl,write,pwrite64,writev,pwritev,pwritev2," +
            "fallocate,ftruncate,fsync,fdatasync,sync_file_range " + RATEMARK_CLI + " " + args +
            " >/dev/null 2>&1";
        *exitCode = RunCommand(command);
        return ReadTrace(dir, device);
    }

    CTempDir m_dir;
};

} // namespace

TEST_F(OpenTrace, NoCommandOpensADriveForWriting)
{
    SFaultDiskConfig config;
    config.Bytes = 6 * kCylinderBytes;
    config.BaseMBps = 400;
    config.Bad = {{2 * kCylinderSectors + 70, 2 * kCylinderSectors + 70}};
    CFaultDisk disk(config);
    ASSERT_TRUE(disk.Ok()) << disk.Error();
    const std::string dev = disk.Device();
    const std::string outputs = " --json out.json --png out.png --svg out.svg --out out.dat";

    struct SCase
    {
        const char* name;
        std::string variables;
        std::string args;
        int exitCode; // -1: any
        bool device;  // the device under test is opened, not only the probed drives
    };
    const SCase cases[] = {
        {"list", "", "list --json", -1, false},
        {"partitions", "", "partitions --drive " + dev + " --json", 0, true},
        {"full", "", "test --quiet --drive " + dev + " --on-read-error continue" + outputs, 3,
         true},
        {"range", "", "test --quiet --drive " + dev + " --from 1 --to 4 --json -", 3, true},
        {"bios", "RAWIO16_DRIVE_80=" + dev,
         "--backend bios test --quiet --fast --drive 0 --on-read-error continue" + outputs, 3,
         true},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        int exitCode = -1;
        const STrace trace = Traced(c.name, c.variables, c.args, dev, &exitCode);
        if (c.exitCode >= 0)
        {
            EXPECT_EQ(exitCode, c.exitCode);
        }
        // The trace saw the device, so it would have seen a write.
        EXPECT_FALSE((c.device ? trace.DeviceOpens : trace.BlockOpens).empty())
            << "no drive was opened";
        std::string violations;
        for (const std::string& line : trace.Violations)
            violations += line + "\n";
        EXPECT_TRUE(trace.Violations.empty()) << violations;
    }

    const SFaultDiskStats stats = disk.Stats();
    ASSERT_TRUE(stats.Valid);
    EXPECT_EQ(stats.WriteAttempts, 0u);
    EXPECT_GT(stats.ReadErrors, 0u);
}
