// Physical-drive back-end: unbuffered, read-only device access timed with the performance counter.
#include "diskaccess/NtHardDrive.h"

#include "platform/Clock.h"
#include "platform/Errors.h"

#include <climits>

namespace {

constexpr int32_t kProbedDrives = 20;
constexpr uint32_t kHeads = 255;
constexpr uint32_t kSectorsPerTrack = 63;

} // namespace

CNtHardDrive::CNtHardDrive(const platform::IDriveNamespace& drives, platform::IDeviceBroker& broker)
    : m_drives(drives), m_broker(broker)
{}

GEOMETRY CNtHardDrive::GeometryFromSize(int32_t drive, const platform::DeviceSize& size)
{
    GEOMETRY g;
    g.Drive = drive;
    g.TracksPerCylinder = kHeads;
    g.SectorsPerTrack = kSectorsPerTrack;
    g.BytesPerSector = size.BytesPerSector;
    const uint64_t bytesPerCylinder = uint64_t{kHeads} * kSectorsPerTrack * size.BytesPerSector;
    g.Cylinders = bytesPerCylinder ? static_cast<uint32_t>(size.Bytes / bytesPerCylinder) : 0;
    return g;
}

std::string CNtHardDrive::DrivePath(int32_t drive) const
{
    if (drive >= kFirstPathDrive)
    {
        const size_t index = static_cast<size_t>(drive - kFirstPathDrive);
        return index < m_pathDrives.size() ? m_pathDrives[index] : std::string();
    }
    return drive >= 0 ? m_drives.DrivePath(static_cast<uint32_t>(drive)) : std::string();
}

uint32_t CNtHardDrive::OpenNumber(int32_t drive, platform::DeviceMode mode,
                                  platform::DeviceHandle* out, bool* cacheBypassed) const
{
    if (drive >= kFirstPathDrive)
        return platform::DeviceOpen(DrivePath(drive), mode, out, cacheBypassed);
    if (drive < 0)
    {
        *out = platform::kInvalidDevice;
        return platform::err::FileNotFound;
    }
    return m_drives.OpenDrive(static_cast<uint32_t>(drive), mode, out, cacheBypassed);
}

uint32_t CNtHardDrive::AddPathDrive(const std::string& path, GEOMETRY* geometry)
{
    platform::DeviceHandle device;
    platform::DeviceSize size;
    uint32_t error = platform::DeviceOpen(path, platform::DeviceMode::Buffered, &device);
    if (error == platform::err::AccessDenied)
    {
        // A disk the user may not open: the broker opens it when it is measured.
        if (platform::DeviceQuerySizeUnopened(path, &size) != 0 || !m_broker.CanServe(path))
            return error;
    }
    else if (error != 0)
        return error;
    else
    {
        error = platform::DeviceQuerySize(device, &size);
        platform::DeviceClose(device);
        if (error != 0)
            return error;
    }
    m_pathDrives.push_back(path);
    *geometry =
        GeometryFromSize(kFirstPathDrive + static_cast<int32_t>(m_pathDrives.size() - 1), size);
    return 0;
}

uint32_t CNtHardDrive::OpenForMeasuring(int32_t drive, platform::DeviceHandle* out,
                                        bool* cacheBypassed, std::string* refusal) const
{
    refusal->clear();
    const uint32_t error = OpenNumber(drive, platform::DeviceMode::Unbuffered, out, cacheBypassed);
    if (error != platform::err::AccessDenied)
        return error;
    const std::string path = DrivePath(drive);
    if (path.empty() || !m_broker.CanServe(path))
        return error;
    return m_broker.Open(path, out, cacheBypassed, refusal);
}

uint32_t CNtHardDrive::PrepareOpen(int32_t drive, std::string* refusal)
{
    platform::DeviceHandle device = platform::kInvalidDevice;
    bool cacheBypassed = false;
    const uint32_t error = OpenForMeasuring(drive, &device, &cacheBypassed, refusal);
    if (error != 0)
        return error;
    std::lock_guard lock(m_preparedLock);
    m_prepared.Drive = drive;
    m_prepared.Handle.Reset(device);
    m_prepared.CacheBypassed = cacheBypassed;
    return 0;
}

BOOL CNtHardDrive::Open(int32_t drive, uint32_t cylinders, uint32_t tracksPerCylinder,
                        uint32_t sectorsPerTrack, uint32_t bytesPerSector)
{
    // A second Open replaces the first: its handle is closed, never leaked.
    m_hDevice.Reset();
    m_bGone = false;
    m_Geometry = GEOMETRY{drive, cylinders, tracksPerCylinder, sectorsPerTrack, bytesPerSector};
    m_strOpenRefusal.clear();
    {
        std::lock_guard lock(m_preparedLock);
        if (m_prepared.Handle.IsOpen() && m_prepared.Drive == drive)
        {
            m_hDevice.Reset(m_prepared.Handle.Release());
            m_bCacheBypassed = m_prepared.CacheBypassed;
            return 1;
        }
    }
    platform::DeviceHandle device = platform::kInvalidDevice;
    const uint32_t error = OpenForMeasuring(drive, &device, &m_bCacheBypassed, &m_strOpenRefusal);
    if (error != 0)
    {
        m_dwLastError = error;
        return 0;
    }
    m_hDevice.Reset(device);
    return 1;
}

BOOL CNtHardDrive::Close()
{
    m_hDevice.Reset();
    return 1;
}

