// Loading shared libraries at run time, named the way the Windows program names them.
#pragma once

#include "platform/Types.h"

#include <string>

namespace platform {

using ModuleHandle = void*;

// The environment variable naming a directory searched first for a library without one.
inline constexpr const char* kLibraryDirVariable = "RATEMARK_LIBRARY_DIR";

// The platform's file name of a library: a name ending in ".dll" (any case) keeps its
// directory and becomes lib<stem>.so, "x/Rawio32v2.dll" is "x/libRawio32v2.so"; any other
// name is kept as it is.
std::string LibraryFileName(const std::string& name);

// Loads a library and whatever it links against. A name with a directory is loaded from
// there. A bare name is looked for in RATEMARK_LIBRARY_DIR, then beside the executable, then in
// the installed layout's library folder relative to it, then by the dynamic loader's own search;
// the first file found is the one loaded, so a copy that fails to load (a library it needs is
// missing) ends the search. Returns nullptr on failure, with the reason in LastLibraryError.
ModuleHandle LoadLibraryA(const std::string& name);

// The address of an exported function or data object, nullptr when the library has none.
void* GetProcAddress(ModuleHandle module, const char* name);

// Releases a handle from LoadLibraryA; nullptr is ignored. Returns nonzero on success.
BOOL FreeLibrary(ModuleHandle module);

// Why the last LoadLibraryA of this thread failed.
std::string LastLibraryError();

} // namespace platform
