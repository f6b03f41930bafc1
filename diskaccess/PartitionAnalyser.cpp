// The partition-table walk: master boot record, then the chain of extended boot records.
#include "diskaccess/PartitionAnalyser.h"

#include "diskaccess/GptReader.h"

#include "framework/MessageBox.h"
#include "platform/Memory.h"
#include "resources/StringIds.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr size_t kTableOffset = 446;
// No real chain comes near this; it bounds the recursion on a crafted image whose links
// all point to fresh signed sectors.
constexpr size_t kMaxTables = 1024;
constexpr uint8_t kProtectiveType = 0xEE;

uint32_t LoadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

uint32_t SPartEntry::RelativeStart() const
{
    return LoadLe32(RawEntry + 8);
}

uint32_t SPartEntry::SectorCount() const
{
    return LoadLe32(RawEntry + 12);
}

EPartClass SPartEntry::Class() const
{
    return Gpt ? Gpt->Class : ClassifyPartitionType(Type());
}

EPartClass ClassifyPartitionType(uint8_t type)
{
    switch (type)
    {
    case 0x00:
        return EPartClass::Free;
    case 0x07:
    case 0x17:
        return EPartClass::Ntfs;
    case 0x01:
    case 0x04:
    case 0x06:
    case 0x0E:
    case 0x11:
    case 0x14:
    case 0x16:
    case 0x1E:
        return EPartClass::Fat;
    case 0x0B:
    case 0x0C:
    case 0x1B:
    case 0x1C:
        return EPartClass::Fat32;
    case 0x05:
    case 0x0F:
    case 0x15:
        return EPartClass::EmptyExtended;
    case 0x82:
    case 0x83:
        return EPartClass::Linux;
    case 0xA5:
        return EPartClass::FreeBsd;
    default:
        return EPartClass::Other;
    }
}

const char* PartitionClassLabel(EPartClass cls)
{
    switch (cls)
    {
    case EPartClass::Ntfs:
        return "NTFS";
    case EPartClass::Fat:
        return "FAT";
    case EPartClass::Fat32:
        return "FAT32";
    case EPartClass::Free:
        return "Free";
    case EPartClass::EmptyExtended:
        return "Empty Ext.";
    case EPartClass::FreeBsd:
        return "FreeBSD";
    case EPartClass::Linux:
        return "Linux";
    case EPartClass::Other:
        break;
    }
    return "Other";
}

COLORREF PartitionClassColor(EPartClass cls)
{
    switch (cls)
    {
    case EPartClass::Ntfs:
        return 0xE9CDFF;
    case EPartClass::Fat:
        return 0xD0F8B6;
    case EPartClass::Fat32:
        return 0x79F8B6;
    case EPartClass::Free:
        return kFreeColor;
    case EPartClass::EmptyExtended:
        return 0xB38050;
    case EPartClass::FreeBsd:
        return 0xB3CFDD;
    case EPartClass::Linux:
        return 0x86EBEC;
    case EPartClass::Other:
        break;
    }
    return 0xFFD6D6;
}

BOOL CPartitionAnalyser::AnalysePartitions()
{
    m_Partitions.clear();
    m_pszLabel = "none";
    if (m_Geometry.BytesPerSector == 0)
        return 0;
    platform::CPageBuffer buffer(m_Geometry.BytesPerSector);
    if (!buffer)
    {
        fw::MessageBox(res::IDS_OUT_OF_MEMORY, fw::kMbOk | fw::kMbIconHand);
        return 0;
    }
    m_visitedTables.clear();
    const BOOL result = ReadPartitionTable(0, 0, buffer.Get());
    m_visitedTables.clear();
    if (result)
    {
        m_pszLabel = "dos";
        ReadGuidTable();
    }
    return result;
}

