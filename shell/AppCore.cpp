// The application's core: back-end, drive list and the window-less start-up steps.
#include "shell/AppCore.h"

#include "diskaccess/NtHardDrive.h"
#include "diskaccess/W9xHardDrive.h"
#include "framework/MessageBox.h"
#include "platform/System.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "shell/Log.h"

#include <stdexcept>

void RemoveIncompleteDrives(CDriveList& drives)
{
    for (size_t i = drives.size(); i-- > 0;)
    {
        const GEOMETRY& g = drives[i];
        if (g.Cylinders == 0 || g.TracksPerCylinder == 0 || g.SectorsPerTrack == 0 ||
            g.BytesPerSector == 0)
            drives.erase(drives.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

CAppCore::CAppCore() = default;
CAppCore::~CAppCore() = default;

void CAppCore::SetDrive(std::unique_ptr<IHardDrive> drive)
{
    m_pDrive = std::move(drive);
    m_pNtDrive = dynamic_cast<CNtHardDrive*>(m_pDrive.get());
}

bool CAppCore::CreateBackEnd()
{
    return CreateBackEndFor(platform::PlatformId());
}

bool CAppCore::CreateBackEndFor(uint32_t platformId)
{
    m_strBackEndError.clear();
    if (platformId == platform::kPlatformWin9x)
    {
        m_bIsNT = 0;
        try
        {
            SetDrive(std::make_unique<CW9xHardDrive>(CW9xHardDrive::kLibraryName, &WriteLog));
        }
        catch (const CW9xLoadError& e)
        {
            SetDrive(nullptr);
            m_strBackEndError = e.what();
            return false;
        }
        return true;
    }
    if (platformId == platform::kPlatformNt)
    {
        SetDrive(std::make_unique<CNtHardDrive>());
        m_bIsNT = 1;
        return true;
    }
    fw::MessageBox(res::IDS_UNSUPPORTED_PLATFORM, fw::kMbOk | fw::kMbIconHand);
    m_strBackEndError = res::LoadString(res::IDS_UNSUPPORTED_PLATFORM);
    return false;
}

int CAppCore::DiscoverDrives()
{
    if (!m_pDrive)
        return 0;
    const int found = m_pDrive->GetDrives(m_arrDrives);
    if (found != 0)
        RemoveIncompleteDrives(m_arrDrives);
    return found;
}

std::string CAppCore::NoDriveAdvice() const
{
    if (!m_arrDrives.empty() || !m_pNtDrive || !m_pNtDrive->WasDiscoveryRefused())
        return {};
    // Not the disk group: it would give write access to every disk.
    return "Reading the disks needs more rights than this user has. Run Ratemark as root, or "
           "install udisks2, through which Ratemark asks the system for access to a disk when "
           "it is measured.";
}

int CAppCore::AddDrive(const GEOMETRY& geometry)
{
    m_arrDrives.push_back(geometry);
    return static_cast<int>(m_arrDrives.size()) - 1;
}

GEOMETRY CAppCore::GetDriveGeometry(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_arrDrives.size())
        throw std::invalid_argument("drive index out of range");
    return m_arrDrives[static_cast<size_t>(index)];
}

std::string CAppCore::DrivePath(int32_t drive) const
{
    return m_pNtDrive ? m_pNtDrive->DrivePath(drive) : std::string();
}
