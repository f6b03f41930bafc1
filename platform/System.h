// Which operating-system family the program runs on, as start-up asks it.
#pragma once

#include <cstdint>

namespace platform {

// Platform ids in the operating system's own numbering.
inline constexpr uint32_t kPlatformWin9x = 1;
inline constexpr uint32_t kPlatformNt = 2;

// The environment variable that makes PlatformId report another family.
inline constexpr const char* kPlatformOverrideVariable = "RATEMARK_PLATFORM";

// The id of the running platform: kPlatformNt on Linux and on the NT family, kPlatformWin9x
// on Windows 9x. RATEMARK_PLATFORM overrides it: "win9x" gives 1, "nt" gives 2 (either case),
// a decimal number gives itself; any other value is ignored.
uint32_t PlatformId();

// Whether RATEMARK_PLATFORM is unset, empty, or a value PlatformId understands.
bool PlatformOverrideIsValid();

} // namespace platform