void CPartitionAnalyser::ReadGuidTable()
{
    const auto isProtective = [](const SPartEntry& e) {
        return !e.Gpt && e.Type() == kProtectiveType;
    };
    const auto protective = std::find_if(m_Partitions.begin(), m_Partitions.end(), isProtective);
    if (protective == m_Partitions.end())
        return;
    const gpt::SGptTable table = gpt::ReadGpt(*this, m_Geometry.BytesPerSector, GetDeviceSectors());
    if (table.Source == gpt::ESource::None)
        return;

    std::vector<SPartEntry> entries;
    for (const gpt::SGptPartition& part : table.Partitions)
    {
        SPartEntry entry;
        std::memcpy(entry.RawEntry, protective->RawEntry, sizeof entry.RawEntry);
        entry.AbsStart = static_cast<uint32_t>(std::min<uint64_t>(part.FirstLba, UINT32_MAX));
        entry.Gpt = SGptInfo{part.FirstLba, part.LastLba - part.FirstLba + 1, part.Class,
                             part.TypeGuid, part.Name};
        entries.push_back(std::move(entry));
    }
    // The first protective entry makes way for the table's partitions; further ones (a
    // hybrid table's second cover) stand for the same table and go with it.
    const size_t at = static_cast<size_t>(protective - m_Partitions.begin());
    std::erase_if(m_Partitions, isProtective);
    m_Partitions.insert(m_Partitions.begin() + static_cast<std::ptrdiff_t>(at),
                        std::make_move_iterator(entries.begin()),
                        std::make_move_iterator(entries.end()));
    m_pszLabel = "gpt";
}

BOOL CPartitionAnalyser::ReadPartitionTable(uint32_t sector, uint32_t extendedBase, uint8_t* buffer)
{
    // A chain that leads back to a table of this walk would never end, and one without
    // end in sight would exhaust the stack: such a link is treated like an unreadable
    // extended boot record.
    if (m_visitedTables.size() >= kMaxTables ||
        std::find(m_visitedTables.begin(), m_visitedTables.end(), sector) != m_visitedTables.end())
        return 0;

    uint32_t sectorsRead = 0;
    if (!ReadLba(sector, 1, buffer, &sectorsRead) || sectorsRead != 1 || buffer[510] != 0x55 ||
        buffer[511] != 0xAA)
        return 0;
    m_visitedTables.push_back(sector);

    uint8_t entries[4][16];
    std::memcpy(entries, buffer + kTableOffset, sizeof entries);

    for (const auto& raw : entries)
    {
        SPartEntry entry;
        std::memcpy(entry.RawEntry, raw, sizeof entry.RawEntry);
        const uint8_t type = entry.Type();
        const uint32_t start = entry.RelativeStart();
        entry.AbsStart = sector + start;
        if (type == 0x00)
            continue;
        if (type == 0x05 || type == 0x0F)
        {
            uint32_t next;
            if (extendedBase == 0)
            {
                extendedBase = start;
                next = start;
            }
            else
            {
                next = extendedBase + start;
            }
            if (ReadPartitionTable(next, extendedBase, buffer))
                continue;
        }
        m_Partitions.push_back(entry);
    }
    return 1;
}

int CPartitionAnalyser::GetPartitionCount()
{
    return static_cast<int>(m_Partitions.size());
}

uint32_t CPartitionAnalyser::SectorsPerCylinder() const
{
    return m_Geometry.TracksPerCylinder * m_Geometry.SectorsPerTrack;
}

uint32_t CPartitionAnalyser::GptStartCylinder(const SGptInfo& gpt, uint32_t perCylinder) const
{
    // A table entry may reach into the sectors after the last whole cylinder, which the
    // graph does not show: it starts on the last cylinder at the latest.
    const uint64_t last = m_Geometry.Cylinders > 0 ? m_Geometry.Cylinders - 1 : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(gpt.Start / perCylinder, last));
}

const SPartEntry& CPartitionAnalyser::EntryAt(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_Partitions.size())
        throw std::invalid_argument("partition index out of range");
    return m_Partitions[static_cast<size_t>(i)];
}

uint32_t CPartitionAnalyser::GetPartitionStartCylinder(int i)
{
    const uint32_t perCylinder = SectorsPerCylinder();
    if (perCylinder == 0)
        return 0;
    const SPartEntry& entry = EntryAt(i);
    if (!entry.Gpt)
        return entry.AbsStart / perCylinder;
    return GptStartCylinder(*entry.Gpt, perCylinder);
}

uint32_t CPartitionAnalyser::GetPartitionCylinders(int i)
{
    const uint32_t perCylinder = SectorsPerCylinder();
    if (perCylinder == 0)
        return 0;
    const SPartEntry& entry = EntryAt(i);
    if (!entry.Gpt)
        return entry.SectorCount() / perCylinder;
    // The graph paints start + length + 1 cylinders; that stays inside the plot.
    const uint32_t start = GptStartCylinder(*entry.Gpt, perCylinder);
    const uint64_t room = m_Geometry.Cylinders > start ? m_Geometry.Cylinders - start - 1 : 0;
    return static_cast<uint32_t>(std::min(entry.Gpt->Sectors / perCylinder, room));
}

COLORREF CPartitionAnalyser::GetPartitionColor(int i)
{
    return PartitionClassColor(EntryAt(i).Class());
}
