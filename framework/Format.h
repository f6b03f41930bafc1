// The program's one printf-style formatter, into a std::string of any length.
#pragma once

#include <cstdarg>
#include <string>

#if defined(__GNUC__)
#define RATEMARK_PRINTF_FORMAT(formatArg, firstArg)                                                \
    __attribute__((format(printf, formatArg, firstArg)))
#else
#define RATEMARK_PRINTF_FORMAT(formatArg, firstArg)
#endif

namespace fw {

// format filled with the arguments by the C library's printf rules; "" when it refuses the
// format. Texts from the string table are formats too: their fields decide the arguments.
std::string FormatText(const char* format, ...) RATEMARK_PRINTF_FORMAT(1, 2);
// The same with the arguments as a va_list, which is left unused (the caller ends it).
std::string FormatTextV(const char* format, va_list args);

} // namespace fw
