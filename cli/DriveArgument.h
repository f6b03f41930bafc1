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
    std::string Path; // "" for a BIOS drive
    int Index = -1;   // its entry in the drive list
};

// Which back-end the commands create: the platform's, or the one --backend names.
enum class EBackEnd
{
    Platform,
    Bios,
    Os,
};

// Sets the back-end every later command creates.
void ChooseBackEnd(EBackEnd choice);

// Creates the chosen back-end unless core has one. On failure prints the reason on stderr
// and returns the exit code; returns 0 on success.
int EnsureBackEnd(CAppCore& core);

// How a drive is named to the user: its device path, or "BIOS 80h" on the BIOS back-end.
std::string DriveLabel(const CAppCore& core, const GEOMETRY& geometry);

// Resolves arg to an entry of core's drive list (a path is added to the list), without
// opening it. On failure prints the reason on stderr and returns the exit code; 0 on success.
int ResolveDriveArgument(CAppCore& core, const std::string& arg, SResolvedDrive* out);

// Tells the user when the drive is read through the OS cache; call after it was opened.
void NoteCacheUse(const CAppCore& core, const SResolvedDrive& drive);

// Tells the user why the system refused to open the drive, when it said why; call after a
// failed open.
void NoteOpenRefusal(const CAppCore& core);

// The partition list of an analysed drive, in list order.
nlohmann::json PartitionsJson(IHardDrive* drive);

// Resolves and opens arg on core's back-end, and analyses its partitions. On failure
// prints the reason on stderr and returns the exit code; returns 0 on success.
int OpenDriveArgument(CAppCore& core, const std::string& arg, SResolvedDrive* out);

// Creates the back-end and discovers the drives; prints 10006 and returns the exit code
// when none is found, 0 otherwise.
int DiscoverDrives(CAppCore& core);

// The JSON object of a drive: its path and geometry, and on the BIOS back-end its BIOS
// drive number.
nlohmann::json DriveJson(const CAppCore& core, const std::string& path, const GEOMETRY& geometry);

// "message (error N: text)" for a Win32 error number.
std::string DescribeError(const std::string& message, uint32_t code);

} // namespace cli
