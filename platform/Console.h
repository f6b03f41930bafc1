// The program's standard streams and the terminal behind them.
#pragma once

#include <cstddef>

namespace platform {

enum class EStdStream
{
    In,
    Out,
    Err,
};

// Makes sure that no file the program opens later can take the place of a standard stream
// that was closed when it started (a drive or an output file would then receive what is
// meant for stdout): a closed stream gets a placeholder that fails every transfer, as the
// closed stream did. Call first thing.
void ReserveStandardStreams();

// Whether the stream is a terminal.
bool IsTerminal(EStdStream stream);

// The width of the terminal behind stream in columns; 0 when it is no terminal or does not say.
int TerminalColumns(EStdStream stream);

// Whether the terminal understands cursor and erase sequences: false when it declares itself
// dumb or declares nothing.
bool TerminalTakesEscapes();

// Writes all size bytes to stream, unbuffered; returns 0 or the OS's error number (errno).
// A reader that has gone away is the error EPIPE, never the end of the program (see
// InstallTerminationHandling).
int WriteStream(EStdStream stream, const void* data, size_t size);

// What ReadInputByte returns besides a byte.
inline constexpr int kInputTimeout = -1;
inline constexpr int kInputEnd = -2; // end of input, or an error reading it

// Waits at most timeoutMs for one byte of standard input; returns it (0 … 255), kInputTimeout,
// or kInputEnd. A signal that arrives meanwhile ends the wait early as a timeout.
int ReadInputByte(int timeoutMs);

} // namespace platform
