// The application core: discovery with the clean-up, and the drive list's index rule.
#include "shell/AppCore.h"

#include "diskaccess/NtHardDrive.h"
#include "fixtures/FakeBroker.h"
#include "fixtures/MemoryDrive.h"
#include "platform/Errors.h"

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

namespace {

// One whole-disk drive that this user may not open.
class CRefusingNamespace : public platform::IDriveNamespace
{
public:
    std::string DrivePath(uint32_t n) const override { return n == 0 ? "/dev/refused" : ""; }
    uint32_t OpenDrive(uint32_t n, platform::DeviceMode, platform::DeviceHandle* out,
                       bool*) const override
    {
        *out = platform::kInvalidDevice;
        return n == 0 ? platform::err::AccessDenied : platform::err::FileNotFound;
    }
    uint32_t QueryDriveSizeUnopened(uint32_t, platform::DeviceSize* out) const override
    {
        *out = {100 * 255ull * 63 * 512, 512};
        return 0;
    }
};

} // namespace

TEST(AppCore, AdviceWhenNoDriveMayBeOpened)
{
    CRefusingNamespace ns;
    testing_fx::CFakeBroker broker;
    broker.Available = false;
    {
        CAppCore core;
        core.SetDrive(std::make_unique<CNtHardDrive>(ns, broker));
        EXPECT_EQ(core.DiscoverDrives(), 0);
        const std::string advice = core.NoDriveAdvice();
        EXPECT_NE(advice.find("root"), std::string::npos) << advice;
        EXPECT_NE(advice.find("udisks2"), std::string::npos) << advice;
        // The disk group would give write access to every disk.
        EXPECT_EQ(advice.find("group"), std::string::npos) << advice;
    }
    // Served by the disk service: listed, nothing to advise.
    broker.Available = true;
    broker.Served = {"/dev/refused"};
    CAppCore core;
    core.SetDrive(std::make_unique<CNtHardDrive>(ns, broker));
    EXPECT_EQ(core.DiscoverDrives(), 1);
    EXPECT_EQ(core.NoDriveAdvice(), "");
    // A back-end that never met a refusal has nothing to advise either.
    CAppCore empty;
    empty.SetDrive(std::make_unique<CListedDrive>(CDriveList{}));
    EXPECT_EQ(empty.DiscoverDrives(), 0);
    EXPECT_EQ(empty.NoDriveAdvice(), "");
}
