// How drive numbers name the machine's whole-disk devices.
#pragma once

#include "platform/Device.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class IDriveNamespace
{
public:
    virtual ~IDriveNamespace() = default;

    // The device path of drive number n, or "" when the machine has no such drive.
    virtual std::string DrivePath(uint32_t n) const = 0;

    // Opens drive n read-only. Returns 0 or a Win32 error number (FileNotFound for
    // a number without a drive).
    virtual uint32_t OpenDrive(uint32_t n, DeviceMode mode, DeviceHandle* out,
                               bool* cacheBypassed = nullptr) const;

    // Size and logical sector size of drive n from what the kernel publishes to everyone,
    // without opening it (for a user who may not open it). Returns 0 or a Win32 error number.
    virtual uint32_t QueryDriveSizeUnopened(uint32_t n, DeviceSize* out) const;
};

// Drives as the kernel lists them in sysfs: real disks (sd, nvme, vd, hd, mmcblk, xvd, ...)
// in natural name order, then attached loop devices; RAM disks, zram, device-mapper and
// md arrays are never drives. Directories are parameters so that tests can use a fake tree.
class CSysfsDriveNamespace : public IDriveNamespace
{
public:
    explicit CSysfsDriveNamespace(std::string sysBlockDir = "/sys/block",
                                  std::string devDir = "/dev");

    // The disk names in drive-number order, read afresh from sysfs.
    std::vector<std::string> ListDisks() const;

    std::string DrivePath(uint32_t n) const override;
    uint32_t QueryDriveSizeUnopened(uint32_t n, DeviceSize* out) const override;

private:
    std::string m_strSysBlock;
    std::string m_strDev;
};

// Natural order of disk names: sdz before sdaa, nvme0n2 before nvme0n10.
bool DiskNameLess(const std::string& a, const std::string& b);

// The namespace of this machine.
const IDriveNamespace& SystemDriveNamespace();

} // namespace platform
