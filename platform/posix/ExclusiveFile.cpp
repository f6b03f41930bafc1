// Exclusive text files on POSIX: an advisory whole-file lock taken without waiting stands in for
// opening without sharing, so every opener that goes through here excludes every other.
#include "platform/ExclusiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* OpenExclusiveAppend(const std::string& path)
{
    int fd;
    do
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK,
                  0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    // Only a file of its own: never a device, a pipe, or a second name of another file (a
    // drive image linked into the folder).
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)
    {
        close(fd);
        return nullptr;
    }
    // flock belongs to the open file, so a second open in this same process is refused too.
    int locked;
    do
        locked = flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0)
    {
        close(fd);
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, "a");
    if (!stream)
        close(fd);
    return stream;
}

void CloseExclusive(std::FILE* stream)
{
    // Closing the descriptor releases the lock.
    if (stream)
        std::fclose(stream);
}

} // namespace platform
