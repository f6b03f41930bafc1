// Where a command's results go: the checks on output paths made before anything is measured,
// the files that are whole or absent, and the standard streams with their write errors.
#pragma once

#include "framework/Archive.h"
#include "platform/OutputFile.h"

#include <memory>
#include <string>
#include <vector>

namespace cli {

enum class EOutputFormat
{
    Dat,
    Json,
    Png,
    Svg,
};

// One requested output: the option that named it and its path ("-" for stdout).
struct SOutput
{
    const char* Option = "";
    EOutputFormat Format = EOutputFormat::Dat;
    std::string Path;
    bool ToStdout() const { return Path == "-"; }
    // "the JSON", "the picture", ... for messages.
    const char* What() const;
};

// Refuses outputs that could damage a drive or each other, before anything is measured or
// written: an empty path, "-" for a picture or for two outputs, a path that is no regular file
// (a block device above all), the drive under test (drivePath: its image file, or the file
// behind its loop device) or the file behind any drive of the machine, and two outputs that
// name one file. Prints the reason and returns kExitUsage; 0 when all may be written.
int CheckOutputPaths(const std::vector<SOutput>& outputs, const std::string& drivePath);

// Writes text to stdout; the first failure is kept for StdoutResult.
void PrintOut(const std::string& text);
// Writes text to stderr; failures there have nowhere to be told.
void PrintErr(const std::string& text);
// printf-style into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// After the last output: when a write to stdout failed, says why on stderr and returns
// kExitFailure; otherwise 0.
int StdoutResult();

// "ratemark-cli: cannot write the JSON to FILE: REASON" for an OS error number.
std::string WriteFailure(const SOutput& output, int osError);

// An archive over stdout, for "--out -": buffered, every OS error kept and thrown.
class CStdoutArchive : public fw::CArchive
{
public:
    CStdoutArchive() : CArchive(store) {}
    void Write(const void* data, size_t size) override;
    void Flush() override;
    bool HasFailed() const override { return m_nError != 0; }
    int Error() const { return m_nError; }

private:
    std::string m_buffer;
    int m_nError = 0;
};

} // namespace cli
