// The program's file version, as the About box and the uninstall entry show it.
#pragma once

#include "platform/Types.h"
#include "resources/VersionInfo.h"

#include <string>

// Reads the FileVersion of the running executable's version record ("3, 0, 1, 0") into
// version. FALSE, with version unchanged, when the executable or its record cannot be had or
// the record has no translation or no FileVersion in the first translation's string table.
BOOL GetFileVersionString(std::string& version);

// The same lookups over record; nullptr stands for an executable without a record.
BOOL GetFileVersionString(const res::SVersionRecord* record, std::string& version);
