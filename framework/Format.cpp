// The printf-style formatter.
#include "framework/Format.h"

#include <cstdio>

namespace fw {

std::string FormatTextV(const char* format, va_list args)
{
    if (!format)
        return std::string();
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    va_list fill;
    va_copy(fill, args);
    std::vsnprintf(text.data(), text.size(), format, fill);
    va_end(fill);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    return text;
}

} // namespace fw
