// Local time on POSIX through the reentrant C library conversion.
#include "platform/LocalTime.h"

namespace platform {

int64_t CurrentTime()
{
    return static_cast<int64_t>(std::time(nullptr));
}

bool ToLocalTime(int64_t t, std::tm* out)
{
    const time_t value = static_cast<time_t>(t);
    if (static_cast<int64_t>(value) != t)
        return false;
    return localtime_r(&value, out) != nullptr;
}

} // namespace platform
