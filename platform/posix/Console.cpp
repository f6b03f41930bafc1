// Standard streams and terminals on POSIX.
#include "platform/Console.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

int Descriptor(EStdStream stream)
{
    switch (stream)
    {
    case EStdStream::In:
        return STDIN_FILENO;
    case EStdStream::Out:
        return STDOUT_FILENO;
    case EStdStream::Err:
        break;
    }
    return STDERR_FILENO;
}

} // namespace

void ReserveStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
    {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // Opened the other way round from the stream's use, so that each use fails with EBADF.
        const int placeholder = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (placeholder >= 0 && placeholder != fd)
        {
            dup2(placeholder, fd);
            close(placeholder);
        }
    }
}

bool IsTerminal(EStdStream stream)
{
    return isatty(Descriptor(stream)) == 1;
}

int TerminalColumns(EStdStream stream)
{
    winsize size{};
    if (ioctl(Descriptor(stream), TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

bool TerminalTakesEscapes()
{
    const char* term = std::getenv("TERM");
    return term && *term && std::strcmp(term, "dumb") != 0;
}

int WriteStream(EStdStream stream, const void* data, size_t size)
{
    const int fd = Descriptor(stream);
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

int ReadInputByte(int timeoutMs)
{
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return kInputTimeout;
    if (ready < 0)
        return kInputEnd;
    unsigned char c = 0;
    ssize_t n;
    do
        n = read(STDIN_FILENO, &c, 1);
    while (n < 0 && errno == EINTR);
    return n == 1 ? c : kInputEnd;
}

} // namespace platform
