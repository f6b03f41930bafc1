// The platform id on POSIX systems: always the NT family unless the environment says otherwise.
#include "platform/System.h"

#include <charconv>
#include <cstdlib>
#include <string_view>
#include <strings.h>

namespace platform {

uint32_t PlatformId()
{
    const char* value = std::getenv(kPlatformOverrideVariable);
    if (!value || !*value)
        return kPlatformNt;
    if (strcasecmp(value, "win9x") == 0)
        return kPlatformWin9x;
    if (strcasecmp(value, "nt") == 0)
        return kPlatformNt;
    const std::string_view text(value);
    uint32_t id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec == std::errc() && end == text.data() + text.size())
        return id;
    return kPlatformNt;
}

} // namespace platform
