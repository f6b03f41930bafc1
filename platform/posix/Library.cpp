// Run-time library loading on dlopen/dlsym/dlclose.
#include "platform/Library.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <strings.h>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

thread_local std::string t_lastError;

std::string ExecutableDirectory()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

bool IsFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

ModuleHandle Open(const std::string& file)
{
    dlerror();
    ModuleHandle module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
    {
        const char* why = dlerror();
        t_lastError = why ? why : file + ": cannot be loaded";
    }
    return module;
}

} // namespace

std::string LibraryFileName(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    constexpr size_t kSuffix = 4; // ".dll"
    if (name.size() - base <= kSuffix ||
        strcasecmp(name.c_str() + name.size() - kSuffix, ".dll") != 0)
        return name;
    return name.substr(0, base) + "lib" + name.substr(base, name.size() - base - kSuffix) + ".so";
}

ModuleHandle LoadLibraryA(const std::string& name)
{
    const std::string file = LibraryFileName(name);
    if (file.empty())
    {
        t_lastError = "no library name";
        return nullptr;
    }
    if (file.find('/') != std::string::npos)
        return Open(file);

    std::string directories[3];
    if (const char* dir = std::getenv(kLibraryDirVariable); dir && *dir)
        directories[0] = dir;
    directories[1] = ExecutableDirectory();
#ifdef RATEMARK_LIB_FROM_BINDIR
    if (!directories[1].empty())
        directories[2] = (fs::path(directories[1]) / RATEMARK_LIB_FROM_BINDIR).string();
#endif
    for (const std::string& dir : directories)
    {
        if (dir.empty())
            continue;
        const fs::path candidate = fs::path(dir) / file;
        if (IsFile(candidate))
            return Open(candidate.string());
    }
    return Open(file);
}

void* GetProcAddress(ModuleHandle module, const char* name)
{
    return module && name ? dlsym(module, name) : nullptr;
}

BOOL FreeLibrary(ModuleHandle module)
{
    return module && dlclose(module) == 0;
}

std::string LastLibraryError()
{
    return t_lastError;
}

} // namespace platform
