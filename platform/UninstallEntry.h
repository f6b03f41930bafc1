// The entry in the system's list of removable programs: a few named text values under a key
// named after the program. Its existence is the program's record of being installed.
#pragma once

#include "platform/Types.h"

#include <string>

namespace platform {

// The environment variable that puts both places of the entries (machine and user) under
// another root folder, for tests: the entries then live at $RATEMARK_INSTALL_ROOT/var/lib/...
// and $RATEMARK_INSTALL_ROOT$XDG_DATA_HOME/...
inline constexpr const char* kInstallRootVariable = "RATEMARK_INSTALL_ROOT";

enum class EEntryScope
{
    Machine, // every user's list: /var/lib/<company>/ on Linux
    User,    // the current user's list: $XDG_DATA_HOME/<company>/
};

// The scope a program running with the current rights registers in: Machine for the
// administrator, User otherwise (an ordinary user cannot write the machine's list).
EEntryScope DefaultEntryScope();

// The file that holds the entry of program title by company in scope; "" when the user's
// data folder is unknown. The folder holding it is the company's folder.
std::string UninstallEntryPath(EEntryScope scope, const std::string& company,
                               const std::string& title);

// True when the entry exists.
bool UninstallEntryExists(const std::string& entryPath);

// Creates the entry (an empty one when it does not exist yet, keeping its values otherwise).
BOOL CreateUninstallEntry(const std::string& entryPath);

// Sets one value of an existing entry, replacing a value of the same name. FALSE when the
// entry does not exist or cannot be written.
BOOL SetUninstallValue(const std::string& entryPath, const std::string& name,
                       const std::string& value);

// The value name of an existing entry; "" when absent.
std::string GetUninstallValue(const std::string& entryPath, const std::string& name);

// Deletes the entry, then its company folder when that has become empty. FALSE (and nothing
// changed) when the entry does not exist or cannot be deleted.
BOOL DeleteUninstallEntry(const std::string& entryPath);

} // namespace platform
