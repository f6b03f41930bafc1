// Shortcuts to the program on the desktop and in the menu's programs folder.
#pragma once

#include "platform/Types.h"

#include <string>

class CCreateLink
{
public:
    // Folder kinds.
    static constexpr int kPrograms = 0;
    static constexpr int kDesktop = 1;

    // name is the shortcut's file name (plus the platform's extension) and its description.
    CCreateLink(const std::string& name, int nFolder);
    virtual ~CCreateLink();

    // Creates the shortcut to the running executable, replacing one of the same name. FALSE
    // when the executable or the folder cannot be had or the file cannot be written.
    BOOL CreateShortcut();
    // Creates the shortcut to target (a full path): what CreateShortcut does for the
    // executable.
    BOOL CreateShortcutTo(const std::string& target);
    // Deletes the shortcut file. TRUE only when a file was deleted.
    BOOL RemoveShortcut();

    // The folder of this kind with trailing separators removed; FALSE when it is not set or
    // nothing is left.
    BOOL GetShellFolder(std::string& folder) const;
    // folder + separator + name + extension; "" when the folder lookup fails.
    std::string GetLinkPath() const;

    int m_nFolder;
    std::string m_strName;
};
