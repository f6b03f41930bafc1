// Output files on POSIX: an exclusive temporary beside the target, fsync, rename; the
// temporaries still pending sit in a fixed table that a signal handler can walk.
#include "platform/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

// Pending temporaries. A slot is free (0), being filled (1) or holds a path (2); only slots
// that hold a path are read by the signal handler, which never waits.
constexpr int kSlots = 32;
struct SSlot
{
    std::atomic<int> State{0};
    char Path[PATH_MAX];
};
SSlot g_slots[kSlots];

int Register(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kSlots; ++i)
    {
        int expected = 0;
        if (g_slots[i].State.compare_exchange_strong(expected, 1))
        {
            std::memcpy(g_slots[i].Path, path.c_str(), path.size() + 1);
            g_slots[i].State.store(2);
            return i;
        }
    }
    // More outputs at once than slots: the file is still whole or absent, only a signal
    // could leave its temporary behind.
    return -1;
}

void Unregister(int slot)
{
    if (slot >= 0)
        g_slots[slot].State.store(0);
}

EPathKind KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return EPathKind::Regular;
    if (S_ISDIR(mode))
        return EPathKind::Directory;
    if (S_ISBLK(mode))
        return EPathKind::BlockDevice;
    if (S_ISCHR(mode))
        return EPathKind::CharDevice;
    return EPathKind::Other;
}

bool IdOfPath(const std::string& path, SFileId* id)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

// The backing file a loop device's sysfs folder names; the kernel appends " (deleted)" when
// the file has gone, and then nothing can be written to it by name anyway.
bool BackingFileOf(const std::string& sysFolder, SFileId* id)
{
    std::ifstream in(sysFolder + "/loop/backing_file");
    std::string path;
    if (!in || !std::getline(in, path) || path.empty())
        return false;
    return IdOfPath(path, id);
}

unsigned NextSuffix()
{
    static std::atomic<unsigned> counter{0};
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned>(getpid()) * 2654435761u ^ static_cast<unsigned>(now.tv_nsec) ^
           (counter.fetch_add(1) * 40503u);
}

} // namespace

EPathKind PathKind(const std::string& path, SFileId* id)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? EPathKind::Missing : EPathKind::Unreachable;
    if (id)
        *id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return KindOf(st.st_mode);
}

std::vector<SFileId> DriveBackingFiles()
{
    std::vector<SFileId> ids;
    DIR* dir = opendir("/sys/block");
    if (!dir)
        return ids;
    while (const dirent* entry = readdir(dir))
    {
        if (entry->d_name[0] == '.')
            continue;
        SFileId id;
        if (BackingFileOf(std::string("/sys/block/") + entry->d_name, &id))
            ids.push_back(id);
    }
    closedir(dir);
    return ids;
}

bool DriveBackingFile(const std::string& path, SFileId* id)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    if (S_ISREG(st.st_mode))
    {
        *id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        return true;
    }
    if (!S_ISBLK(st.st_mode))
        return false;
    return BackingFileOf("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                             std::to_string(minor(st.st_rdev)),
                         id);
}

COutputFile::~COutputFile()
{
    Abandon();
}

int COutputFile::Fail(int error)
{
    if (m_nError == 0)
        m_nError = error != 0 ? error : EIO;
    return m_nError;
}

int COutputFile::Create(const std::string& target)
{
    Abandon();
    m_nError = 0;
    if (target.empty())
        return Fail(ENOENT);
    m_strTarget = target;
    // Through a link the file it leads to is replaced, not the link.
    struct stat st;
    bool exists = false;
    if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
    {
        if (char* resolved = realpath(target.c_str(), nullptr))
        {
            m_strTarget = resolved;
            std::free(resolved);
        }
    }
    if (stat(m_strTarget.c_str(), &st) == 0)
    {
        if (S_ISDIR(st.st_mode))
            return Fail(EISDIR);
        if (!S_ISREG(st.st_mode))
            return Fail(EINVAL);
        exists = true;
    }
    else if (errno != ENOENT)
        return Fail(errno);

    const size_t slash = m_strTarget.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : m_strTarget.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? m_strTarget : m_strTarget.substr(slash + 1);
    // Room for the dot and the suffix within a file name's limit.
    if (name.size() > 200)
        name.resize(200);
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", NextSuffix());
        const std::string temp = folder + "." + name + suffix + ".tmp";
        int fd;
        do
            fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW,
                      0666);
        while (fd < 0 && errno == EINTR);
        if (fd < 0)
        {
            if (errno == EEXIST)
                continue;
            return Fail(errno);
        }
        m_fd = fd;
        m_strTemp = temp;
        m_nSlot = Register(temp);
        // A replaced file keeps its permissions.
        if (exists)
            fchmod(fd, st.st_mode & 07777);
        return 0;
    }
    return Fail(EEXIST);
}

std::string COutputFile::WriterPath() const
{
    if (m_fd < 0)
        return m_strTemp;
    // Linux names every open file under /proc; opening that name opens the file itself.
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(m_fd);
    struct stat viaProc, own;
    if (stat(byDescriptor.c_str(), &viaProc) == 0 && fstat(m_fd, &own) == 0 &&
        viaProc.st_dev == own.st_dev && viaProc.st_ino == own.st_ino)
        return byDescriptor;
    return m_strTemp;
}

int COutputFile::Write(const void* data, size_t size)
{
    if (m_nError)
        return m_nError;
    if (m_fd < 0)
        return Fail(EBADF);
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t n = write(m_fd, bytes, size);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

int COutputFile::Commit()
{
    if (m_fd < 0 && m_nError == 0)
        Fail(EBADF);
    if (m_nError == 0 && fsync(m_fd) != 0)
        Fail(errno);
    // Only the file written is put in place, never something that took its name meanwhile.
    struct stat named, own;
    if (m_nError == 0 && (lstat(m_strTemp.c_str(), &named) != 0 || fstat(m_fd, &own) != 0 ||
                          named.st_dev != own.st_dev || named.st_ino != own.st_ino))
        Fail(EEXIST);
    if (m_fd >= 0 && close(m_fd) != 0 && errno != EINTR)
        Fail(errno);
    m_fd = -1;
    if (m_nError == 0 && rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0)
        Fail(errno);
    if (m_nError)
    {
        Abandon();
        return m_nError;
    }
    Unregister(m_nSlot);
    m_nSlot = -1;
    m_strTemp.clear();
    // The new name reaches the disk with its folder; best effort.
    const size_t slash = m_strTarget.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : m_strTarget.substr(0, slash + 1);
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0)
    {
        fsync(dirFd);
        close(dirFd);
    }
    return 0;
}

void COutputFile::Abandon()
{
    if (m_fd >= 0)
    {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_strTemp.empty())
    {
        unlink(m_strTemp.c_str());
        m_strTemp.clear();
    }
    Unregister(m_nSlot);
    m_nSlot = -1;
}

void RemovePendingTemporaries() noexcept
{
    for (SSlot& slot : g_slots)
        if (slot.State.load() == 2)
            unlink(slot.Path);
}

} // namespace platform
