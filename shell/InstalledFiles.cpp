// The shipped files and the installation layouts.
#include "shell/InstalledFiles.h"

#include "platform/Library.h"
#include "platform/UserDirs.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

// The data folder of the system layout, relative to its program folder (set by the build).
#ifndef RATEMARK_DATA_FROM_BINDIR
#define RATEMARK_DATA_FROM_BINDIR "../share/ratemark"
#endif

#ifndef RATEMARK_HOMEPAGE
#define RATEMARK_HOMEPAGE ""
#endif

std::vector<std::string> UninstalledProgramFiles()
{
    return {
        platform::LibraryFileName("Rawio16v2.dll"),
        platform::LibraryFileName("Rawio32v2.dll"),
        kHelpBookEnglish,
        kHelpBookRussian,
    };
}

std::vector<std::string> PortableFolderFiles()
{
    return {kConsoleProgram, kIconFile};
}

std::string FindProgramFile(const std::string& name)
{
    const std::string exe = platform::ExecutablePath();
    if (exe.empty())
        return {};
    const fs::path folder = fs::path(exe).parent_path();
    std::error_code ec;
    for (const fs::path& candidate : {folder / name, folder / RATEMARK_DATA_FROM_BINDIR / name})
        if (fs::is_regular_file(candidate, ec))
            return candidate.lexically_normal().string();
    return {};
}

bool IsSystemInstallation(const std::string& executable)
{
    // The system layout keeps the manuals in a data folder of their own beside the program
    // folder; a portable folder keeps everything beside the program.
    if (executable.empty())
        return false;
    std::error_code ec;
    const fs::path folder = fs::path(executable).parent_path();
    return fs::is_directory(folder / RATEMARK_DATA_FROM_BINDIR, ec);
}

std::string ProductWebPage()
{
    return RATEMARK_HOMEPAGE;
}
