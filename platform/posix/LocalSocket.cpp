// Local sockets over AF_UNIX.
#include "platform/LocalSocket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kReadWaitMs = 200;

bool MakeAddress(const std::string& path, sockaddr_un* addr)
{
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr->sun_path)
        return false;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

std::string UserRuntimeDir()
{
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    struct stat st
    {};
    if (xdg && xdg[0] == '/' && stat(xdg, &st) == 0 && S_ISDIR(st.st_mode))
        return xdg;
    const std::string dir = "/tmp/ratemark-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    // Only a folder of ours that nobody else can enter keeps the socket private.
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0)
        return std::string();
    return dir;
}

CLocalServer::~CLocalServer()
{
    Close();
}

void CLocalServer::Close()
{
    if (m_fd < 0)
        return;
    close(m_fd);
    m_fd = -1;
    unlink(m_strPath.c_str());
}

bool CLocalServer::Listen(const std::string& path)
{
    Close();
    sockaddr_un addr;
    if (!MakeAddress(path, &addr))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    struct stat st
    {};
    if (lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        unlink(path.c_str());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(fd, 4) != 0)
    {
        close(fd);
        return false;
    }
    m_fd = fd;
    m_strPath = path;
    return true;
}

std::optional<std::string> CLocalServer::Accept()
{
    if (m_fd < 0)
        return std::nullopt;
    const int client = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return std::nullopt;
    std::string message;
    pollfd pfd{client, POLLIN, 0};
    char buffer[256];
    while (message.size() < sizeof buffer && poll(&pfd, 1, kReadWaitMs) > 0)
    {
        const ssize_t n = read(client, buffer, sizeof buffer - message.size());
        if (n <= 0)
            break;
        message.append(buffer, static_cast<size_t>(n));
        if (message.find('\n') != std::string::npos)
            break;
    }
    close(client);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

bool SendLocalMessage(const std::string& path, const std::string& message)
{
    sockaddr_un addr;
    if (!MakeAddress(path, &addr))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    const std::string line = message + "\n";
    if (ok)
        ok = send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
    close(fd);
    return ok;
}

} // namespace platform
