// The trace sink the core reports unexpected failures to, and the printf-style formatter.
#include "framework/Trace.h"
#include "fixtures/TraceLines.h"
#include "framework/Format.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using CLines = testing_fx::CTraceLines;

} // namespace

TEST(Trace, LinesReachTheInstalledSinkOnly)
{
    CLines lines;
    fw::Trace("before %d", 1); // no sink: dropped
    {
        fw::CTraceSinkScope scope(&lines);
        fw::Trace("value %d of %s", 42, "forty-two");
        try
        {
            throw std::out_of_range("index 7");
        }
        catch (...)
        {
            fw::TraceCurrentException("Reading");
        }
        try
        {
            throw 5;
        }
        catch (...)
        {
            fw::TraceCurrentException("Drawing");
        }
    }
    EXPECT_EQ(fw::GetTraceSink(), nullptr);
    fw::Trace("after");
    EXPECT_EQ(lines.Lines(), (std::vector<std::string>{
                                 "value 42 of forty-two",
                                 "Reading: unexpected exception: index 7",
                                 "Drawing: unexpected exception: an exception of unknown type",
                             }));
}

TEST(Trace, ReplacingTheSinkWaitsForLinesBeingWritten)
{
    // A sink that is being written to when it is replaced must still be alive for that line:
    // after SetTraceSink returns, nothing touches it. The sink here dies right after.
    struct SSlowSink : fw::ITraceSink
    {
        std::atomic<bool> inside{false};
        std::atomic<bool> alive{true};
        std::atomic<bool> usedDead{false};
        void TraceLine(const std::string&) override
        {
            inside = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (!alive)
                usedDead = true;
        }
    };
    SSlowSink sink;
    fw::SetTraceSink(&sink);
    std::thread worker([] { fw::Trace("from the worker"); });
    while (!sink.inside)
        std::this_thread::yield();
    fw::SetTraceSink(nullptr);
    sink.alive = false;
    worker.join();
    EXPECT_FALSE(sink.usedDead);
}

TEST(Trace, SinkThatThrowsDoesNotPassItOn)
{
    struct SThrowingSink : fw::ITraceSink
    {
        void TraceLine(const std::string&) override { throw std::runtime_error("disk full"); }
    } sink;
    fw::CTraceSinkScope scope(&sink);
    EXPECT_NO_THROW(fw::Trace("a line"));
}

TEST(Format, PrintfRulesAtAnyLength)
{
    EXPECT_EQ(fw::FormatText("%u kBytes/s", 10080u), "10080 kBytes/s");
    EXPECT_EQ(fw::FormatText("%0u:%02u", 1u, 5u), "1:05");
    EXPECT_EQ(fw::FormatText("Reading error ( code=%Xh )", 0x17u), "Reading error ( code=17h )");
    const std::string longText(5000, 'x');
    EXPECT_EQ(fw::FormatText("<%s>", longText.c_str()), "<" + longText + ">");
    EXPECT_EQ(fw::FormatText("%s", ""), "");
    EXPECT_EQ(fw::FormatText(nullptr), "");
}
