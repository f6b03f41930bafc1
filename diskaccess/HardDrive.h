// The drive interface every part of the program reaches a hard drive through.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string>
#include <vector>

// One drive's geometry.
struct GEOMETRY
{
    int32_t Drive = 0; // the back-end's own drive number
    uint32_t Cylinders = 0;
    uint32_t TracksPerCylinder = 0; // heads
    uint32_t SectorsPerTrack = 0;
    uint32_t BytesPerSector = 0;

    friend bool operator==(const GEOMETRY&, const GEOMETRY&) = default;
};

// The drive list: one entry per discovered drive in ascending drive number; an entry's
// position is the drive index the user sees.
using CDriveList = std::vector<GEOMETRY>;

class IHardDrive
{
public:
    virtual ~IHardDrive() = default;

    // Stores the geometry for all later address arithmetic and prepares the drive for
    // reading. Returns 0 with the error code set on failure.
    virtual BOOL Open(int32_t drive, uint32_t cylinders, uint32_t tracksPerCylinder,
                      uint32_t sectorsPerTrack, uint32_t bytesPerSector) = 0;
    // Releases what Open acquired; harmless when nothing is open. Always nonzero.
    virtual BOOL Close() = 0;
    // Reads count whole sectors at (cylinder × heads + head) × sectors per track + sector,
    // timed into the read-time accumulator. *sectorsRead gets the whole sectors that arrived.
    virtual BOOL ReadChs(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                         void* buffer, uint32_t* sectorsRead) = 0;
    // Reads count whole sectors at a linear sector number.
    virtual BOOL ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) = 0;
    // The error code the last operation left: 0 after a successful read.
    virtual uint32_t GetErrorCode() = 0;
    // Position of the last failed read.
    virtual uint32_t GetErrorCylinder() = 0;
    virtual uint32_t GetErrorHead() = 0;
    virtual void ResetReadTime() = 0;
    // The sum of the timed reads' durations since ResetReadTime, in performance-counter ticks.
    virtual int64_t GetReadTime() = 0;
    // Rebuilds the partition list from the drive's tables; nonzero when the master boot
    // record was read and signed.
    virtual BOOL AnalysePartitions() = 0;
    virtual int GetPartitionCount() = 0;
    // Start and length in cylinders of entry i; 0 when the geometry has no sectors per
    // cylinder, otherwise std::invalid_argument for an index outside the list.
    virtual uint32_t GetPartitionStartCylinder(int i) = 0;
    virtual uint32_t GetPartitionCylinders(int i) = 0;
    // The colour of entry i's class; std::invalid_argument outside the list.
    virtual COLORREF GetPartitionColor(int i) = 0;
    // Fills the drive list with the drives that answer; returns the number of entries.
    virtual int GetDrives(CDriveList& drives) = 0;

    // Nonzero when the last failed read showed that the drive itself has gone (unplugged,
    // or dropped by the system), so that no further read can succeed; reset by Open. A
    // back-end that cannot tell always answers 0.
    virtual BOOL IsGone() { return 0; }
    // Why the system's authoriser refused the last Open, in its own words; "" when it did not.
    virtual const std::string& GetOpenRefusal() const
    {
        static const std::string none;
        return none;
    }
    // The open drive's size in whole sectors of its BytesPerSector, which may reach past the
    // last whole cylinder and past 32 bits; 0 when the back-end cannot tell.
    virtual uint64_t GetDeviceSectors() = 0;
    // ReadLba at a 64-bit linear sector number, for tables at the end of drives past 2 TiB.
    // Fails with error code 87 where the byte offset would not fit in 64 bits.
    virtual BOOL ReadLba64(uint64_t sector, uint32_t count, void* buffer,
                           uint32_t* sectorsRead) = 0;
};
