// The script that removes the program's executable and folder after the program has ended.
#pragma once

#include <string>

namespace platform {

// The script's file name in the temporary folder: "rtmdel.sh" (Windows: "rtmdel.bat").
const char* RemovalScriptName();

// The script's text. It waits until process processId has ended, then deletes executable
// (clearing its read-only mark first, retrying while it still exists), deletes the log file
// logFile, removes folder (only when it is empty) and deletes scriptPath, itself.
std::string RemovalScriptText(int processId, const std::string& executable,
                              const std::string& logFile, const std::string& folder,
                              const std::string& scriptPath);

// Writes text to path, replacing an older file of that name (never writing through a link
// someone put there). False when the file cannot be written.
bool WriteScriptFile(const std::string& path, const std::string& text);

} // namespace platform
