// The emulated BIOS on its own: its configuration, the answers it gives for an image's size,
// and the limits of its reads.
#include "LowLevelSupport.h"

#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"
#include "lowlevelio/emulator/BiosDrive.h"
#include "platform/Library.h"
#include "platform/Memory.h"

#include <gtest/gtest.h>
#include <map>

using namespace lowlevel_fx;
using testing_fx::CTempDir;

namespace {

constexpr uint64_t kCylinderSectors = 255 * 63;

// The real library and its emulated partner, called directly.
class EmulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_library = platform::LoadLibraryA(LibraryDirectory() + "/Rawio32v2.dll");
        ASSERT_NE(m_library, nullptr) << platform::LastLibraryError();
        m_read = reinterpret_cast<PExtendedInt13Read32>(
            platform::GetProcAddress(m_library, "ExtendedInt13Read32"));
        m_fn08 = reinterpret_cast<PGetDriveFn08Parameters32>(
            platform::GetProcAddress(m_library, "GetDriveFn08Parameters32"));
        m_fn48 = reinterpret_cast<PGetDriveFn48Parameters32>(
            platform::GetProcAddress(m_library, "GetDriveFn48Parameters32"));
        m_chs = reinterpret_cast<PReadPhysicalSector32>(
            platform::GetProcAddress(m_library, "ReadPhysicalSector32"));
    }
    void TearDown() override { platform::FreeLibrary(m_library); }

    CTempDir m_dir;
    CScopedEnvironment m_env;
    platform::ModuleHandle m_library = nullptr;
    PExtendedInt13Read32 m_read = nullptr;
    PGetDriveFn08Parameters32 m_fn08 = nullptr;
    PGetDriveFn48Parameters32 m_fn48 = nullptr;
    PReadPhysicalSector32 m_chs = nullptr;
};

} // namespace

TEST_F(EmulatorTest, AnswersLikeABiosForTheImageSize)
{
    const struct
    {
        uint64_t Sectors;
        uint32_t Cylinders08;
        uint16_t Flags48;
        uint32_t Cylinders48;
    } cases[] = {
        {300 * kCylinderSectors, 300, 2, 300 * kCylinderSectors / (16 * 63)},
        {1030 * kCylinderSectors, 1024, 0, 16383},
        {2000 * kCylinderSectors, 1024, 0, 16383},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Sectors);
        const std::string image = m_dir.File("sized.img");
        testing_fx::CreateSparseFile(image, c.Sectors * 512);
        m_env.Set("RAWIO16_DRIVE_80", image);

        SInt13Regs regs{};
        ASSERT_EQ(m_fn08(0x80, &regs), 0u);
        const uint32_t cl = regs.Ecx & 0xFF;
        EXPECT_EQ(((regs.Ecx >> 8 & 0xFF) | (cl & 0xC0) << 2) + 1, c.Cylinders08);
        EXPECT_EQ((regs.Edx >> 8 & 0xFF) + 1, 255u);
        EXPECT_EQ(cl & 0x3F, 63u);
        EXPECT_EQ(regs.Edx & 0xFF, 1u) << "DL counts the drives";

        SDrvInf info{};
        info.spare = 0x5A5A;
        ASSERT_EQ(m_fn48(0x80, &info), 0u);
        EXPECT_EQ(info.size, 26);
        EXPECT_EQ(info.flags, c.Flags48);
        EXPECT_EQ(info.cylinders, c.Cylinders48);
        EXPECT_EQ(info.heads, 16u);
        EXPECT_EQ(info.sec_per_track, 63u);
        EXPECT_EQ(uint64_t{info.sectors_h} << 32 | info.sectors_l, c.Sectors);
        EXPECT_EQ(info.sector_size, 512);
        EXPECT_EQ(info.spare, 0x5A5A) << "only the 26-byte form is written";
    }

    // A drive without an image does not exist.
    SInt13Regs regs{};
    EXPECT_GE(m_fn08(0x81, &regs), 256u);
    EXPECT_GE(m_fn08(0x7F, &regs), 256u);
}

