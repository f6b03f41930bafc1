// Starting another program that outlives this one.
#pragma once

#include <string>

namespace platform {

// Starts the script file scriptPath with the system's command interpreter, in workingDir, in
// a session of its own with no terminal and no inherited files, without waiting for it.
// Returns the new process's id, or -1 when it could not be started.
int StartDetachedScript(const std::string& scriptPath, const std::string& workingDir);

} // namespace platform
