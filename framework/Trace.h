// The trace sink: where the core reports what went wrong unexpectedly (an exception caught by
// a catch-all), without knowing where the lines end up. The diagnostic log plugs in.
#pragma once

#include "framework/Format.h"

#include <exception>
#include <string>

namespace fw {

class ITraceSink
{
public:
    virtual ~ITraceSink() = default;
    // One line of text, without its line end. May be called from any thread, one call at a
    // time; must not throw and must not trace itself.
    virtual void TraceLine(const std::string& line) = 0;
};

// Installs the sink the trace lines go to; nullptr drops them. Returns once no line is being
// written to the sink it replaces, so that sink may be destroyed right after.
void SetTraceSink(ITraceSink* sink);
ITraceSink* GetTraceSink();

// Formats one line printf-style and hands it to the sink; never throws.
void Trace(const char* format, ...) RATEMARK_PRINTF_FORMAT(1, 2);

// Traces the exception being handled (call it inside a catch block) as
// "where: unexpected exception: what it says".
void TraceCurrentException(const char* where);
// The text of error: its what() for a std::exception, a fixed text for anything else.
std::string DescribeException(const std::exception_ptr& error);

// Installs a sink for a scope and puts the previous one back.
class CTraceSinkScope
{
public:
    explicit CTraceSinkScope(ITraceSink* sink) : m_pPrevious(GetTraceSink()) { SetTraceSink(sink); }
    ~CTraceSinkScope() { SetTraceSink(m_pPrevious); }
    CTraceSinkScope(const CTraceSinkScope&) = delete;
    CTraceSinkScope& operator=(const CTraceSinkScope&) = delete;

private:
    ITraceSink* m_pPrevious;
};

} // namespace fw
