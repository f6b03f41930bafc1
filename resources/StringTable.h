// The program's string table: every user-visible text, addressed by its number.
#pragma once

#include <cstdint>

namespace res {

// Returns the text of string id, or nullptr when the table has no such entry.
const char* FindString(uint32_t id);

// Returns the text of string id, or "" when the table has no such entry.
inline const char* LoadString(uint32_t id)
{
    const char* text = FindString(id);
    return text ? text : "";
}

} // namespace res
