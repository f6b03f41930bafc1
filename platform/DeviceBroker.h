// Whole-disk devices opened by the system's disk service for a user who may not open them.
#pragma once

#include "platform/Device.h"

#include <string>

namespace platform {

// A service that opens devices on the user's behalf once the system has authorised it.
// Only whole-disk block devices are asked for, and only ever for reading.
class IDeviceBroker
{
public:
    virtual ~IDeviceBroker() = default;

    // True when the service runs and knows devicePath. Asks for no authorisation and
    // opens nothing, so that probing the machine's drives asks the user nothing.
    virtual bool CanServe(const std::string& devicePath) = 0;

    // True when the service runs (or the system starts it on demand) on this machine.
    virtual bool IsAvailable() = 0;

    // Asks the service to open devicePath read-only, bypassing the OS cache. Blocks for as
    // long as the user takes to answer the authorisation dialog; safe to call from any
    // thread (a window program calls it off its event loop to stay responsive).
    // Returns 0 and the handle (release it with DeviceClose), or AccessDenied with the
    // service's reason in *reason (polkit's words when it refused the user).
    // *cacheBypassed tells whether the descriptor bypasses the cache, as DeviceOpen does.
    virtual uint32_t Open(const std::string& devicePath, DeviceHandle* out, bool* cacheBypassed,
                          std::string* reason) = 0;
};

// udisks2 on the system bus. Serves nothing on a machine without a system bus or without
// udisks2, where it fails at once.
IDeviceBroker& SystemDeviceBroker();

// Whether an authorisation may be asked on the terminal of this process's standard input
// (polkit's text agent) when no other agent serves the user's session. Off by default; a
// console program turns it on. Without a terminal on standard input nothing is asked there.
void SetTerminalAuthorisation(bool allowed);

} // namespace platform
