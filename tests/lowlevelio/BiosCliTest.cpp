// ratemark-cli on the BIOS back-end, run as a user would run it, over emulated drives.
#include "LowLevelSupport.h"

#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

using namespace lowlevel_fx;
using namespace testing_fx;

namespace {

constexpr uint64_t kCylinderBytes = 255ull * 63 * 512;

struct SRun
{
    int Exit;
    std::string Out;
};

class BiosCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_image = m_dir.File("disk.img");
        CreateSparseFile(m_image, 300 * kCylinderBytes);
        WriteAt(m_image, 0, TableSector({{0x0B, 63, 2000000}, {0x0F, 2000125, 3000000}}));
        WriteAt(m_image, 2000125ull * 512,
                TableSector({{0x07, 63, 1000000}, {0x05, 1000125, 500063}}));
        WriteAt(m_image, 3000250ull * 512, TableSector({{0x83, 63, 500000}}));
        m_small = m_dir.File("small.img");
        CreateSparseFile(m_small, 1 << 20);
        m_drives = "RAWIO16_DRIVE_80='" + m_image + "' RAWIO16_DRIVE_81='" + m_small +
                   "' RAWIO16_DRIVE_81_FN08=1022,255,63";
    }

    // Runs ratemark-cli in the test's directory with only the given variables of its own;
    // stderr is folded into Out when foldErr is set.
    SRun Cli(const std::string& variables, const std::string& args, bool foldErr = false) const
    {
        SRun run;
        const std::string command = "cd '" + m_dir.Path().string() +
                                    "' && env -u RATEMARK_PLATFORM -u RATEMARK_LIBRARY_DIR " +
                                    variables + " " + RATEMARK_CLI + " " + args +
                                    (foldErr ? " 2>&1" : " 2>/dev/null");
        run.Exit = RunCommand(command, &run.Out);
        return run;
    }

    std::string Log() const
    {
        std::ifstream in(m_dir.File("Ratemarklog.txt"));
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    CScopedEnvironment m_env;
    CTempDir m_dir;
    std::string m_image;
    std::string m_small;
    std::string m_drives;
};

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

TEST_F(BiosCliTest, ListsAndAnalysesEmulatedDrivesAsTheOsBackEndDoesTheirImages)
{
    const SRun list = Cli(m_drives, "--backend bios list --json");
    ASSERT_EQ(list.Exit, 0) << list.Out;
    const auto drives = nlohmann::json::parse(list.Out);
    const auto expected = nlohmann::json::parse(R"([
        {"index": 0, "path": "", "drive": 0, "bios_drive": 128, "cylinders": 300, "heads": 255,
         "sectors_per_track": 63, "bytes_per_sector": 512},
        {"index": 1, "path": "", "drive": 1, "bios_drive": 129, "cylinders": 1022, "heads": 255,
         "sectors_per_track": 63, "bytes_per_sector": 512}])");
    EXPECT_EQ(drives, expected);

    // Discovery's trace went to the log in the current directory.
    const std::string log = Log();
    EXPECT_EQ(Count(log, " Call GetDriveFn08Parameters32( 0x"), 20u) << log;
    EXPECT_EQ(Count(log, " Add  geometry to array.\n"), 2u) << log;

    const SRun bios = Cli(m_drives, "--backend bios partitions --drive 0 --json");
    ASSERT_EQ(bios.Exit, 0) << bios.Out;
    const SRun os = Cli("", "--backend os partitions --drive '" + m_image + "' --json");
    ASSERT_EQ(os.Exit, 0) << os.Out;
    const auto biosParts = nlohmann::json::parse(bios.Out)["partitions"];
    EXPECT_EQ(biosParts.size(), 3u);
    EXPECT_EQ(biosParts, nlohmann::json::parse(os.Out)["partitions"]);

    const SRun text = Cli(m_drives, "list --backend bios");
    EXPECT_EQ(text.Exit, 0);
    EXPECT_NE(text.Out.find("BIOS 81h"), std::string::npos) << text.Out;
    const SRun parts = Cli(m_drives, "--backend bios partitions --drive 0");
    EXPECT_EQ(parts.Exit, 0);
    EXPECT_NE(parts.Out.find("BIOS 80h: 300 cylinders"), std::string::npos) << parts.Out;
    EXPECT_NE(parts.Out.find("NTFS"), std::string::npos) << parts.Out;
}

