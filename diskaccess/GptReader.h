// GUID partition tables: the header and entry array behind a protective master boot record.
#pragma once

#include "diskaccess/HardDrive.h"
#include "diskaccess/PartitionAnalyser.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace gpt {

using Guid = std::array<uint8_t, 16>;

// The largest entry count a header may declare, and the largest entry array read.
inline constexpr uint32_t kMaxEntries = 16384;
inline constexpr uint64_t kMaxArrayBytes = 4u << 20;

// One used entry of a verified table, its end clipped to the device.
struct SGptPartition
{
    uint64_t FirstLba = 0;
    uint64_t LastLba = 0; // inclusive
    Guid TypeGuid{};
    std::string Name; // UTF-8
    EPartClass Class = EPartClass::Other;
};

enum class ESource
{
    None,    // neither header verified
    Primary, // the header at LBA 1
    Backup,  // the header on the device's last sector
};

struct SGptTable
{
    ESource Source = ESource::None;
    std::vector<SGptPartition> Partitions; // entry-array order, unused entries skipped
};

// Reads the primary header and, when it fails verification, the backup on the device's last
// sector. deviceSectors 0 means the size is unknown: no backup, no clipping. Reads through
// ReadLba64 in sectors of bytesPerSector, nothing outside the device; a Microsoft basic data
// partition's first sector is read for its class.
SGptTable ReadGpt(IHardDrive& drive, uint32_t bytesPerSector, uint64_t deviceSectors);

// The class of a type GUID (on-disk byte order). Microsoft basic data gives Other here:
// its class depends on the file system inside (ClassifyBasicData).
EPartClass ClassifyGptType(const Guid& type);
bool IsBasicDataType(const Guid& type);

// The class of a Microsoft basic data partition by its first sector: NTFS, FAT32, FAT or Other.
EPartClass ClassifyBasicData(const uint8_t* sector, size_t size);

// "C12A7328-F81F-11D2-BA4B-00A0C93EC93B" for the on-disk bytes of a GUID.
std::string FormatGuid(const Guid& guid);

} // namespace gpt
