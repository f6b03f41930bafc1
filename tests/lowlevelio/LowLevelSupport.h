// What the low-level I/O tests share: a scoped environment, a recording message box and log,
// image files whose sectors name themselves, and the emulator's call trace.
#pragma once

#include "framework/MessageBox.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lowlevel_fx {

// Sets and unsets environment variables, and puts everything back when it goes. It starts by
// clearing the variables of the emulator and of the platform layer, so that the caller's
// shell cannot change what a test sees.
class CScopedEnvironment
{
public:
    CScopedEnvironment();
    ~CScopedEnvironment();
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

    void Set(const std::string& name, const std::string& value);
    void Unset(const std::string& name);

private:
    void Remember(const std::string& name);

    std::map<std::string, std::optional<std::string>> m_saved;
};

struct SShownBox
{
    std::string Text;
    unsigned Type;
};

// Installed for its lifetime; answers OK.
class CRecordingMessageBox : public fw::IMessageBoxService
{
public:
    CRecordingMessageBox();
    ~CRecordingMessageBox() override;
    int Show(const std::string& text, unsigned type) override;

    std::vector<SShownBox> m_shown;
};

// A printf-style log sink for the back-end; the lines land in RecordedLog.
void RecordLog(const char* format, ...);
std::vector<std::string>& RecordedLog();

// An image of sectors sectors of 512 bytes, each of which starts with its own number (64-bit,
// little-endian); the rest is zero.
void CreateNumberedImage(const std::string& path, uint64_t sectors);

// The number a sector of a numbered image starts with.
uint64_t SectorNumber(const uint8_t* sector);

// One extended read of the emulator's trace.
struct STracedRead
{
    uint32_t Drive;
    uint64_t Sector;
    uint32_t Count;
    uint32_t Result;

    friend bool operator==(const STracedRead&, const STracedRead&) = default;
};

// The lines of the trace file, and its extended reads.
std::vector<std::string> TraceLines(const std::string& path);
std::vector<STracedRead> TracedReads(const std::string& path);

// The directory of the real library and its partner.
std::string LibraryDirectory();

} // namespace lowlevel_fx
