// A local socket by which a second start of the program asks the running one to come to the
// front, and the folder it lives in.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The user's folder for sockets and locks: $XDG_RUNTIME_DIR, else a private folder of the
// user under /tmp (created with mode 0700; refused when someone else owns it or others may
// enter it). "" when neither is usable.
std::string UserRuntimeDir();

// A listening local socket; the socket file is removed again on destruction.
class CLocalServer
{
public:
    CLocalServer() = default;
    ~CLocalServer();
    CLocalServer(const CLocalServer&) = delete;
    CLocalServer& operator=(const CLocalServer&) = delete;

    // Listens at path, replacing a socket file left behind by an ended process (the caller
    // makes sure no live one serves it). False when it cannot.
    bool Listen(const std::string& path);
    // The message of one waiting client, without waiting for a client; nullopt when none
    // waits. A client that sends nothing within a short time gives "".
    std::optional<std::string> Accept();
    bool IsListening() const { return m_fd >= 0; }
    void Close();

private:
    int m_fd = -1;
    std::string m_strPath;
};

// Connects to the server at path and sends message. False when nothing serves there.
bool SendLocalMessage(const std::string& path, const std::string& message);

} // namespace platform
