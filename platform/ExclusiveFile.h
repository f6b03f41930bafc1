// Text files held by one opener at a time, for the diagnostic log.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Opens path for reading and writing as a text stream that appends, creating it when it is
// missing and never truncating it, and shares it with no other opener: while one stream
// holds the file, every other open through this function fails, in this process or another.
// The path's last part is never followed as a link, and only a regular file with no other
// name is opened. Returns nullptr when the file cannot be opened, is held, or is something
// else (a link, a device, a pipe, a file with a second name).
std::FILE* OpenExclusiveAppend(const std::string& path);

// Closes a stream from OpenExclusiveAppend and releases the file; nullptr is ignored.
void CloseExclusive(std::FILE* stream);

} // namespace platform
