// ratemark-cli's outputs under attack and under failure: paths that name a drive, a device or
// each other, stdout as an output, a full file system, a reader that goes away.
#include "fixtures/DiskImage.h"
#include "fixtures/LoopDevice.h"
#include "fixtures/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace testing_fx;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kCylinderBytes = 255ull * 63 * 512;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The names in dir, sorted.
std::vector<std::string> Names(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A small image with a partition table; sparse, so its reads are quick.
std::string Image(const std::string& path, uint32_t cylinders)
{
    CreateSparseFile(path, cylinders * kCylinderBytes);
    WriteAt(path, 0, TableSector({{0x83, 63, cylinders * 16065 - 63}}));
    return path;
}

struct SRun
{
    int Exit = -1;
    std::string Out; // stdout
    std::string Err; // stderr
};

// Runs "ratemark-cli args" through the shell; shellTail is appended to the command line
// (redirections, a pipe).
SRun Cli(const std::string& args, const CTempDir& dir, const std::string& shellTail = "")
{
    SRun run;
    const std::string err = dir.File("stderr.txt");
    run.Exit = RunCommand(std::string(RATEMARK_CLI) + " " + args + " 2>'" + err + "' " + shellTail,
                          &run.Out);
    run.Err = ReadFile(err);
    fs::remove(err);
    return run;
}

bool Measured(const SRun& run)
{
    return (run.Out + run.Err).find("Cylinders tested") != std::string::npos;
}

} // namespace

TEST(CliOutputs, HostilePathsAreRefusedBeforeAnythingIsMeasuredOrWritten)
{
    CTempDir dir;
    const std::string image = Image(dir.File("drive.img"), 3);
    fs::create_symlink(image, dir.File("link.img"));
    fs::create_hard_link(image, dir.File("second-name.img"));
    fs::create_directory(dir.File("folder"));
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    std::ofstream(dir.File("old.json")) << "{}\n";
    fs::create_symlink(dir.File("old.json"), dir.File("old-link.json"));
    const std::string imageBefore = ReadFile(image);
    const std::string drive = "test --fast --drive " + image;
    const struct
    {
        std::string Args;
        int Exit;
        const char* Says;
    } cases[] = {
        {drive + " --json " + image, 2, "drive's own file"},
        {drive + " --png " + dir.File("link.img"), 2, "drive's own file"},
        {drive + " --out " + dir.File("second-name.img"), 2, "drive's own file"},
        {drive + " --json /dev/full", 2, "character device"},
        {drive + " --svg " + dir.File("folder"), 2, "folder"},
        {drive + " --out " + dir.File("fifo"), 2, "pipe"},
        {drive + " --out " + dir.File("a.dat") + " --json " + dir.Path().string() + "/./a.dat", 2,
         "same file"},
        {drive + " --png " + dir.File("x.png") + " --svg " + dir.File("x.png"), 2, "same file"},
        {drive + " --json " + dir.File("old.json") + " --out " + dir.File("old-link.json"), 2,
         "same file"},
        {drive + " --json ''", 2, "needs a file name"},
        {drive + " --out ''", 2, "needs a file name"},
        {drive + " --out - --json -", 2, "cannot both"},
        {drive + " --png -", 2, "needs a file"},
        {drive + " --json " + dir.File("missing/x.json"), 1, "No such file or directory"},
    };
    for (const auto& c : cases)
    {
        const SRun run = Cli(c.Args, dir);
        EXPECT_EQ(run.Exit, c.Exit) << c.Args << ": " << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << c.Args << ": " << run.Err;
        EXPECT_FALSE(Measured(run)) << c.Args;
        EXPECT_EQ(Names(dir.Path()),
                  (std::vector<std::string>{"drive.img", "fifo", "folder", "link.img",
                                            "old-link.json", "old.json", "second-name.img"}))
            << c.Args;
    }
    EXPECT_EQ(ReadFile(image), imageBefore);
    EXPECT_EQ(ReadFile(dir.File("old.json")), "{}\n");
}

