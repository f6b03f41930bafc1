// Where the running program and the current user keep their files.
#pragma once

#include <string>

namespace platform {

// The separator between a folder and a name in a path.
inline constexpr char kPathSeparator = '/';

// The full path of the running executable; "" when the system does not tell it.
std::string ExecutablePath();

// The id of the running process.
int CurrentProcessId();

// The user's configuration folder ($XDG_CONFIG_HOME, else $HOME/.config); "" when neither
// names an absolute folder.
std::string UserConfigDir();

// The user's data folder ($XDG_DATA_HOME, else $HOME/.local/share); "" as above.
std::string UserDataDir();

// The temporary folder ($TMPDIR when it is an absolute path, else /tmp), as reported, which
// may lack a trailing separator; "" when it cannot be had.
std::string TempDir();

// True when the program runs with the rights of the machine's administrator.
bool IsAdministrator();

} // namespace platform
