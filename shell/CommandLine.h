// The desktop program's command line: a result file, drives named by path, the uninstall
// switch.
#pragma once

#include "platform/Types.h"

#include <string>
#include <vector>

class CRtmCommandLineInfo
{
public:
    // Parses argv[1] to argv[argc - 1]. "/UNINST" or "-UNINST" in any case asks for the
    // uninstall; "--drive PATH" (or "--drive=PATH", repeatable) appends a drive; "--help" or
    // "-h" asks for the usage; the first plain argument, also one that begins with "/", names
    // a result file to open. Anything else beginning with "-" is a usage error.
    void Parse(int argc, const char* const* argv);

    BOOL m_bUninstall = FALSE;
    std::vector<std::string> m_drives;
    std::string m_strFileName;
    bool m_bHelp = false;
    std::string m_strError; // "" when the line is valid
};

// The usage text of `ratemark`.
std::string RatemarkUsage();