TEST(CliOutputs, BlockDevicesAndTheFilesBehindLoopDevicesAreNeverOutputs)
{
    if (!IsRoot())
        GTEST_SKIP() << "needs root for loop devices";
    CTempDir dir;
    const std::string measured = Image(dir.File("measured.img"), 3);
    const std::string other = Image(dir.File("other.img"), 3);
    CLoopDevice loop(measured);
    ASSERT_FALSE(loop.Path().empty()) << loop.Error();
    CLoopDevice otherLoop(other);
    ASSERT_FALSE(otherLoop.Path().empty()) << otherLoop.Error();
    const std::string before = ReadFile(measured), otherBefore = ReadFile(other);
    const struct
    {
        std::string Args;
        const char* Says;
    } cases[] = {
        // A drive given as a device: its backing file, by any name.
        {"test --fast --drive " + loop.Path() + " --json " + measured, "drive's own file"},
        // Any drive of the machine, not only the one measured.
        {"test --fast --drive " + measured + " --svg " + other, "drive's own file"},
        {"test --fast --drive " + measured + " --png " + otherLoop.Path(), "block device"},
        {"test --fast --drive " + measured + " --out " + loop.Path(), "block device"},
    };
    for (const auto& c : cases)
    {
        const SRun run = Cli(c.Args, dir);
        EXPECT_EQ(run.Exit, 2) << c.Args << ": " << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << c.Args << ": " << run.Err;
        EXPECT_FALSE(Measured(run)) << c.Args;
    }
    EXPECT_EQ(ReadFile(measured), before);
    EXPECT_EQ(ReadFile(other), otherBefore);
}

TEST(CliOutputs, StdoutCarriesOneOutputAloneAndItsWriteErrorsAreReported)
{
    CTempDir dir;
    const std::string drive = "test --fast --drive " + Image(dir.File("drive.img"), 4);

    // The JSON alone on stdout, the rows on stderr; with --quiet no rows at all.
    SRun run = Cli(drive + " --json -", dir);
    ASSERT_EQ(run.Exit, 0) << run.Err;
    const auto doc = nlohmann::json::parse(run.Out);
    EXPECT_EQ(doc["ended"], "completed");
    EXPECT_EQ(doc["results"].size(), 4u);
    EXPECT_NE(run.Err.find("Cylinders tested     4"), std::string::npos) << run.Err;
    run = Cli(drive + " --json - --quiet", dir);
    EXPECT_EQ(run.Exit, 0);
    EXPECT_NO_THROW(nlohmann::json::parse(run.Out));
    EXPECT_EQ(run.Err, "");

    // The result file on stdout: the document's lines, nothing else.
    run = Cli(drive + " --out - --quiet", dir);
    EXPECT_EQ(run.Exit, 0) << run.Err;
    std::istringstream lines(run.Out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        EXPECT_EQ(line.rfind(std::to_string(n++) + " ", 0), 0u) << line;
    EXPECT_EQ(n, 4);

    // A stdout that refuses the bytes fails the command with the OS's reason.
    const struct
    {
        std::string Args;
        std::string Tail;
        const char* Says;
    } failures[] = {
        {drive + " --json -", "> /dev/full", "cannot write the JSON to stdout: No space left"},
        {drive + " --out -", "> /dev/full", "cannot write the result file to stdout: No space"},
        {drive, "> /dev/full", "cannot write to stdout: No space left on device"},
        {drive + " --json -", ">&-", "cannot write the JSON to stdout: Bad file descriptor"},
        {drive, ">&-", "cannot write to stdout: Bad file descriptor"},
    };
    for (const auto& f : failures)
    {
        run = Cli(f.Args, dir, f.Tail);
        EXPECT_EQ(run.Exit, 1) << f.Args << " " << f.Tail << ": " << run.Err;
        EXPECT_NE(run.Err.find(f.Says), std::string::npos)
            << f.Args << " " << f.Tail << ": " << run.Err;
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"drive.img"});
}

TEST(CliOutputs, AReaderThatGoesAwayCostsNoFile)
{
    CTempDir dir;
    const std::string image = Image(dir.File("drive.img"), 4);
    // The reader has gone before the program writes: the files are written first and whole.
    const std::string command = "{ " + std::string(RATEMARK_CLI) + " test --fast --drive " + image +
                                " --out " + dir.File("r.dat") + " --json " + dir.File("r.json") +
                                " --png " + dir.File("r.png") + " --svg " + dir.File("r.svg") +
                                " 2>" + dir.File("err") + "; echo $? >" + dir.File("status") +
                                "; } | (exec 0<&-; sleep 0.2)";
    RunCommand(command);
    const std::string err = ReadFile(dir.File("err"));
    EXPECT_EQ(ReadFile(dir.File("status")), "1\n") << err;
    EXPECT_NE(err.find("cannot write to stdout: Broken pipe"), std::string::npos) << err;
    EXPECT_EQ(nlohmann::json::parse(ReadFile(dir.File("r.json")))["results"].size(), 4u);
    const std::string dat = ReadFile(dir.File("r.dat"));
    EXPECT_EQ(std::count(dat.begin(), dat.end(), '\n'), 4);
    EXPECT_EQ(ReadFile(dir.File("r.png")).substr(1, 3), "PNG");
    EXPECT_NE(ReadFile(dir.File("r.svg")).find("</svg>"), std::string::npos);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"drive.img", "err", "r.dat", "r.json",
                                                           "r.png", "r.svg", "status"}));
}

