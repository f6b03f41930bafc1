// The stand-in 16-bit partner: an emulated BIOS whose drives 80h, 81h, ... are image files named
// by the environment, answering the library's four thunks.
#include "lowlevelio/emulator/BiosDrive.h"

#include "platform/Errors.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace rawio16 {

namespace {

struct SDriveSlot
{
    std::string Key; // the drive's variables when the slot was filled
    bool Present = false;
    CBiosDrive Drive;
};

std::mutex g_mutex;
std::map<uint32_t, std::unique_ptr<SDriveSlot>> g_slots;

const char* GetVariable(const std::string& name)
{
    return std::getenv(name.c_str());
}

std::string VariablesKey(uint32_t drive)
{
    std::string key;
    for (const char* suffix : kVariableSuffixes)
    {
        const char* value = GetVariable(VariableName(drive, suffix));
        key += value ? "=" : "-";
        if (value)
            key += value;
        key += '\n';
    }
    return key;
}

// The drive behind a BIOS drive number, set up afresh whenever its variables have changed;
// nullptr when the number has no drive. Called with g_mutex held.
CBiosDrive* FindDrive(uint32_t drive)
{
    if (drive < kFirstDrive || drive > kLastDrive)
        return nullptr;
    std::string key = VariablesKey(drive);
    std::unique_ptr<SDriveSlot>& slot = g_slots[drive];
    if (!slot || slot->Key != key)
    {
        slot = std::make_unique<SDriveSlot>();
        slot->Key = std::move(key);
        SDriveConfig config;
        std::string error;
        if (ParseDriveConfig(drive, GetVariable, &config, &error))
        {
            const uint32_t openError = slot->Drive.Open(config);
            if (openError == 0)
                slot->Present = true;
            else
                std::fprintf(stderr, "Rawio16v2: drive %02Xh: cannot open image %s: %s\n", drive,
                             config.Image.c_str(), platform::ErrorText(openError).c_str());
        }
        else if (!error.empty())
        {
            std::fprintf(stderr, "Rawio16v2: drive %02Xh: %s\n", drive, error.c_str());
        }
    }
    return slot->Present ? &slot->Drive : nullptr;
}

uint32_t Combined(rawio::SDxAx r)
{
    return uint32_t{r.Dx} << 16 | r.Ax;
}

// Appends one line per call to the file RAWIO16_TRACE names. Called with g_mutex held.
void Trace(const char* format, ...)
{
    const char* path = GetVariable(kTraceVariable);
    if (!path || !*path)
        return;
    std::FILE* file = std::fopen(path, "a");
    if (!file)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}

uint8_t DriveCount()
{
    unsigned count = 0;
    for (uint32_t d = kFirstDrive; d <= kLastDrive; ++d)
        if (const char* image = GetVariable(VariableName(d, "")); image && *image)
            ++count;
    return static_cast<uint8_t>(count);
}

rawio::SDxAx ExtendedRead(const rawio::SThunkFrame& f)
{
    std::lock_guard lock(g_mutex);
    CBiosDrive* drive = FindDrive(f.Values[0]);
    const uint64_t first = uint64_t{f.Values[2]} << 32 | f.Values[1];
    const rawio::SDxAx r = drive ? drive->ExtendedRead(first, f.Values[3], f.Pointer)
                                 : Failed(rawio::kStatusBadCommand);
    Trace("42h %02X sector=%llu count=%u result=%08X", f.Values[0],
          static_cast<unsigned long long>(first), f.Values[3], Combined(r));
    return r;
}

rawio::SDxAx Fn08Parameters(const rawio::SThunkFrame& f)
{
    std::lock_guard lock(g_mutex);
    CBiosDrive* drive = FindDrive(f.Values[0]);
    const rawio::SDxAx r =
        drive ? drive->Fn08Parameters(static_cast<SInt13Regs*>(f.Pointer), DriveCount())
              : Failed(rawio::kStatusBadCommand);
    Trace("08h %02X result=%08X", f.Values[0], Combined(r));
    return r;
}

rawio::SDxAx Fn48Parameters(const rawio::SThunkFrame& f)
{
    std::lock_guard lock(g_mutex);
    CBiosDrive* drive = FindDrive(f.Values[0]);
    const rawio::SDxAx r = drive ? drive->Fn48Parameters(static_cast<SDrvInf*>(f.Pointer))
                                 : Failed(rawio::kStatusBadCommand);
    Trace("48h %02X result=%08X", f.Values[0], Combined(r));
    return r;
}

rawio::SDxAx PhysicalSectorRead(const rawio::SThunkFrame& f)
{
    std::lock_guard lock(g_mutex);
    CBiosDrive* drive = FindDrive(f.Values[0]);
    const rawio::SDxAx r =
        drive ? drive->ChsRead(f.Values[1], f.Values[2], f.Values[3], f.Values[4], f.Pointer)
              : Failed(rawio::kStatusBadCommand);
    Trace("02h %02X chs=%u/%u/%u count=%u result=%08X", f.Values[0], f.Values[1], f.Values[2],
          f.Values[3], f.Values[4], Combined(r));
    return r;
}

} // namespace

} // namespace rawio16

extern "C" {
const SThunkData16 ThunkObj_ThunkData16 = {
    {'L', 'S', '0', '1'},
    rawio::kThunkChecksum,
    {rawio16::ExtendedRead, rawio16::Fn08Parameters, rawio16::Fn48Parameters,
     rawio16::PhysicalSectorRead},
};
}
