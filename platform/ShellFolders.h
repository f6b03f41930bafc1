// The current user's shell folders: where desktop and menu shortcuts go.
#pragma once

#include "platform/Types.h"

#include <string>

namespace platform {

// Folder kinds, by the names the shell gives them.
inline constexpr const char* kShellFolderDesktop = "Desktop";
inline constexpr const char* kShellFolderPrograms = "Programs";

// Reads the folder stored for name ("Desktop" or "Programs") into folder, exactly as stored
// (trailing separators included). FALSE, with folder unchanged, when no value is stored.
// On Linux "Desktop" is XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs and "Programs" is
// $XDG_DATA_HOME/applications.
BOOL ReadShellFolder(const std::string& name, std::string& folder);

} // namespace platform
