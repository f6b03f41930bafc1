// The back-end that reads whole physical drives through the operating system.
#pragma once

#include "diskaccess/PartitionAnalyser.h"
#include "platform/Device.h"
#include "platform/DriveNamespace.h"

#include <string>
#include <vector>

class CNtHardDrive : public CPartitionAnalyser
{
public:
    // Drive numbers from this one up name the paths given to AddPathDrive.
    static constexpr int32_t kFirstPathDrive = 0x10000;

    explicit CNtHardDrive(
        const platform::IDriveNamespace& drives = platform::SystemDriveNamespace());

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
    // Records a failed read's error, and whether it shows the device gone.
    void ReadFailed(uint32_t error);
    // The positioned read shared by ReadChs and ReadLba; the transfer time is added to
    // *readTime when it is given. Returns 0 or a Win32 error number.
    uint32_t ReadAt(uint64_t offset, uint32_t count, void* buffer, uint32_t* sectorsRead,
                    int64_t* readTime);

    const platform::IDriveNamespace& m_drives;
    std::vector<std::string> m_pathDrives;

    uint32_t m_dwErrorCylinder = 0;
    uint32_t m_dwErrorHead = 0;
    uint32_t m_dwLastError = 0;
    platform::CDeviceHandle m_hDevice; // closed on Close, on the next Open and at destruction
    int64_t m_liReadTime = 0;
    bool m_bCacheBypassed = false;
    bool m_bGone = false;
};
