// Shell folders on Linux: the XDG user directories.
#include "platform/ShellFolders.h"

#include "platform/UserDirs.h"

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace platform {

namespace {

// The value of key in a user-dirs.dirs file: a line KEY="VALUE" where VALUE is an absolute
// path or one beginning with $HOME/ (the only two forms the format allows). "" when absent.
std::string ReadUserDir(const std::string& file, std::string_view key)
{
    std::ifstream in(file);
    std::string line;
    std::string found;
    while (std::getline(in, line))
    {
        std::string_view text(line);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        if (text.substr(0, key.size()) != key || text.substr(key.size(), 2) != "=\"")
            continue;
        text.remove_prefix(key.size() + 2);
        const size_t end = text.rfind('"');
        if (end == std::string_view::npos)
            continue;
        std::string value;
        for (size_t i = 0; i < end; ++i)
        {
            if (text[i] == '\\' && i + 1 < end)
                ++i;
            value += text[i];
        }
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/'))
        {
            const char* home = std::getenv("HOME");
            if (!home || home[0] != '/')
                continue;
            value = std::string(home) + value.substr(5);
        }
        else if (value.empty() || value[0] != '/')
            continue;
        found = value; // the last assignment wins, as in the shell that reads the file
    }
    return found;
}

} // namespace

BOOL ReadShellFolder(const std::string& name, std::string& folder)
{
    std::string value;
    if (name == kShellFolderDesktop)
    {
        const std::string config = UserConfigDir();
        if (!config.empty())
            value = ReadUserDir(config + "/user-dirs.dirs", "XDG_DESKTOP_DIR");
    }
    else if (name == kShellFolderPrograms)
    {
        const std::string data = UserDataDir();
        if (!data.empty())
            value = data + "/applications";
    }
    if (value.empty())
        return FALSE;
    folder = value;
    return TRUE;
}

} // namespace platform
