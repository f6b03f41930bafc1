// Device access on POSIX: open(2) read-only, BLKGETSIZE64/BLKSSZGET or fstat, pread(2).
#include "platform/Device.h"

#include "platform/Errors.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

int Fd(DeviceHandle device)
{
    return static_cast<int>(device);
}

// Linux transfers at most this many bytes in one read(2).
constexpr uint32_t kMaxTransfer = 0x7FFFF000;

// Injected faults; a test installs them around the calls it makes.
std::atomic<SDeviceFaults*> g_pFaults{nullptr};
std::mutex g_faultLock;

// The errno a read is to fail with by the installed faults, 0 for none.
int InjectedReadError()
{
    if (!g_pFaults.load())
        return 0;
    std::lock_guard lock(g_faultLock);
    SDeviceFaults* faults = g_pFaults.load();
    if (!faults || faults->m_nReadError == 0)
        return 0;
    if (faults->m_nGoodReads > 0)
    {
        --faults->m_nGoodReads;
        return 0;
    }
    return faults->m_nReadError;
}

int InjectedSizeError()
{
    std::lock_guard lock(g_faultLock);
    SDeviceFaults* faults = g_pFaults.load();
    return faults ? faults->m_nSizeError : 0;
}

bool InjectedEntryGone()
{
    std::lock_guard lock(g_faultLock);
    SDeviceFaults* faults = g_pFaults.load();
    return faults && faults->m_bEntryGone;
}

} // namespace

void SetDeviceFaults(SDeviceFaults* faults)
{
    std::lock_guard lock(g_faultLock);
    g_pFaults.store(faults);
}

uint32_t DeviceOpen(const std::string& path, DeviceMode mode, DeviceHandle* out,
                    bool* cacheBypassed)
{
    *out = kInvalidDevice;
    if (cacheBypassed)
        *cacheBypassed = false;
    if (path.empty())
        return err::FileNotFound;

    // O_NONBLOCK keeps a FIFO or a terminal from blocking the open; it is cleared below.
    const int probeFd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (probeFd < 0)
        return Win32ErrorFromErrno(errno);
    struct stat st
    {};
    if (fstat(probeFd, &st) != 0)
    {
        const int e = errno;
        close(probeFd);
        return Win32ErrorFromErrno(e);
    }
    if (S_ISDIR(st.st_mode))
    {
        close(probeFd);
        return err::Directory;
    }
    if (!S_ISBLK(st.st_mode) && !S_ISREG(st.st_mode))
    {
        close(probeFd);
        return err::InvalidFunction;
    }

    int fd = probeFd;
    bool bypassed = false;
    if (mode == DeviceMode::Unbuffered)
    {
        const int directFd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_DIRECT);
        if (directFd >= 0)
        {
            close(probeFd);
            fd = directFd;
            bypassed = true;
        }
        else if (!(S_ISREG(st.st_mode) && errno == EINVAL))
        {
            const int e = errno;
            close(probeFd);
            return Win32ErrorFromErrno(e);
        }
    }
    if (fd == probeFd)
    {
        const int flags = fcntl(fd, F_GETFL);
        if (flags >= 0)
            fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (cacheBypassed)
        *cacheBypassed = bypassed;
    *out = fd;
    return err::Success;
}

uint32_t DeviceQuerySize(DeviceHandle device, DeviceSize* out)
{
    *out = DeviceSize{};
    if (const int injected = InjectedSizeError())
        return Win32ErrorFromErrno(injected);
    struct stat st
    {};
    if (fstat(Fd(device), &st) != 0)
        return Win32ErrorFromErrno(errno);
    if (S_ISBLK(st.st_mode))
    {
        uint64_t bytes = 0;
        int sectorSize = 0;
        if (ioctl(Fd(device), BLKGETSIZE64, &bytes) != 0)
            return Win32ErrorFromErrno(errno);
        if (ioctl(Fd(device), BLKSSZGET, &sectorSize) != 0)
            return Win32ErrorFromErrno(errno);
        if (sectorSize <= 0)
            return err::InvalidFunction;
        out->Bytes = bytes;
        out->BytesPerSector = static_cast<uint32_t>(sectorSize);
        return err::Success;
    }
    if (S_ISREG(st.st_mode))
    {
        out->Bytes = static_cast<uint64_t>(st.st_size);
        out->BytesPerSector = 512;
        return err::Success;
    }
    return err::InvalidFunction;
}

