// The uninstall entry on Linux: a key file per program in the company's folder, under
// /var/lib for the machine or the user's data folder.
#include "platform/UninstallEntry.h"

#include "platform/ReplaceFile.h"
#include "platform/UserDirs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace platform {

namespace {

constexpr const char* kGroup = "[Uninstall]";

using Values = std::vector<std::pair<std::string, std::string>>;

bool ReadValues(const std::string& path, Values& values)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line))
    {
        const size_t eq = line.find('=');
        if (line.empty() || line[0] == '[' || line[0] == '#' || eq == std::string::npos)
            continue;
        values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return true;
}

// Replaces the file whole: a reader never sees half an entry.
bool WriteValues(const std::string& path, const Values& values)
{
    std::string text = std::string(kGroup) + "\n";
    for (const auto& [name, value] : values)
        text += name + "=" + value + "\n";
    return ReplaceFile(path, text, 0644);
}

// Values are single lines: a line feed in one would start a value of its own.
std::string OneLine(const std::string& value)
{
    std::string out;
    for (char c : value)
        out += (c == '\n' || c == '\r') ? ' ' : c;
    return out;
}

} // namespace

EEntryScope DefaultEntryScope()
{
    return IsAdministrator() ? EEntryScope::Machine : EEntryScope::User;
}

std::string UninstallEntryPath(EEntryScope scope, const std::string& company,
                               const std::string& title)
{
    std::string root;
    if (const char* moved = std::getenv(kInstallRootVariable); moved && moved[0] == '/')
        root = moved;
    std::string base;
    if (scope == EEntryScope::Machine)
        base = "/var/lib";
    else
    {
        base = UserDataDir();
        if (base.empty())
            return {};
    }
    return root + base + "/" + company + "/" + title + ".uninstall";
}

bool UninstallEntryExists(const std::string& entryPath)
{
    std::error_code ec;
    return !entryPath.empty() && fs::is_regular_file(entryPath, ec);
}

BOOL CreateUninstallEntry(const std::string& entryPath)
{
    if (entryPath.empty())
        return FALSE;
    if (UninstallEntryExists(entryPath))
        return TRUE;
    std::error_code ec;
    fs::create_directories(fs::path(entryPath).parent_path(), ec);
    return WriteValues(entryPath, {}) ? TRUE : FALSE;
}

BOOL SetUninstallValue(const std::string& entryPath, const std::string& name,
                       const std::string& value)
{
    Values values;
    if (!UninstallEntryExists(entryPath) || !ReadValues(entryPath, values))
        return FALSE;
    bool replaced = false;
    for (auto& [n, v] : values)
        if (n == name)
        {
            v = OneLine(value);
            replaced = true;
        }
    if (!replaced)
        values.emplace_back(name, OneLine(value));
    return WriteValues(entryPath, values) ? TRUE : FALSE;
}

std::string GetUninstallValue(const std::string& entryPath, const std::string& name)
{
    Values values;
    ReadValues(entryPath, values);
    for (const auto& [n, v] : values)
        if (n == name)
            return v;
    return {};
}

BOOL DeleteUninstallEntry(const std::string& entryPath)
{
    if (!UninstallEntryExists(entryPath) || unlink(entryPath.c_str()) != 0)
        return FALSE;
    // The company's folder goes when this was its last entry; rmdir refuses a folder that
    // still holds another product's.
    rmdir(fs::path(entryPath).parent_path().c_str());
    return TRUE;
}

} // namespace platform
