// The calendar fields of a moment in the local time zone.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

// Seconds since 1970 (UTC), now.
int64_t CurrentTime();

// Fills *out with the local time of t. Returns false when the conversion fails.
bool ToLocalTime(int64_t t, std::tm* out);

} // namespace platform
