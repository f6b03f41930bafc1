// Read-only access to a whole-disk device or a disk image file.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using DeviceHandle = intptr_t;
inline constexpr DeviceHandle kInvalidDevice = -1;

enum class DeviceMode
{
    Buffered,   // through the OS cache, for probing
    Unbuffered, // bypassing the OS cache, for measuring
};

// Opens path for reading only; nothing here ever opens a device for writing.
// Only block devices and regular files are accepted (InvalidFunction otherwise,
// Directory for a directory). In Unbuffered mode, a regular file whose file system
// refuses cache bypass is opened through the cache and *cacheBypassed is set false.
// Returns 0 and the handle in *out, or a Win32 error number.
uint32_t DeviceOpen(const std::string& path, DeviceMode mode, DeviceHandle* out,
                    bool* cacheBypassed = nullptr);

struct DeviceSize
{
    uint64_t Bytes = 0;
    uint32_t BytesPerSector = 0; // logical sector size; 512 for image files
};

// Size and logical sector size of an open device. Returns 0 or a Win32 error number.
uint32_t DeviceQuerySize(DeviceHandle device, DeviceSize* out);

// Size and logical sector size of a whole-disk block device from the kernel's attributes in
// sysfs, which anyone may read, without opening the device. Returns 0 or a Win32 error number
// (InvalidFunction for anything but a whole-disk block device).
uint32_t DeviceQuerySizeUnopened(const std::string& path, DeviceSize* out);

// The same from one disk's sysfs directory (with "size" in 512-byte units and
// "queue/logical_block_size"). Returns 0 or a Win32 error number.
uint32_t ReadSysfsDiskSize(const std::string& sysDir, DeviceSize* out);

// One positioned read of bytes at offset. *bytesRead gets what arrived, also on failure.
// A read that ends early without an OS error returns SectorNotFound.
// Returns 0 or a Win32 error number.
uint32_t DeviceRead(DeviceHandle device, uint64_t offset, void* buffer, uint32_t bytes,
                    uint32_t* bytesRead);

// The largest byte count DeviceRead transfers in one call.
uint32_t DeviceMaxTransfer();

// Closes a handle from DeviceOpen; kInvalidDevice is ignored.
void DeviceClose(DeviceHandle device);

} // namespace platform