TEST_F(BiosCliTest, ChoosingTheBackEndAndItsFailures)
{
    CTempDir lonely;
    std::filesystem::copy_file(LibraryDirectory() + "/libRawio32v2.so",
                               lonely.File("libRawio32v2.so"));
    const struct
    {
        std::string Variables;
        std::string Args;
        int Exit;
        const char* Says;
    } cases[] = {
        {"RATEMARK_PLATFORM=win9x " + m_drives, "list", 0, "BIOS 80h"},
        {"", "--backend bios list", 1, "can't detect hard drives"},
        {"RATEMARK_LIBRARY_DIR='" + lonely.Path().string() + "' " + m_drives, "--backend bios list",
         1, "Check that Rawio32v2.DLL and Rawio16v2.DLL exist."},
        {"RATEMARK_LIBRARY_DIR='" + lonely.Path().string() + "' " + m_drives, "--backend bios list",
         1, "libRawio16v2.so"},
        {"RATEMARK_PLATFORM=3", "list", 1, "This program requires Windows"},
        {m_drives, "--backend bios partitions --drive 2", 2, "out of range (2 drives)"},
        {m_drives, "--backend bios partitions --drive '" + m_image + "'", 2, "cannot open a path"},
        {m_drives, "--backend floppy list", 2, "--backend"},
        {m_drives, "--help", 0, "--backend"},
    };
    for (const auto& c : cases)
    {
        const SRun run = Cli(c.Variables, c.Args, true);
        EXPECT_EQ(run.Exit, c.Exit) << c.Variables << " " << c.Args << ": " << run.Out;
        EXPECT_NE(run.Out.find(c.Says), std::string::npos)
            << c.Variables << " " << c.Args << ": " << run.Out;
    }
}

TEST_F(BiosCliTest, TestRunsThroughTheBiosServices)
{
    const SRun run = Cli(m_drives, "--backend bios test --fast --drive 0 --json -");
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const auto doc = nlohmann::json::parse(run.Out.substr(run.Out.find('{')));
    EXPECT_EQ(doc["ended"], "completed");
    EXPECT_EQ(doc["drive"]["bios_drive"], 128);
    // The read-burst test exists only on the NT family.
    EXPECT_EQ(doc["options"]["burst"], false);
    EXPECT_GE(doc["results"].size(), 90u);
    for (const auto& r : doc["results"])
    {
        EXPECT_EQ(r["error"], 0);
        EXPECT_GT(r["speed"].get<uint32_t>(), 0u);
    }
    EXPECT_EQ(doc["partitions"].size(), 3u);
}

TEST_F(BiosCliTest, ADriveTooLargeForItsResultsSaysSo)
{
    // 4,294,967,295 one-sector cylinders: one result each would take 48 GB. The sanitizers'
    // allocators are told to refuse such a request as the C library does.
    const std::string huge =
        "ASAN_OPTIONS=\"$ASAN_OPTIONS:allocator_may_return_null=1:max_allocation_size_mb=4096\" "
        "TSAN_OPTIONS=\"$TSAN_OPTIONS:allocator_may_return_null=1:max_allocation_size_mb=4096\" "
        "RAWIO16_DRIVE_80='" +
        m_small + "' RAWIO16_DRIVE_80_FN08=1024,255,63 RAWIO16_DRIVE_80_FN48=2,4294967295,1,1,,";
    const SRun run = Cli(huge, "--backend bios test --fast --drive 0", true);
    EXPECT_EQ(run.Exit, 1) << run.Out;
    EXPECT_NE(run.Out.find("not enough memory for 4294967295 cylinders"), std::string::npos)
        << run.Out;
}
