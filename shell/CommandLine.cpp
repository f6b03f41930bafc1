// The desktop program's command line.
#include "shell/CommandLine.h"

#include <strings.h>

namespace {

bool IsUninstall(const std::string& arg)
{
    return arg.size() == 7 && (arg[0] == '/' || arg[0] == '-') &&
           strcasecmp(arg.c_str() + 1, "UNINST") == 0;
}

} // namespace

void CRtmCommandLineInfo::Parse(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (IsUninstall(arg))
        {
            m_bUninstall = TRUE;
        }
        else if (arg == "--help" || arg == "-h")
        {
            m_bHelp = true;
        }
        else if (arg == "--drive")
        {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
            {
                m_strError = "--drive needs a block device or image file";
                return;
            }
            m_drives.emplace_back(argv[++i]);
        }
        else if (arg.rfind("--drive=", 0) == 0)
        {
            if (arg.size() == 8)
            {
                m_strError = "--drive needs a block device or image file";
                return;
            }
            m_drives.push_back(arg.substr(8));
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            m_strError = "unknown option " + arg;
            return;
        }
        else if (m_strFileName.empty())
        {
            m_strFileName = arg;
        }
    }
}

std::string RatemarkUsage()
{
    return "Usage: ratemark [--drive PATH]... [RESULT-FILE]\n"
           "       ratemark /UNINST\n"
           "\n"
           "Measures how fast a drive delivers data across its surface; never writes to it.\n"
           "\n"
           "  --drive PATH  add a block device or an image file to the drive list (repeatable)\n"
           "  /UNINST       remove the program (also -UNINST, any case)\n"
           "  --help, -h    show this text\n";
}
