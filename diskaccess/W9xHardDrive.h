// The back-end that reaches the drives through the BIOS disk services of the low-level I/O
// library, which it loads at run time.
#pragma once

#include "diskaccess/PartitionAnalyser.h"
#include "lowlevelio/Rawio32v2.h"
#include "platform/Library.h"
#include "platform/Memory.h"

#include <map>
#include <stdexcept>
#include <string>

// Why the back-end could not be made; the user has already been shown the message.
class CW9xLoadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class CW9xHardDrive : public CPartitionAnalyser
{
public:
    // The library's name; the platform loader finds its file.
    static constexpr const char* kLibraryName = "Rawio32v2.dll";
    static constexpr uint32_t kFirstBiosDrive = 0x80;
    static constexpr uint32_t kLastBiosDrive = 0x93;
    // The largest piece one library read is asked for.
    static constexpr uint32_t kMaxPiece = 127;
    // The most one BIOS call transfers, and the size of the buffer every call reads into.
    static constexpr uint32_t kBounceBytes = 64 * 1024;

    // A printf-style sink for the trace of drive discovery.
    using PLogFunction = void (*)(const char* format, ...);

    // Loads the library and looks up its four functions. Shows message 10005 when the library
    // cannot be loaded and 10002 when a function is missing, releases the library and throws
    // CW9xLoadError.
    explicit CW9xHardDrive(const std::string& library = kLibraryName, PLogFunction log = nullptr);
    ~CW9xHardDrive() override;
    CW9xHardDrive(const CW9xHardDrive&) = delete;
    CW9xHardDrive& operator=(const CW9xHardDrive&) = delete;

    // Stores the geometry; never fails.
    BOOL Open(int32_t drive, uint32_t cylinders, uint32_t tracksPerCylinder,
              uint32_t sectorsPerTrack, uint32_t bytesPerSector) override;
    BOOL Close() override;
    BOOL ReadChs(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count, void* buffer,
                 uint32_t* sectorsRead) override;
    // Reads in pieces of at most 127 sectors (and 64 KB) through the back-end's own buffer and
    // times the BIOS calls. On failure the error code is the BIOS status.
    BOOL ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override;
    uint32_t GetErrorCode() override { return m_dwLastError; }
    uint32_t GetErrorCylinder() override { return m_dwErrorCylinder; }
    uint32_t GetErrorHead() override { return m_dwErrorHead; }
    void ResetReadTime() override { m_liReadTime = 0; }
    int64_t GetReadTime() override { return m_liReadTime; }
    // Probes BIOS drives 80h to 93h with function 08h and, for large drives, function 48h.
    int GetDrives(CDriveList& drives) override;
    // Function 48h's total sector count for the open drive when discovery learnt one,
    // otherwise its cylinders × heads × sectors per track.
    uint64_t GetDeviceSectors() override;
    BOOL ReadLba64(uint64_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override;

private:
    [[noreturn]] void FailLoading(uint32_t stringId, const std::string& reason);
    template <typename... Args>
    void Log(const char* format, Args... args) const
    {
        if (m_pfnLog)
            m_pfnLog(format, args...);
    }

    PLogFunction m_pfnLog;
    // Function 48h's total sector counts by drive number, from the last discovery.
    std::map<int32_t, uint64_t> m_totalSectors;
    uint32_t m_dwErrorCylinder = 0;
    uint32_t m_dwErrorHead = 0;
    uint32_t m_dwLastError = 0;
    platform::ModuleHandle m_hLibrary = nullptr;
    int64_t m_liReadTime = 0;
    platform::CPageBuffer m_bounce;
    PExtendedInt13Read32 m_pfnExtendedInt13Read32 = nullptr;
    PReadPhysicalSector32 m_pfnReadPhysicalSector32 = nullptr;
    PGetDriveFn48Parameters32 m_pfnGetDriveFn48Parameters32 = nullptr;
    PGetDriveFn08Parameters32 m_pfnGetDriveFn08Parameters32 = nullptr;
};
