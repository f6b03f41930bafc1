// The platform id on POSIX systems: always the NT family unless the environment says otherwise.
#include "platform/System.h"

#include <charconv>
#include <cstdlib>
#include <string_view>
#include <strings.h>

namespace platform {

namespace {

// The id the override names; false when it names none.
bool OverrideId(const char* value, uint32_t* id)
{
    if (strcasecmp(value, "win9x") == 0)
        *id = kPlatformWin9x;
    else if (strcasecmp(value, "nt") == 0)
        *id = kPlatformNt;
    else
    {
        const std::string_view text(value);
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *id);
        return ec == std::errc() && end == text.data() + text.size();
    }
    return true;
}

} // namespace

uint32_t PlatformId()
{
    const char* value = std::getenv(kPlatformOverrideVariable);
    uint32_t id = kPlatformNt;
    if (value && *value && OverrideId(value, &id))
        return id;
    return kPlatformNt;
}

bool PlatformOverrideIsValid()
{
    const char* value = std::getenv(kPlatformOverrideVariable);
    uint32_t id = 0;
    return !value || !*value || OverrideId(value, &id);
}

} // namespace platform
