// The trace sink and the lines written to it.
#include "framework/Trace.h"

#include <cstdarg>
#include <mutex>

namespace fw {

namespace {

// One lock for installing and writing: a sink that is being replaced is not in use when
// SetTraceSink returns, and lines from two threads never interleave inside a sink.
std::mutex& SinkLock()
{
    static std::mutex lock;
    return lock;
}
ITraceSink* g_pSink = nullptr;

void Emit(const std::string& line)
{
    std::lock_guard lock(SinkLock());
    if (!g_pSink)
        return;
    try
    {
        g_pSink->TraceLine(line);
    }
    catch (...)
    {
        // A trace must never turn into a failure of its own.
    }
}

} // namespace

void SetTraceSink(ITraceSink* sink)
{
    std::lock_guard lock(SinkLock());
    g_pSink = sink;
}

ITraceSink* GetTraceSink()
{
    std::lock_guard lock(SinkLock());
    return g_pSink;
}

void Trace(const char* format, ...)
{
    try
    {
        va_list args;
        va_start(args, format);
        std::string line = FormatTextV(format, args);
        va_end(args);
        Emit(line);
    }
    catch (...)
    {}
}

std::string DescribeException(const std::exception_ptr& error)
{
    if (!error)
        return "no exception";
    try
    {
        std::rethrow_exception(error);
    }
    catch (const std::exception& e)
    {
        return e.what();
    }
    catch (...)
    {
        return "an exception of unknown type";
    }
}

void TraceCurrentException(const char* where)
{
    try
    {
        Emit(std::string(where ? where : "") +
             ": unexpected exception: " + DescribeException(std::current_exception()));
    }
    catch (...)
    {}
}

} // namespace fw
