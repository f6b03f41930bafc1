// The partition-table walk shared by both drive back-ends, and the partition classes.
#pragma once

#include "diskaccess/HardDrive.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class EPartClass
{
    Ntfs,
    Fat,
    Fat32,
    Free,
    EmptyExtended,
    Other,
    FreeBsd,
    Linux,
};

// What a GUID partition table says of one of its partitions.
struct SGptInfo
{
    uint64_t Start = 0;   // first sector
    uint64_t Sectors = 0; // clipped to the device
    EPartClass Class = EPartClass::Other;
    std::array<uint8_t, 16> TypeGuid{}; // on-disk byte order
    std::string Name;                   // UTF-8
};

// One entry of the partition list.
struct SPartEntry
{
    uint32_t AbsStart = 0;  // table sector + relative start, wrapping at 32 bits
    uint8_t RawEntry[16]{}; // the table entry exactly as read
    // Set for a partition of a GUID table; RawEntry is then the protective entry it replaces
    // and AbsStart the low 32 bits of its start, clamped.
    std::optional<SGptInfo> Gpt;

    uint8_t Type() const { return RawEntry[4]; }
    uint32_t RelativeStart() const;
    uint32_t SectorCount() const;
    // Start and length in sectors, 64-bit for GUID table entries.
    uint64_t Start() const { return Gpt ? Gpt->Start : AbsStart; }
    uint64_t Sectors() const { return Gpt ? Gpt->Sectors : SectorCount(); }
    EPartClass Class() const;
};

// The class of a partition type byte (0x00 is Free).
EPartClass ClassifyPartitionType(uint8_t type);
// The legend label of a class: "NTFS", "FAT", … "Linux".
const char* PartitionClassLabel(EPartClass cls);
COLORREF PartitionClassColor(EPartClass cls);

inline constexpr COLORREF kFreeColor = 0xB8B8B6;

class CPartitionAnalyser : public IHardDrive
{
public:
    BOOL AnalysePartitions() override;
    int GetPartitionCount() override;
    uint32_t GetPartitionStartCylinder(int i) override;
    uint32_t GetPartitionCylinders(int i) override;
    COLORREF GetPartitionColor(int i) override;

    // Reads the table at sector, appends its entries and walks extended partitions.
    // Returns 0 when the sector cannot be read or is not a signed table.
    virtual BOOL ReadPartitionTable(uint32_t sector, uint32_t extendedBase, uint8_t* buffer);

    const std::vector<SPartEntry>& Partitions() const { return m_Partitions; }
    // The kind of table the last analysis found: "gpt", "dos", or "none".
    const char* PartitionTableLabel() const { return m_pszLabel; }
    const GEOMETRY& Geometry() const { return m_Geometry; }

protected:
    std::vector<SPartEntry> m_Partitions;
    GEOMETRY m_Geometry{};

private:
    const SPartEntry& EntryAt(int i) const;
    uint32_t SectorsPerCylinder() const;
    uint32_t GptStartCylinder(const SGptInfo& gpt, uint32_t perCylinder) const;
    // Puts a verified GUID table's partitions in place of the walk's protective entry.
    void ReadGuidTable();

    // Tables read during the current walk; a link back to one of them ends the chain.
    std::vector<uint32_t> m_visitedTables;
    const char* m_pszLabel = "none";
};
