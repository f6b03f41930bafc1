// The processors the program may run on, and binding a thread to one of them.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// The numbers of the processors this process may run on, in ascending order; empty when the
// OS does not tell.
std::vector<uint32_t> UsableProcessors();

// Binds the calling thread to the one processor; false when the OS refuses (a processor
// outside the process's set, or one that does not exist).
bool PinCurrentThread(uint32_t processor);

} // namespace platform
