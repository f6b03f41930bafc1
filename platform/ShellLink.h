// Shortcut files: one file that starts a program, in a folder the shell shows.
#pragma once

#include <string>

namespace platform {

// The extension of a shortcut file: ".desktop" on Linux (".lnk" on Windows).
const char* ShortcutExtension();

// Writes the shortcut file linkPath that starts target, with description as its name and
// comment and target's folder as its working folder; an existing file is replaced whole.
// Returns 0 on success and a negative code on failure, as the shell's link object does.
int CreateShellLink(const std::string& target, const std::string& linkPath,
                    const std::string& description);

} // namespace platform
