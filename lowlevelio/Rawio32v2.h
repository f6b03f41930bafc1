// The low-level I/O library's interface: its exports, the records they fill and their results.
#pragma once

#include <cstddef>
#include <cstdint>

// The calling convention of the exports; the build sets it where the platform has several.
#ifndef RAWIO_WINAPI
#define RAWIO_WINAPI
#endif

// The registers INT 13h function 08h returns, laid out as the DPMI real-mode call record;
// the caller reserves 52 bytes for the 50 of that record.
struct SInt13Regs
{
    uint32_t Edi;
    uint32_t Esi;
    uint32_t Ebp;
    uint32_t Reserved;
    uint32_t Ebx;
    uint32_t Edx; // DH (byte 21): the highest head number
    uint32_t Ecx; // CH: highest cylinder, low 8 bits; CL: sectors per track, cylinder bits 8-9
    uint32_t Eax;
    uint16_t Flags;
    uint16_t Es;
    uint16_t Ds;
    uint16_t Fs;
    uint16_t Gs;
    uint16_t Ip;
    uint16_t Cs;
    uint16_t Sp;
    uint16_t Ss;
    uint16_t Spare;
};
static_assert(sizeof(SInt13Regs) == 52);
static_assert(offsetof(SInt13Regs, Edx) == 20 && offsetof(SInt13Regs, Ecx) == 24);
static_assert(offsetof(SInt13Regs, Spare) == 50);

// The answer of INT 13h function 48h in its 26-byte form; the caller reserves 28 bytes.
struct SDrvInf
{
    uint16_t size; // set by the library for the BIOS
    uint16_t flags;
    uint32_t cylinders;
    uint32_t heads;
    uint32_t sec_per_track;
    uint32_t sectors_l;
    uint32_t sectors_h;
    uint16_t sector_size;
    uint16_t spare;
};
static_assert(sizeof(SDrvInf) == 28);
static_assert(offsetof(SDrvInf, sectors_l) == 16 && offsetof(SDrvInf, sector_size) == 24);

extern "C" {

// Reads count sectors from the 64-bit sector number into buffer. Bits 0-7 of the result are
// the sectors transferred, bits 8-15 the BIOS status; bit 31 is set on failure.
uint32_t RAWIO_WINAPI ExtendedInt13Read32(uint32_t drive, uint32_t sectorLow, uint32_t sectorHigh,
                                          uint32_t count, void* buffer);
// Fills regs with the registers function 08h returns. Below 256 on success.
uint32_t RAWIO_WINAPI GetDriveFn08Parameters32(uint32_t drive, SInt13Regs* regs);
// Fills info with the drive's function 48h answer. Below 256 on success.
uint32_t RAWIO_WINAPI GetDriveFn48Parameters32(uint32_t drive, SDrvInf* info);
// Reads count sectors at a cylinder, head and 1-based sector (function 02h), with the result
// of ExtendedInt13Read32.
uint32_t RAWIO_WINAPI ReadPhysicalSector32(uint32_t drive, uint32_t cylinder, uint32_t head,
                                           uint32_t sector, uint32_t count, void* buffer);
}

using PExtendedInt13Read32 = decltype(&ExtendedInt13Read32);
using PGetDriveFn08Parameters32 = decltype(&GetDriveFn08Parameters32);
using PGetDriveFn48Parameters32 = decltype(&GetDriveFn48Parameters32);
using PReadPhysicalSector32 = decltype(&ReadPhysicalSector32);

namespace rawio {

// A read failed when one of these bits is set: bit 31 or the status in bits 8-15.
inline constexpr uint32_t kReadFailureMask = 0x8000FF00;
// Set in every failed result.
inline constexpr uint32_t kFailureBit = 0x80000000;
// The parameter functions succeeded when their result is below this.
inline constexpr uint32_t kParametersFailed = 256;

inline constexpr uint16_t kDrvInfSize = 26;
// SDrvInf::flags: the cylinders, heads and sectors-per-track fields are valid.
inline constexpr uint16_t kDrvInfGeometryValid = 0x0002;

// BIOS status values.
inline constexpr uint8_t kStatusOk = 0x00;
inline constexpr uint8_t kStatusBadCommand = 0x01;
inline constexpr uint8_t kStatusSectorNotFound = 0x04;
inline constexpr uint8_t kStatusBoundary = 0x09;
inline constexpr uint8_t kStatusBadEcc = 0x10;

} // namespace rawio
