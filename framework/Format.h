// printf-style formatting of string-table texts into a std::string.
#pragma once

#include <cstdio>
#include <string>

namespace fw {

// format filled with args; "" when the C library refuses the format.
template <class... Args>
std::string FormatText(const char* format, Args... args)
{
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n < 0)
        return std::string();
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<size_t>(n));
    return text;
}

} // namespace fw
