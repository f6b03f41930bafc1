// One emulated BIOS hard drive: its configuration and its INT 13h services over an image file.
#pragma once

#include "lowlevelio/Rawio32v2.h"
#include "lowlevelio/Thunk.h"
#include "platform/Device.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rawio16 {

// A function 08h answer in counts, and what the BIOS leaves in the upper half of ECX.
struct SChs
{
    uint32_t Cylinders = 0;       // 1 to 1024
    uint32_t Heads = 0;           // 1 to 256
    uint32_t SectorsPerTrack = 0; // 0 to 63
    uint16_t EcxHigh = 0;
};

struct SFn48Answer
{
    uint16_t Flags = 0;
    uint32_t Cylinders = 0;
    uint32_t Heads = 0;
    uint32_t SectorsPerTrack = 0;
    uint64_t TotalSectors = 0;
    uint16_t SectorSize = 0;
};

// Function 48h fields to answer instead of the BIOS's own.
struct SFn48Override
{
    std::optional<uint16_t> Flags;
    std::optional<uint32_t> Cylinders;
    std::optional<uint32_t> Heads;
    std::optional<uint32_t> SectorsPerTrack;
    std::optional<uint64_t> TotalSectors;
    std::optional<uint16_t> SectorSize;
};

// Sectors First to Last (inclusive) whose read fails with Status.
struct SBadRange
{
    uint64_t First = 0;
    uint64_t Last = 0;
    uint8_t Status = 0;
};

struct SDriveConfig
{
    std::string Image;
    std::optional<SChs> Fn08;
    SFn48Override Fn48;
    std::optional<uint8_t> Fn08Failure;
    std::optional<uint8_t> Fn48Failure;
    std::optional<uint8_t> ReadFailure;
    std::vector<SBadRange> BadSectors;
};

inline constexpr uint32_t kFirstDrive = 0x80;
inline constexpr uint32_t kLastDrive = 0xFF;

// The largest read: what one 16:16 pointer reaches.
inline constexpr uint32_t kMaxTransferBytes = 0x10000;
inline constexpr uint32_t kMaxReadSectors = 127;

// The file that receives one line per call when it is set.
inline constexpr const char* kTraceVariable = "RAWIO16_TRACE";

// RAWIO16_DRIVE_80 for drive 80h and suffix "", RAWIO16_DRIVE_80_FN08 for suffix "_FN08".
std::string VariableName(uint32_t drive, const char* suffix);

// The variables of a drive, in the order ParseDriveConfig reads them.
inline constexpr const char* kVariableSuffixes[] = {"", "_FN08", "_FN48", "_FAIL", "_BAD"};

using FGetVariable = std::function<const char*(const std::string& name)>;

// Reads drive's configuration through getVariable (nullptr for an unset variable). Returns
// false for a drive without an image variable (error empty) or with a value that does not
// parse (the reason in *error).
bool ParseDriveConfig(uint32_t drive, const FGetVariable& getVariable, SDriveConfig* out,
                      std::string* error);

// What a BIOS answers for a drive of totalSectors: function 08h with 255 heads and 63 sectors,
// its cylinders capped at 1024; function 48h with valid physical geometry up to the largest
// 16-head disk, otherwise 16383 x 16 x 63 with the geometry marked invalid.
SChs DefaultChs(uint64_t totalSectors);
SFn48Answer DefaultFn48(uint64_t totalSectors, uint16_t sectorSize);

// A partner function's result: the status in AH, the sectors transferred in AL, and DX
// 8000h (the carry flag) on failure.
rawio::SDxAx Succeeded(uint8_t transferred = 0);
rawio::SDxAx Failed(uint8_t status, uint8_t transferred = 0);

class CBiosDrive
{
public:
    CBiosDrive() = default;
    ~CBiosDrive();
    CBiosDrive(const CBiosDrive&) = delete;
    CBiosDrive& operator=(const CBiosDrive&) = delete;

    // Opens the configuration's image for reading. Returns 0 or a Win32 error number.
    uint32_t Open(const SDriveConfig& config);

    // Function 08h into the 50 bytes of the register record; driveCount goes to DL.
    rawio::SDxAx Fn08Parameters(SInt13Regs* regs, uint8_t driveCount);
    // Function 48h into the record's 26 bytes.
    rawio::SDxAx Fn48Parameters(SDrvInf* info);
    // The extended read of count sectors from first into buffer.
    rawio::SDxAx ExtendedRead(uint64_t first, uint32_t count, void* buffer);
    // Function 02h: count sectors at cylinder, head and 1-based sector of the function 08h
    // geometry.
    rawio::SDxAx ChsRead(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                         void* buffer);

private:
    // The image's size in sectors of SectorSize; 0 when it cannot be asked.
    uint64_t TotalSectors() const;
    uint16_t SectorSize() const;
    SChs Chs() const;

    SDriveConfig m_config;
    platform::DeviceHandle m_hImage = platform::kInvalidDevice;
};

} // namespace rawio16
