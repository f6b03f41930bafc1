// The diagnostic log, opened and closed for every line so that an abnormal end loses nothing
// already written.
#include "shell/Log.h"

#include "platform/ExclusiveFile.h"
#include "platform/LocalTime.h"

#include <cstdarg>
#include <cstdio>
#include <iomanip>
#include <locale>
#include <sstream>

namespace {

constexpr size_t kTimeStampBuffer = 128;

} // namespace

std::string LogTimeStamp(const std::tm& time)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::put_time(&time, "%B %d, %Y, %H:%M:%S ");
    std::string stamp = out.str();
    // The stamp and its terminating zero must fit the buffer it was always formatted into.
    if (!out || stamp.size() >= kTimeStampBuffer)
        return {};
    return stamp;
}

void WriteLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string message = fw::FormatTextV(format, args);
    va_end(args);

    std::tm local{};
    std::string line = platform::ToLocalTime(platform::CurrentTime(), &local) ? LogTimeStamp(local)
                                                                              : std::string();
    line += message;
    line += '\n';

    std::FILE* file = platform::OpenExclusiveAppend(kLogFileName);
    if (!file)
        return;
    std::fseek(file, 0, SEEK_END);
    std::fwrite(line.data(), 1, line.size(), file);
    platform::CloseExclusive(file);
}

void CLogTraceSink::TraceLine(const std::string& line)
{
    WriteLog("%s", line.c_str());
}
