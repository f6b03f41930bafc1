// The diagnostic log: one time-stamped line per call, appended to "Ratemarklog.txt".
#pragma once

#include "framework/Format.h"
#include "framework/Trace.h"

#include <ctime>
#include <string>

// The log file, in the current directory.
inline constexpr const char* kLogFileName = "Ratemarklog.txt";

// Formats the message printf-style and appends it as one line behind the local time. Never
// fails towards the caller: when the file cannot be opened or another opener holds it, the
// line is dropped.
void WriteLog(const char* format, ...) RATEMARK_PRINTF_FORMAT(1, 2);

// "March 05, 2009, 14:03:07 ": the time stamp of a line, with the C locale's English month
// names whatever the program's locale; "" when it does not fit the stamp's 128 characters.
std::string LogTimeStamp(const std::tm& time);

// The trace sink that writes every trace line to the diagnostic log; the program installs
// it at start-up (fw::SetTraceSink) so the core's unexpected failures leave a line.
class CLogTraceSink : public fw::ITraceSink
{
public:
    void TraceLine(const std::string& line) override;
};