namespace {

// One unsigned decimal number, alone on the first line of a sysfs attribute.
bool ReadSysfsNumber(const std::string& file, uint64_t* value)
{
    std::ifstream in(file);
    std::string text;
    if (!in || !std::getline(in, text) || text.empty() ||
        text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19)
        return false;
    *value = std::stoull(text);
    return true;
}

} // namespace

uint32_t ReadSysfsDiskSize(const std::string& sysDir, DeviceSize* out)
{
    *out = DeviceSize{};
    uint64_t sectors = 0, sectorSize = 0;
    if (!ReadSysfsNumber(sysDir + "/size", &sectors) ||
        !ReadSysfsNumber(sysDir + "/queue/logical_block_size", &sectorSize))
        return err::InvalidFunction;
    // The kernel counts "size" in 512-byte units whatever the logical sector size.
    if (sectorSize == 0 || sectorSize > UINT32_MAX || sectors > UINT64_MAX / 512)
        return err::InvalidFunction;
    out->Bytes = sectors * 512;
    out->BytesPerSector = static_cast<uint32_t>(sectorSize);
    return err::Success;
}

uint32_t DeviceQuerySizeUnopened(const std::string& path, DeviceSize* out)
{
    *out = DeviceSize{};
    struct stat st
    {};
    if (path.empty())
        return err::FileNotFound;
    if (stat(path.c_str(), &st) != 0)
        return Win32ErrorFromErrno(errno);
    if (!S_ISBLK(st.st_mode))
        return err::InvalidFunction;
    const std::string sysDir = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                               std::to_string(minor(st.st_rdev));
    // A partition has a "partition" attribute and no queue of its own.
    if (access((sysDir + "/partition").c_str(), F_OK) == 0)
        return err::InvalidFunction;
    return ReadSysfsDiskSize(sysDir, out);
}

uint32_t DeviceRead(DeviceHandle device, uint64_t offset, void* buffer, uint32_t bytes,
                    uint32_t* bytesRead)
{
    *bytesRead = 0;
    if (offset > static_cast<uint64_t>(LLONG_MAX))
        return err::NegativeSeek;
    if (bytes > kMaxTransfer)
        return err::InvalidParameter;
    if (const int injected = InjectedReadError())
        return Win32ErrorFromErrno(injected);
    ssize_t got;
    do
        got = pread(Fd(device), buffer, bytes, static_cast<off_t>(offset));
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return Win32ErrorFromErrno(errno);
    *bytesRead = static_cast<uint32_t>(got);
    return *bytesRead == bytes ? err::Success : err::SectorNotFound;
}

uint32_t DeviceMaxTransfer()
{
    return kMaxTransfer;
}

void DeviceClose(DeviceHandle device)
{
    if (device != kInvalidDevice)
        close(Fd(device));
}

bool DeviceIsGone(DeviceHandle device, uint32_t readError)
{
    // ENODEV and ENXIO: the kernel has no device behind the handle any more. (ENOENT, the
    // third errno of this number, is no answer a read gives.)
    if (readError == err::FileNotFound)
        return true;
    DeviceSize size;
    const uint32_t sizeError = DeviceQuerySize(device, &size);
    if (sizeError == err::InvalidHandle)
        return false; // not a device that was ever open: nothing has gone
    if (sizeError != err::Success)
        return true;
    struct stat st
    {};
    if (fstat(Fd(device), &st) != 0 || !S_ISBLK(st.st_mode))
        return false;
    if (size.Bytes == 0 || InjectedEntryGone())
        return true;
    char entry[64];
    std::snprintf(entry, sizeof entry, "/sys/dev/block/%u:%u", major(st.st_rdev),
                  minor(st.st_rdev));
    struct stat sysSt
    {};
    return stat(entry, &sysSt) != 0 && errno == ENOENT;
}

} // namespace platform
