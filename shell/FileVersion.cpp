// The file version lookups: first translation, then that table's FileVersion.
#include "shell/FileVersion.h"

#include "platform/UserDirs.h"

#include <cstdio>
#include <vector>

BOOL GetFileVersionString(std::string& version)
{
    // The record is linked into the executable, so its file is the only one that has it.
    if (platform::ExecutablePath().empty())
        return FALSE;
    return GetFileVersionString(&res::ProgramVersionRecord(), version);
}

BOOL GetFileVersionString(const res::SVersionRecord* record, std::string& version)
{
    if (!record)
        return FALSE;
    std::vector<res::SVersionRecord::STranslation> translations;
    if (!res::VerQueryTranslations(*record, "\\VarFileInfo\\Translation", translations))
        return FALSE;
    char key[64];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%08X\\FileVersion",
                  static_cast<unsigned>(translations[0].wLanguage) * 65536u +
                      translations[0].wCodePage);
    std::string value;
    if (!res::VerQueryString(*record, key, value))
        return FALSE;
    version = value;
    return TRUE;
}