TEST_F(EmulatorTest, ReadsStopAtTheFirstSectorThatCannotBeRead)
{
    const std::string image = m_dir.File("numbered.img");
    CreateNumberedImage(image, 1000);
    m_env.Set("RAWIO16_DRIVE_80", image);
    m_env.Set("RAWIO16_DRIVE_80_BAD", "500-509:0xBB,700");
    platform::CPageBuffer buffer(128 * 4096);
    const struct
    {
        uint32_t Sector;
        uint32_t Count;
        uint32_t Result;
    } cases[] = {
        {0, 127, 0x0000007F},  {490, 20, 0x8000BB0A}, // ten good sectors, then the bad range
        {505, 1, 0x8000BB00},                         // inside it
        {690, 20, 0x8000100A}, // a single bad sector fails with the default status
        {990, 20, 0x8000040A}, // ten left before the end of the image
        {1000, 1, 0x80000400}, // beyond it
        {0, 128, 0x80000100},  // more than one piece can be
        {0, 0, 0x80000100},    // nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_read(0x80, c.Sector, 0, c.Count, buffer.Get()), c.Result)
            << c.Sector << "+" << c.Count;
    // Sectors beyond 32 bits are addressed by the high half.
    EXPECT_EQ(m_read(0x80, 0, 1, 1, buffer.Get()), 0x80000400u);

    // One 16:16 pointer reaches 64 KB: 127 sectors of 4096 bytes are too many.
    m_env.Set("RAWIO16_DRIVE_80_FN48", ",,,,,4096");
    EXPECT_EQ(m_read(0x80, 0, 0, 16, buffer.Get()), 16u);
    EXPECT_EQ(m_read(0x80, 0, 0, 17, buffer.Get()), 0x80000900u);
}

TEST_F(EmulatorTest, PhysicalSectorReadUsesTheFunction08hGeometry)
{
    const std::string image = m_dir.File("numbered.img");
    CreateNumberedImage(image, 3000);
    m_env.Set("RAWIO16_DRIVE_80", image);
    m_env.Set("RAWIO16_DRIVE_80_FN08", "3,16,63");
    platform::CPageBuffer buffer(512);
    EXPECT_EQ(m_chs(0x80, 2, 3, 5, 1, buffer.Get()), 1u);
    EXPECT_EQ(SectorNumber(buffer.Get()), 2209u);
    EXPECT_EQ(m_chs(0x80, 2, 3, 0, 1, buffer.Get()), 0x80000400u) << "sectors count from 1";
    EXPECT_EQ(m_chs(0x80, 2, 16, 1, 1, buffer.Get()), 0x80000400u);
}

TEST(EmulatorConfig, ParsesEveryVariableAndNamesTheOneItCannot)
{
    using rawio16::SDriveConfig;
    const auto parse = [](const std::map<std::string, std::string>& vars, SDriveConfig* config,
                          std::string* error) {
        return rawio16::ParseDriveConfig(
            0x81,
            [&](const std::string& name) -> const char* {
                const auto it = vars.find(name);
                return it == vars.end() ? nullptr : it->second.c_str();
            },
            config, error);
    };

    SDriveConfig config;
    std::string error;
    ASSERT_TRUE(parse({{"RAWIO16_DRIVE_81", "/x.img"},
                       {"RAWIO16_DRIVE_81_FN08", "1024, 256, 0x3F, 0xFFFF"},
                       {"RAWIO16_DRIVE_81_FN48", "2,,16,,0x100000000"},
                       {"RAWIO16_DRIVE_81_FAIL", "fn48:0xAA,read"},
                       {"RAWIO16_DRIVE_81_BAD", "7,10-12:0x20"}},
                      &config, &error))
        << error;
    EXPECT_EQ(config.Image, "/x.img");
    ASSERT_TRUE(config.Fn08);
    EXPECT_EQ(config.Fn08->Cylinders, 1024u);
    EXPECT_EQ(config.Fn08->Heads, 256u);
    EXPECT_EQ(config.Fn08->SectorsPerTrack, 63u);
    EXPECT_EQ(config.Fn08->EcxHigh, 0xFFFF);
    EXPECT_EQ(config.Fn48.Flags, 2);
    EXPECT_FALSE(config.Fn48.Cylinders);
    EXPECT_EQ(config.Fn48.Heads, 16u);
    EXPECT_EQ(config.Fn48.TotalSectors, 0x100000000ull);
    EXPECT_FALSE(config.Fn48.SectorSize);
    EXPECT_FALSE(config.Fn08Failure);
    EXPECT_EQ(config.Fn48Failure, 0xAA);
    EXPECT_EQ(config.ReadFailure, 0x01);
    ASSERT_EQ(config.BadSectors.size(), 2u);
    EXPECT_EQ(config.BadSectors[0].Status, 0x10);
    EXPECT_EQ(config.BadSectors[1].First, 10u);
    EXPECT_EQ(config.BadSectors[1].Last, 12u);

    EXPECT_FALSE(parse({}, &config, &error));
    EXPECT_EQ(error, "") << "no image: no drive, and nothing wrong";

    const std::pair<const char*, const char*> bad[] = {
        {"_FN08", "0,255,63"},
        {"_FN08", "1025,255,63"},
        {"_FN08", "1024,257,63"},
        {"_FN08", "1024,255,64"},
        {"_FN08", "1024,255"},
        {"_FN48", "1,2,3,4,5,6,7"},
        {"_FN48", "0x10000"},
        {"_FAIL", "fn13"},
        {"_FAIL", "read:256"},
        {"_BAD", "12-10"},
        {"_BAD", "x"},
        {"_BAD", ""},
    };
    for (const auto& [suffix, value] : bad)
    {
        const std::string name = std::string("RAWIO16_DRIVE_81") + suffix;
        const bool parsed = parse({{"RAWIO16_DRIVE_81", "/x.img"}, {name, value}}, &config, &error);
        if (*value == '\0')
        {
            EXPECT_TRUE(parsed) << "an empty variable is an unset one";
            continue;
        }
        EXPECT_FALSE(parsed) << name << "=" << value;
        EXPECT_EQ(error.rfind(name + "=" + value + ": expected", 0), 0u) << error;
    }
}
