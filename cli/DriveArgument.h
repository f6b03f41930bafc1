// Turning a --drive argument (an index in the drive list, or a path) into an open drive.
#pragma once

#include "diskaccess/HardDrive.h"
#include "shell/AppCore.h"

#include <nlohmann/json.hpp>
#include <string>

namespace cli {

struct SResolvedDrive
{
    GEOMETRY Geometry;
    std::string Path;
};

// Resolves and opens arg on core's back-end, and analyses its partitions. On failure
// prints the reason on stderr and returns the exit code; returns 0 on success.
int OpenDriveArgument(CAppCore& core, const std::string& arg, SResolvedDrive* out);

// Creates the back-end and discovers the drives; prints 10006 and returns the exit code
// when none is found, 0 otherwise.
int DiscoverDrives(CAppCore& core);

// The JSON object of a drive: its path and geometry.
nlohmann::json DriveJson(const std::string& path, const GEOMETRY& geometry);

// "message (error N: text)" for a Win32 error number.
std::string DescribeError(const std::string& message, uint32_t code);

} // namespace cli