void CNtHardDrive::ReadFailed(uint32_t error)
{
    m_dwLastError = error;
    m_bGone = error != platform::err::NegativeSeek && error != platform::err::InvalidParameter &&
              m_hDevice.IsOpen() && platform::DeviceIsGone(m_hDevice.Get(), error);
}

uint32_t CNtHardDrive::ReadAt(uint64_t offset, uint32_t count, void* buffer, uint32_t* sectorsRead,
                              int64_t* readTime)
{
    const uint32_t bytesPerSector = m_Geometry.BytesPerSector;
    m_dwLastError = 0;
    *sectorsRead = 0;
    // Positioning: an offset the OS cannot seek to fails before anything is timed.
    if (offset > static_cast<uint64_t>(LLONG_MAX))
        return platform::err::NegativeSeek;
    uint32_t bytesRead = 0;
    const int64_t before = platform::PerformanceCounter();
    const uint32_t error =
        platform::DeviceRead(m_hDevice.Get(), offset, buffer, count * bytesPerSector, &bytesRead);
    const int64_t after = platform::PerformanceCounter();
    *sectorsRead = bytesRead / bytesPerSector;
    if (readTime)
        *readTime += after - before;
    return error;
}

BOOL CNtHardDrive::ReadChs(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                           void* buffer, uint32_t* sectorsRead)
{
    const uint32_t bytesPerSector = m_Geometry.BytesPerSector;
    if (!sectorsRead || bytesPerSector == 0 ||
        uint64_t{count} * bytesPerSector > platform::DeviceMaxTransfer())
    {
        m_dwLastError = platform::err::InvalidParameter;
        return 0;
    }
    const uint32_t bytesPerTrack = m_Geometry.SectorsPerTrack * bytesPerSector;
    const uint32_t bytesPerCylinder = m_Geometry.TracksPerCylinder * bytesPerTrack;
    const uint64_t offset = uint64_t{cylinder} * bytesPerCylinder + uint32_t{head * bytesPerTrack} +
                            uint32_t{sector * bytesPerSector};

    const uint32_t error = ReadAt(offset, count, buffer, sectorsRead, &m_liReadTime);
    if (error != 0)
    {
        ReadFailed(error);
        if (error != platform::err::NegativeSeek)
        {
            m_dwErrorCylinder = cylinder;
            m_dwErrorHead = head;
        }
        return 0;
    }
    return 1;
}

BOOL CNtHardDrive::ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead)
{
    return ReadLba64(sector, count, buffer, sectorsRead);
}

BOOL CNtHardDrive::ReadLba64(uint64_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead)
{
    const uint32_t bytesPerSector = m_Geometry.BytesPerSector;
    if (!sectorsRead || bytesPerSector == 0 ||
        uint64_t{count} * bytesPerSector > platform::DeviceMaxTransfer() ||
        sector > UINT64_MAX / bytesPerSector)
    {
        m_dwLastError = platform::err::InvalidParameter;
        return 0;
    }
    const uint64_t offset = sector * bytesPerSector;
    const uint32_t error = ReadAt(offset, count, buffer, sectorsRead, nullptr);
    if (error != 0)
    {
        ReadFailed(error);
        const uint32_t bytesPerTrack = m_Geometry.SectorsPerTrack * bytesPerSector;
        const uint32_t bytesPerCylinder = m_Geometry.TracksPerCylinder * bytesPerTrack;
        if (error != platform::err::NegativeSeek && bytesPerTrack != 0 && bytesPerCylinder != 0)
        {
            m_dwErrorCylinder = static_cast<uint32_t>(offset / bytesPerCylinder);
            m_dwErrorHead = static_cast<uint32_t>(offset % bytesPerCylinder) / bytesPerTrack;
        }
        return 0;
    }
    return 1;
}

uint64_t CNtHardDrive::GetDeviceSectors()
{
    platform::DeviceSize size;
    if (!m_hDevice.IsOpen() || m_Geometry.BytesPerSector == 0 ||
        platform::DeviceQuerySize(m_hDevice.Get(), &size) != 0)
        return 0;
    return size.Bytes / m_Geometry.BytesPerSector;
}

int CNtHardDrive::GetDrives(CDriveList& drives)
{
    drives.clear();
    m_bDiscoveryRefused = false;
    for (int32_t n = 0; n < kProbedDrives; ++n)
    {
        m_dwLastError = 0;
        platform::DeviceHandle device;
        const uint32_t error = OpenNumber(n, platform::DeviceMode::Buffered, &device, nullptr);
        if (error != 0)
        {
            m_dwLastError = error;
            if (error != platform::err::AccessDenied)
                continue;
            // A user without the right to open disks still sees those the broker can open
            // for them; the size comes from the kernel's published attributes.
            platform::DeviceSize size;
            if (m_drives.QueryDriveSizeUnopened(static_cast<uint32_t>(n), &size) == 0 &&
                m_broker.CanServe(m_drives.DrivePath(static_cast<uint32_t>(n))))
            {
                drives.push_back(GeometryFromSize(n, size));
                continue;
            }
            m_bDiscoveryRefused = true;
            // Where the broker runs but cannot serve this drive, it may serve the next.
            if (m_broker.IsAvailable())
                continue;
            break;
        }
        platform::DeviceSize size;
        const uint32_t sizeError = platform::DeviceQuerySize(device, &size);
        platform::DeviceClose(device);
        if (sizeError == 0)
            drives.push_back(GeometryFromSize(n, size));
    }
    return static_cast<int>(drives.size());
}