namespace {

// A small tmpfs mounted on a temporary folder, unmounted when the test ends.
class CSmallFileSystem
{
public:
    explicit CSmallFileSystem(const std::string& size)
    {
        m_bMounted = mount("ratemark-test", m_dir.Path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                           ("size=" + size).c_str()) == 0;
    }
    ~CSmallFileSystem()
    {
        if (m_bMounted)
            umount2(m_dir.Path().c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_bMounted; }
    std::string File(const std::string& name) const { return m_dir.File(name); }
    std::string Path() const { return m_dir.Path().string(); }

    // Fills the file system to its last byte.
    void Fill()
    {
        std::ofstream filler(File("filler"), std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size()))
            filler.flush();
    }

private:
    CTempDir m_dir;
    bool m_bMounted = false;
};

} // namespace

TEST(CliOutputs, AFullFileSystemLeavesTheOldFilesAndNoPartOfTheNewOnes)
{
    if (!IsRoot())
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    CTempDir dir;
    const std::string image = Image(dir.File("drive.img"), 40);
    CSmallFileSystem small("256k");
    ASSERT_TRUE(small.Mounted()) << "tmpfs mount refused";
    const std::vector<std::string> olds = {"old.dat", "old.json", "old.png", "old.svg"};
    for (const std::string& name : olds)
        std::ofstream(small.File(name)) << "earlier " << name << "\n";
    small.Fill();
    const std::vector<std::string> before = Names(small.Path());

    for (const std::string& name : olds)
    {
        const std::string option = "--" + (name == "old.dat" ? std::string("out") : name.substr(4));
        const SRun run =
            Cli("test --fast --drive " + image + " " + option + " " + small.File(name), dir);
        EXPECT_EQ(run.Exit, 1) << option << ": " << run.Err;
        EXPECT_NE(run.Err.find(small.File(name)), std::string::npos) << run.Err;
        EXPECT_TRUE(run.Err.find("No space left") != std::string::npos ||
                    run.Err.find("disk full") != std::string::npos)
            << run.Err;
        EXPECT_EQ(ReadFile(small.File(name)), "earlier " + name + "\n");
        EXPECT_EQ(Names(small.Path()), before) << option;
    }
}

TEST(CliOutputs, TheProgressLineFitsTheTerminalAndSendsNoEscapesToADumbOne)
{
    CTempDir dir;
    const std::string image = Image(dir.File("drive.img"), 60);
    for (const char* term : {"dumb", "", "xterm"})
    {
        // A pseudo-terminal 40 columns wide; the progress line goes to its stderr.
        const std::string inner = "stty cols 40; " + std::string(*term ? "TERM=" : "unset TERM; ") +
                                  term + (*term ? " " : "") + RATEMARK_CLI +
                                  " test --fast --drive " + image + " >/dev/null";
        std::string screen;
        RunCommand("script -qec \"" + inner + "\" /dev/null", &screen);
        const bool escapes = std::string(term) == "xterm";
        EXPECT_EQ(screen.find('\033') != std::string::npos, escapes) << term;
        ASSERT_NE(screen.find("cylinder"), std::string::npos) << term << ": " << screen;
        // Every stretch between carriage returns fits in 39 columns.
        size_t at = 0;
        while (at < screen.size())
        {
            size_t end = screen.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = screen.size();
            std::string part = screen.substr(at, end - at);
            if (escapes && part.size() >= 3 && part.compare(part.size() - 3, 3, "\033[K") == 0)
                part.resize(part.size() - 3);
            EXPECT_LE(part.size(), 39u) << term << ": [" << part << "]";
            at = end + 1;
        }
    }
}

TEST(CliOutputs, AnUnknownPlatformIsAUsageError)
{
    CTempDir dir;
    std::string out;
    EXPECT_EQ(RunCommand("RATEMARK_PLATFORM=win2000 " + std::string(RATEMARK_CLI) +
                             " partitions --drive " + Image(dir.File("d.img"), 2) + " 2>&1",
                         &out),
              2);
    EXPECT_NE(out.find("RATEMARK_PLATFORM=win2000 names no platform"), std::string::npos) << out;
}
