// The user's folders after the XDG base directory rules, the executable from /proc.
#include "platform/UserDirs.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

bool IsAbsolute(const char* path)
{
    return path && path[0] == '/';
}

// $variable when it is an absolute path, else $HOME/fallback, else "".
std::string XdgDir(const char* variable, const char* fallback)
{
    if (const char* value = std::getenv(variable); IsAbsolute(value))
        return value;
    if (const char* home = std::getenv("HOME"); IsAbsolute(home))
        return std::string(home) + "/" + fallback;
    return {};
}

} // namespace

std::string ExecutablePath()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

int CurrentProcessId()
{
    return static_cast<int>(getpid());
}

std::string UserConfigDir()
{
    return XdgDir("XDG_CONFIG_HOME", ".config");
}

std::string UserDataDir()
{
    return XdgDir("XDG_DATA_HOME", ".local/share");
}

std::string TempDir()
{
    if (const char* tmp = std::getenv("TMPDIR"); IsAbsolute(tmp))
        return tmp;
    return "/tmp";
}

bool IsAdministrator()
{
    return geteuid() == 0;
}

} // namespace platform
