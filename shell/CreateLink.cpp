// Shortcut creation and removal through the platform's shell folders and link files.
#include "shell/CreateLink.h"

#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "platform/UserDirs.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

CCreateLink::CCreateLink(const std::string& name, int nFolder) : m_nFolder(nFolder), m_strName(name)
{}

CCreateLink::~CCreateLink() = default;

BOOL CCreateLink::GetShellFolder(std::string& folder) const
{
    std::string value;
    if (!platform::ReadShellFolder(m_nFolder == kDesktop ? platform::kShellFolderDesktop
                                                         : platform::kShellFolderPrograms,
                                   value))
        return FALSE;
    while (!value.empty() && (value.back() == '\\' || value.back() == '/'))
        value.pop_back();
    if (value.empty())
        return FALSE;
    folder = value;
    return TRUE;
}

std::string CCreateLink::GetLinkPath() const
{
    std::string folder;
    if (!GetShellFolder(folder))
        return {};
    return folder + platform::kPathSeparator + m_strName + platform::ShortcutExtension();
}

BOOL CCreateLink::CreateShortcut()
{
    const std::string exe = platform::ExecutablePath();
    if (exe.empty())
        return FALSE;
    return CreateShortcutTo(exe);
}

BOOL CCreateLink::CreateShortcutTo(const std::string& target)
{
    const std::string link = GetLinkPath();
    if (link.empty())
        return FALSE;
    return platform::CreateShellLink(target, link, m_strName) >= 0 ? TRUE : FALSE;
}

BOOL CCreateLink::RemoveShortcut()
{
    const std::string link = GetLinkPath();
    if (link.empty())
        return FALSE;
    // Only a file: a folder of that name is not a shortcut.
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(link, ec)))
        return FALSE;
    return std::remove(link.c_str()) == 0 ? TRUE : FALSE;
}
