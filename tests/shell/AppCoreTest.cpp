// The application core: discovery with the clean-up, and the drive list's index rule.
#include "shell/AppCore.h"

#include "fixtures/MemoryDrive.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class CListedDrive : public testing_fx::CMemoryDrive
{
public:
    explicit CListedDrive(CDriveList drives) : CMemoryDrive({}), m_drives(std::move(drives)) {}
    int GetDrives(CDriveList& drives) override
    {
        drives = m_drives;
        return static_cast<int>(drives.size());
    }

private:
    CDriveList m_drives;
};

} // namespace

TEST(AppCore, DiscoveryDropsIncompleteDrivesAndRenumbers)
{
    CAppCore core;
    core.SetDrive(std::make_unique<CListedDrive>(CDriveList{
        {0, 100, 255, 63, 512},
        {1, 0, 255, 63, 512},
        {2, 100, 0, 63, 512},
        {3, 100, 255, 63, 4096},
        {4, 100, 255, 0, 512},
        {5, 100, 255, 63, 0},
    }));
    EXPECT_EQ(core.DiscoverDrives(), 6);
    ASSERT_EQ(core.GetDriveCount(), 2);
    EXPECT_EQ(core.GetDriveGeometry(0).Drive, 0);
    EXPECT_EQ(core.GetDriveGeometry(1).Drive, 3);
    EXPECT_THROW(core.GetDriveGeometry(-1), std::invalid_argument);
    EXPECT_THROW(core.GetDriveGeometry(2), std::invalid_argument);
}

TEST(AppCore, NoDriveAnswers)
{
    CAppCore core;
    core.SetDrive(std::make_unique<CListedDrive>(CDriveList{}));
    EXPECT_EQ(core.DiscoverDrives(), 0);
    EXPECT_EQ(core.GetDriveCount(), 0);
    EXPECT_THROW(core.GetDriveGeometry(0), std::invalid_argument);
}
