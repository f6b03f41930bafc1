// The back-end that reads whole physical drives through the operating system.
#pragma once

#include "diskaccess/PartitionAnalyser.h"
#include "platform/Device.h"
#include "platform/DeviceBroker.h"
#include "platform/DriveNamespace.h"

#include <mutex>
#include <string>
#include <vector>

class CNtHardDrive : public CPartitionAnalyser
{
public:
    // Drive numbers from this one up name the paths given to AddPathDrive.
    static constexpr int32_t kFirstPathDrive = 0x10000;

    // Where the user may not open a whole-disk device, broker opens it after the system has
    // authorised the user, and discovery lists it without opening it.
    explicit CNtHardDrive(
        const platform::IDriveNamespace& drives = platform::SystemDriveNamespace(),
        platform::IDeviceBroker& broker = platform::SystemDeviceBroker());

    BOOL Open(int32_t drive, uint32_t cylinders, uint32_t tracksPerCylinder,
              uint32_t sectorsPerTrack, uint32_t bytesPerSector) override;
    BOOL Close() override;
    BOOL ReadChs(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count, void* buffer,
                 uint32_t* sectorsRead) override;
    BOOL ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override;
    uint32_t GetErrorCode() override { return m_dwLastError; }
    uint32_t GetErrorCylinder() override { return m_dwErrorCylinder; }
    uint32_t GetErrorHead() override { return m_dwErrorHead; }
    void ResetReadTime() override { m_liReadTime = 0; }
    int64_t GetReadTime() override { return m_liReadTime; }
    int GetDrives(CDriveList& drives) override;
    BOOL IsGone() override { return m_bGone ? 1 : 0; }
    // The open device's size from the OS, in sectors of the open geometry.
    uint64_t GetDeviceSectors() override;
    BOOL ReadLba64(uint64_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override;

    // Why the disk service refused the last Open (polkit's words), "" when the last Open was
    // not refused by it. Open may block while the user answers the service's authorisation
    // dialog.
    const std::string& GetOpenRefusal() const override { return m_strOpenRefusal; }

    // Opens drive as Open will, ahead of it and on any thread, so that a window program can
    // wait for the authorisation dialog off its event loop; the next Open of the same drive
    // takes the handle without asking again. Only the latest prepared drive is kept. Not at
    // the same time as AddPathDrive. Returns 0, or a Win32 error number with the disk
    // service's reason in *refusal ("" when it gave none).
    uint32_t PrepareOpen(int32_t drive, std::string* refusal);

    // True when the last GetDrives left out a drive that this user may not open and that no
    // broker could open for them.
    bool WasDiscoveryRefused() const { return m_bDiscoveryRefused; }

    // Makes a block device or image file named by the user usable as a drive: probes it
    // with the geometry rule of discovery and gives it a drive number of its own.
    // Returns 0 and the geometry, or a Win32 error number.
    uint32_t AddPathDrive(const std::string& path, GEOMETRY* geometry);

    // The device path of a drive number, "" when there is none.
    std::string DrivePath(int32_t drive) const;

    // False when the open drive is read through the OS cache (a file system that refuses
    // cache bypass for image files).
    bool IsCacheBypassed() const { return m_bCacheBypassed; }

    // The geometry the OS reports for a device of this size: 255 heads, 63 sectors per
    // track, the logical sector size, and the low 32 bits of the cylinder count.
    static GEOMETRY GeometryFromSize(int32_t drive, const platform::DeviceSize& size);

private:
    uint32_t OpenNumber(int32_t drive, platform::DeviceMode mode, platform::DeviceHandle* out,
                        bool* cacheBypassed) const;
    // Our own unbuffered open of drive, and after a refusal of access the broker's open when
    // it serves the drive. Touches no member but the drive tables.
    uint32_t OpenForMeasuring(int32_t drive, platform::DeviceHandle* out, bool* cacheBypassed,
                              std::string* refusal) const;
    // Records a failed read's error, and whether it shows the device gone.
    void ReadFailed(uint32_t error);
    // The positioned read shared by ReadChs and ReadLba; the transfer time is added to
    // *readTime when it is given. Returns 0 or a Win32 error number.
    uint32_t ReadAt(uint64_t offset, uint32_t count, void* buffer, uint32_t* sectorsRead,
                    int64_t* readTime);

    const platform::IDriveNamespace& m_drives;
    platform::IDeviceBroker& m_broker;
    std::string m_strOpenRefusal;
    bool m_bDiscoveryRefused = false;

    struct SPrepared
    {
        int32_t Drive = -1;
        platform::CDeviceHandle Handle; // closed when no Open takes it
        bool CacheBypassed = false;
    };
    std::mutex m_preparedLock;
    SPrepared m_prepared; // under m_preparedLock
    std::vector<std::string> m_pathDrives;

    uint32_t m_dwErrorCylinder = 0;
    uint32_t m_dwErrorHead = 0;
    uint32_t m_dwLastError = 0;
    platform::CDeviceHandle m_hDevice; // closed on Close, on the next Open and at destruction
    int64_t m_liReadTime = 0;
    bool m_bCacheBypassed = false;
    bool m_bGone = false;
};
