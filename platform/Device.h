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

// After a read of device failed with readError: whether the device itself has gone (it was
// unplugged, or the system has dropped it), so that no later read can succeed. Gone is: the
// read reported no such device, or the device no longer answers its size query, or its
// system entry (/sys/block) has disappeared. An image file never goes while it is open.
bool DeviceIsGone(DeviceHandle device, uint32_t readError);

// Owns one device handle: closes it on destruction and when it is replaced. Not copyable.
class CDeviceHandle
{
public:
    CDeviceHandle() = default;
    explicit CDeviceHandle(DeviceHandle device) : m_hDevice(device) {}
    ~CDeviceHandle() { DeviceClose(m_hDevice); }
    CDeviceHandle(CDeviceHandle&& other) noexcept : m_hDevice(other.Release()) {}
    CDeviceHandle& operator=(CDeviceHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CDeviceHandle(const CDeviceHandle&) = delete;
    CDeviceHandle& operator=(const CDeviceHandle&) = delete;

    DeviceHandle Get() const { return m_hDevice; }
    bool IsOpen() const { return m_hDevice != kInvalidDevice; }
    // Closes the handle held and takes device.
    void Reset(DeviceHandle device = kInvalidDevice)
    {
        if (device == m_hDevice)
            return;
        DeviceClose(m_hDevice);
        m_hDevice = device;
    }
    // Gives the handle up without closing it.
    DeviceHandle Release()
    {
        const DeviceHandle device = m_hDevice;
        m_hDevice = kInvalidDevice;
        return device;
    }

private:
    DeviceHandle m_hDevice = kInvalidDevice;
};

// Faults the device functions report instead of asking the OS, for tests of a drive that
// dies in ways no test device can be made to (a loop device turns every failure of its
// backing file into EIO). Values are the OS's own error numbers (errno); 0 asks the OS.
struct SDeviceFaults
{
    uint32_t m_nGoodReads = 0; // reads that still succeed before m_nReadError applies
    int m_nReadError = 0;      // what DeviceRead fails with from then on
    int m_nSizeError = 0;      // what DeviceQuerySize fails with
    bool m_bEntryGone = false; // the device's system entry has disappeared
};

// Installs faults for every device of the process; nullptr removes them. faults must
// outlive its installation.
void SetDeviceFaults(SDeviceFaults* faults);

// Installs faults for a scope.
class CDeviceFaultScope
{
public:
    explicit CDeviceFaultScope(SDeviceFaults& faults) { SetDeviceFaults(&faults); }
    ~CDeviceFaultScope() { SetDeviceFaults(nullptr); }
    CDeviceFaultScope(const CDeviceFaultScope&) = delete;
    CDeviceFaultScope& operator=(const CDeviceFaultScope&) = delete;
};

} // namespace platform
