// Which back-end start-up creates: the platform id, its override, and what the BIOS back-end
// brings with it.
#include "LowLevelSupport.h"

#include "diskaccess/NtHardDrive.h"
#include "diskaccess/W9xHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"
#include "platform/Library.h"
#include "platform/System.h"
#include "resources/StringTable.h"
#include "shell/AppCore.h"
#include "shell/Log.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace lowlevel_fx;
using testing_fx::CTempDir;

TEST(PlatformId, IsNtUnlessTheEnvironmentSaysOtherwise)
{
    CScopedEnvironment env;
    EXPECT_EQ(platform::PlatformId(), platform::kPlatformNt);
    const struct
    {
        const char* Value;
        uint32_t Id;
    } cases[] = {
        {"win9x", 1}, {"WIN9X", 1}, {"nt", 2},    {"NT", 2}, {"0", 0},
        {"3", 3},     {"", 2},      {"win95", 2}, {"1x", 2}, {"-1", 2},
    };
    for (const auto& c : cases)
    {
        env.Set(platform::kPlatformOverrideVariable, c.Value);
        EXPECT_EQ(platform::PlatformId(), c.Id) << '"' << c.Value << '"';
    }
}

namespace {

// Runs in a temporary directory, where the log goes.
class BackEndChoiceTest : public ::testing::Test
{
protected:
    BackEndChoiceTest() : m_previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(m_dir.Path());
    }
    ~BackEndChoiceTest() override { std::filesystem::current_path(m_previous); }

    std::string Log() const
    {
        std::ifstream in(m_dir.File(kLogFileName));
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    CTempDir m_dir;
    std::filesystem::path m_previous;
    CScopedEnvironment m_env;
    CRecordingMessageBox m_boxes;
};

} // namespace

TEST_F(BackEndChoiceTest, Windows9xGetsTheBiosBackEndWithItsLog)
{
    const std::string image = m_dir.File("disk.img");
    testing_fx::CreateSparseFile(image, 20 * 255 * 63 * 512);
    m_env.Set("RAWIO16_DRIVE_80", image);
    m_env.Set(platform::kLibraryDirVariable, LibraryDirectory());
    m_env.Set(platform::kPlatformOverrideVariable, "win9x");

    CAppCore core;
    ASSERT_TRUE(core.CreateBackEnd()) << core.BackEndError();
    EXPECT_EQ(core.m_bIsNT, 0);
    EXPECT_NE(dynamic_cast<CW9xHardDrive*>(core.GetDrive()), nullptr);
    EXPECT_EQ(core.GetNtDrive(), nullptr);
    EXPECT_EQ(core.DiscoverDrives(), 1);
    EXPECT_EQ(core.GetDriveGeometry(0), (GEOMETRY{0, 20, 255, 63, 512}));
    EXPECT_TRUE(m_boxes.m_shown.empty());

    // Discovery wrote its trace to the diagnostic log.
    const std::string log = Log();
    EXPECT_NE(log.find(" Call GetDriveFn08Parameters32( 0x93 ).\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" Add  geometry to array.\n"), std::string::npos) << log;
}

TEST_F(BackEndChoiceTest, EachPlatformIdGetsItsBackEndOrAMessage)
{
    CAppCore core;
    ASSERT_TRUE(core.CreateBackEndFor(platform::kPlatformNt));
    EXPECT_EQ(core.m_bIsNT, 1);
    EXPECT_NE(core.GetNtDrive(), nullptr);

    // Without the library anywhere the loader looks, the BIOS back-end cannot be made.
    EXPECT_FALSE(core.CreateBackEndFor(platform::kPlatformWin9x));
    EXPECT_EQ(core.GetDrive(), nullptr);
    EXPECT_EQ(core.m_bIsNT, 0);
    EXPECT_NE(core.BackEndError().find("libRawio32v2.so"), std::string::npos)
        << core.BackEndError();

    EXPECT_FALSE(core.CreateBackEndFor(3));
    EXPECT_EQ(core.GetDrive(), nullptr);

    ASSERT_EQ(m_boxes.m_shown.size(), 2u);
    EXPECT_EQ(m_boxes.m_shown[0].Text, res::LoadString(10005));
    EXPECT_EQ(m_boxes.m_shown[1].Text, res::LoadString(10004));
    EXPECT_EQ(m_boxes.m_shown[1].Type, fw::kMbOk | fw::kMbIconHand);
}
