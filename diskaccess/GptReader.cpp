// GUID partition tables: header and entry-array verification, the backup header, type classes.
#include "diskaccess/GptReader.h"

#include "platform/Memory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <zlib.h>

namespace gpt {

namespace {

constexpr uint64_t kPrimaryLba = 1;
constexpr size_t kMinHeaderSize = 92;
constexpr size_t kMinEntrySize = 128;
constexpr char kSignature[8] = {'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T'};
// Entry arrays are read in pieces of this many bytes, so a long array needs no large
// transfer from a back-end that splits reads itself.
constexpr uint32_t kReadPieceBytes = 64 * 1024;

uint32_t LoadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t LoadLe64(const uint8_t* p)
{
    return static_cast<uint64_t>(LoadLe32(p)) | (static_cast<uint64_t>(LoadLe32(p + 4)) << 32);
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0)
    {
        const uInt piece = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, data, piece);
        data += piece;
        size -= piece;
    }
    return static_cast<uint32_t>(crc);
}

struct SHeader
{
    uint64_t MyLba = 0;
    uint64_t AlternateLba = 0;
    uint64_t FirstUsable = 0;
    uint64_t LastUsable = 0;
    uint64_t EntriesLba = 0;
    uint32_t EntryCount = 0;
    uint32_t EntrySize = 0;
    uint32_t EntriesCrc = 0;
};

// Whether [first, first + count) and [otherFirst, otherLast] share a sector.
bool Overlaps(uint64_t first, uint64_t count, uint64_t otherFirst, uint64_t otherLast)
{
    return count > 0 && first <= otherLast && (otherFirst <= first || otherFirst - first < count);
}

class CGptReader
{
public:
    CGptReader(IHardDrive& drive, uint32_t bytesPerSector, uint64_t deviceSectors)
        : m_drive(drive), m_nBytesPerSector(bytesPerSector), m_nDeviceSectors(deviceSectors)
    {}

    // Reads and verifies the header at lba and its entry array; the table's used entries
    // on success. A backup header must name the primary's place as its alternate.
    bool ReadTable(uint64_t lba, bool backup, std::vector<SGptPartition>* out)
    {
        SHeader header;
        std::vector<uint8_t> entries;
        if (!ReadHeader(lba, &header) || (backup && header.AlternateLba != kPrimaryLba) ||
            !ReadEntries(header, &entries))
            return false;
        out->clear();
        for (uint32_t i = 0; i < header.EntryCount; ++i)
        {
            const uint8_t* e = entries.data() + size_t{i} * header.EntrySize;
            SGptPartition part;
            std::memcpy(part.TypeGuid.data(), e, 16);
            if (std::all_of(part.TypeGuid.begin(), part.TypeGuid.end(),
                            [](uint8_t b) { return b == 0; }))
                continue;
            part.FirstLba = LoadLe64(e + 32);
            part.LastLba = LoadLe64(e + 40);
            if (part.LastLba < part.FirstLba)
                continue;
            if (m_nDeviceSectors != 0)
            {
                // Nothing past the device's end is drawn or read.
                if (part.FirstLba >= m_nDeviceSectors)
                    continue;
                part.LastLba = std::min(part.LastLba, m_nDeviceSectors - 1);
            }
            part.Name = DecodeName(e + 56, std::min<size_t>(72, header.EntrySize - 56));
            out->push_back(std::move(part));
        }
        return true;
    }

    bool ReadSectors(uint64_t lba, uint32_t count, uint8_t* buffer)
    {
        if (m_nDeviceSectors != 0 && (lba >= m_nDeviceSectors || count > m_nDeviceSectors - lba))
            return false;
        uint32_t got = 0;
        return m_drive.ReadLba64(lba, count, buffer, &got) && got == count;
    }

private:
    bool ReadHeader(uint64_t lba, SHeader* out)
    {
        platform::CPageBuffer buffer(m_nBytesPerSector);
        if (!buffer || !ReadSectors(lba, 1, buffer.Get()))
            return false;
        uint8_t* h = buffer.Get();
        if (std::memcmp(h, kSignature, sizeof kSignature) != 0)
            return false;
        const uint32_t headerSize = LoadLe32(h + 12);
        if (headerSize < kMinHeaderSize || headerSize > m_nBytesPerSector)
            return false;
        const uint32_t headerCrc = LoadLe32(h + 16);
        std::memset(h + 16, 0, 4);
        if (Crc32(h, headerSize) != headerCrc)
            return false;

        SHeader header;
        header.MyLba = LoadLe64(h + 24);
        header.AlternateLba = LoadLe64(h + 32);
        header.FirstUsable = LoadLe64(h + 40);
        header.LastUsable = LoadLe64(h + 48);
        header.EntriesLba = LoadLe64(h + 72);
        header.EntryCount = LoadLe32(h + 80);
        header.EntrySize = LoadLe32(h + 84);
        header.EntriesCrc = LoadLe32(h + 88);

        if (header.MyLba != lba || header.FirstUsable > header.LastUsable ||
            Overlaps(lba, 1, header.FirstUsable, header.LastUsable))
            return false;
        if (m_nDeviceSectors != 0 && header.LastUsable >= m_nDeviceSectors)
            return false;
        // 128 × 2^n bytes per entry.
        const uint32_t size = header.EntrySize;
        if (size < kMinEntrySize || size % kMinEntrySize != 0 ||
            ((size / kMinEntrySize) & (size / kMinEntrySize - 1)) != 0)
            return false;
        const uint64_t arrayBytes = uint64_t{header.EntryCount} * size;
        if (header.EntryCount > kMaxEntries || arrayBytes > kMaxArrayBytes)
            return false;
        const uint64_t arraySectors = (arrayBytes + m_nBytesPerSector - 1) / m_nBytesPerSector;
        if (header.EntriesLba > UINT64_MAX - arraySectors ||
            Overlaps(header.EntriesLba, arraySectors, header.FirstUsable, header.LastUsable) ||
            Overlaps(header.EntriesLba, arraySectors, lba, lba))
            return false;
        *out = header;
        return true;
    }

    bool ReadEntries(const SHeader& header, std::vector<uint8_t>* out)
    {
        const size_t arrayBytes = size_t{header.EntryCount} * header.EntrySize;
        const uint32_t arraySectors =
            static_cast<uint32_t>((arrayBytes + m_nBytesPerSector - 1) / m_nBytesPerSector);
        const uint32_t pieceSectors = std::max<uint32_t>(1, kReadPieceBytes / m_nBytesPerSector);
        platform::CPageBuffer buffer(size_t{pieceSectors} * m_nBytesPerSector);
        if (!buffer)
            return false;
        out->assign(size_t{arraySectors} * m_nBytesPerSector, 0);
        for (uint32_t done = 0; done < arraySectors;)
        {
            const uint32_t piece = std::min(pieceSectors, arraySectors - done);
            if (!ReadSectors(header.EntriesLba + done, piece, buffer.Get()))
                return false;
            std::memcpy(out->data() + size_t{done} * m_nBytesPerSector, buffer.Get(),
                        size_t{piece} * m_nBytesPerSector);
            done += piece;
        }
        return Crc32(out->data(), arrayBytes) == header.EntriesCrc;
    }

    // UTF-16LE up to the first NUL, as UTF-8; unpaired surrogates become U+FFFD.
    static std::string DecodeName(const uint8_t* p, size_t bytes)
    {
        std::string name;
        const size_t units = bytes / 2;
        for (size_t i = 0; i < units; ++i)
        {
            uint32_t c = p[2 * i] | (p[2 * i + 1] << 8);
            if (c == 0)
                break;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units)
            {
                const uint32_t low = p[2 * i + 2] | (p[2 * i + 3] << 8);
                if (low >= 0xDC00 && low <= 0xDFFF)
                {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
            if (c >= 0xD800 && c <= 0xDFFF)
                c = 0xFFFD;
            if (c < 0x80)
            {
                name += static_cast<char>(c);
            }
            else if (c < 0x800)
            {
                name += static_cast<char>(0xC0 | (c >> 6));
                name += static_cast<char>(0x80 | (c & 0x3F));
            }
            else if (c < 0x10000)
            {
                name += static_cast<char>(0xE0 | (c >> 12));
                name += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                name += static_cast<char>(0x80 | (c & 0x3F));
            }
            else
            {
                name += static_cast<char>(0xF0 | (c >> 18));
                name += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                name += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                name += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return name;
    }

    IHardDrive& m_drive;
    uint32_t m_nBytesPerSector;
    uint64_t m_nDeviceSectors;
};

struct STypeClass
{
    const char* Guid;
    EPartClass Class;
};

// Types whose partitions hold what the MBR classes stand for. Everything else, Microsoft
// reserved and BIOS boot included, is Other.
constexpr STypeClass kTypeClasses[] = {
    {"0FC63DAF-8483-4772-8E79-3D69D8477DE4", EPartClass::Linux}, // filesystem data
    {"933AC7E1-2EB4-4F13-B844-0E14E2AEF915", EPartClass::Linux}, // home
    {"3B8F8425-20E0-4F3B-907F-1A25A76F98E8", EPartClass::Linux}, // server data
    {"0657FD6D-A4AB-43C4-84E5-0933C84B4F4F", EPartClass::Linux}, // swap
    {"E6D6D379-F507-44C2-A23C-238F2A3DF928", EPartClass::Linux}, // LVM
    {"A19D880F-05FC-4D3B-A006-743F0F84911E", EPartClass::Linux}, // RAID
    {"CA7D7CCB-63ED-4C53-861C-1742536059CC", EPartClass::Linux}, // LUKS
    // Root partitions of each architecture.
    {"44479540-F297-41B2-9AF7-D131D5F0458A", EPartClass::Linux},
    {"4F68BCE3-E8CD-4DB1-96E7-FBCAF984B709", EPartClass::Linux},
    {"6523F8AE-3EB1-4E2A-A05A-18B695AE656F", EPartClass::Linux},
    {"D27F46ED-2919-4CB8-BD25-9531F3C16534", EPartClass::Linux},
    {"69DAD710-2CE4-4E3C-B16C-21A1D49ABED3", EPartClass::Linux},
    {"B921B045-1DF0-41C3-AF44-4C6F280D3FAE", EPartClass::Linux},
    {"993D8D3D-F80E-4225-855A-9DAF8ED7EA97", EPartClass::Linux},
    {"77055800-792C-4F94-B39A-98C91B762BB6", EPartClass::Linux},
    {"37C58C8A-D913-4156-A25F-48B1B64E07F0", EPartClass::Linux},
    {"700BDA43-7A34-4507-B179-EEB93D7A7CA3", EPartClass::Linux},
    {"1DE3F1EF-FA98-47B5-8DCD-4A860A654D78", EPartClass::Linux},
    {"912ADE1D-A839-4913-8964-A10EEE08FBD2", EPartClass::Linux},
    {"C31C45E6-3F39-412E-80FB-4809C4980599", EPartClass::Linux},
    {"60D5A7FE-8E7D-435C-B714-3DD8162144E1", EPartClass::Linux},
    {"72EC70A6-CF74-40E6-BD49-4BDA08E8F224", EPartClass::Linux},
    {"08A7ACEA-624C-4A20-91E8-6E0FA67D23F9", EPartClass::Linux},
    {"5EEAD9A9-FE09-4A1E-A1D7-520D00531306", EPartClass::Linux},
    {"C50CDD70-3862-4CC3-90E1-809A8C93EE2C", EPartClass::Linux},
    // FreeBSD boot, data, swap, UFS, Vinum, ZFS.
    {"83BD6B9D-7F41-11DC-BE0B-001560B84F0F", EPartClass::FreeBsd},
    {"516E7CB4-6ECF-11D6-8FF8-00022D09712B", EPartClass::FreeBsd},
    {"516E7CB5-6ECF-11D6-8FF8-00022D09712B", EPartClass::FreeBsd},
    {"516E7CB6-6ECF-11D6-8FF8-00022D09712B", EPartClass::FreeBsd},
    {"516E7CB8-6ECF-11D6-8FF8-00022D09712B", EPartClass::FreeBsd},
    {"516E7CBA-6ECF-11D6-8FF8-00022D09712B", EPartClass::FreeBsd},
    // EFI System: a FAT file system by definition, painted like the FAT32 it nearly always is.
    {"C12A7328-F81F-11D2-BA4B-00A0C93EC93B", EPartClass::Fat32},
};

constexpr const char* kBasicDataGuid = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";

} // namespace

std::string FormatGuid(const Guid& g)
{
    char text[40];
    std::snprintf(text, sizeof text,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", g[3],
                  g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13],
                  g[14], g[15]);
    return text;
}

bool IsBasicDataType(const Guid& type)
{
    return FormatGuid(type) == kBasicDataGuid;
}

EPartClass ClassifyGptType(const Guid& type)
{
    const std::string text = FormatGuid(type);
    for (const STypeClass& entry : kTypeClasses)
        if (text == entry.Guid)
            return entry.Class;
    return EPartClass::Other;
}

EPartClass ClassifyBasicData(const uint8_t* s, size_t size)
{
    if (size < 512)
        return EPartClass::Other;
    if (std::memcmp(s + 3, "NTFS    ", 8) == 0)
        return EPartClass::Ntfs;
    if (s[510] != 0x55 || s[511] != 0xAA)
        return EPartClass::Other;
    // A FAT boot sector's parameter block: a power-of-two sector size of 512 to 4096,
    // a power-of-two cluster size and at least one FAT.
    const uint32_t bytesPerSector = s[11] | (s[12] << 8);
    const uint32_t sectorsPerCluster = s[13];
    const bool plausible = bytesPerSector >= 512 && bytesPerSector <= 4096 &&
                           (bytesPerSector & (bytesPerSector - 1)) == 0 && sectorsPerCluster != 0 &&
                           (sectorsPerCluster & (sectorsPerCluster - 1)) == 0 && s[16] != 0;
    if (!plausible)
        return EPartClass::Other;
    const uint32_t fatSectors16 = s[22] | (s[23] << 8);
    if (fatSectors16 == 0 && LoadLe32(s + 36) != 0 && std::memcmp(s + 82, "FAT32   ", 8) == 0)
        return EPartClass::Fat32;
    if (fatSectors16 != 0 && std::memcmp(s + 54, "FAT", 3) == 0)
        return EPartClass::Fat;
    return EPartClass::Other;
}

SGptTable ReadGpt(IHardDrive& drive, uint32_t bytesPerSector, uint64_t deviceSectors)
{
    SGptTable table;
    if (bytesPerSector < kMinHeaderSize)
        return table;
    CGptReader reader(drive, bytesPerSector, deviceSectors);
    if (reader.ReadTable(kPrimaryLba, false, &table.Partitions))
        table.Source = ESource::Primary;
    else if (deviceSectors > 2 && reader.ReadTable(deviceSectors - 1, true, &table.Partitions))
        table.Source = ESource::Backup;
    else
        return SGptTable{};

    platform::CPageBuffer first(bytesPerSector);
    for (SGptPartition& part : table.Partitions)
    {
        if (!IsBasicDataType(part.TypeGuid))
            part.Class = ClassifyGptType(part.TypeGuid);
        else if (first && reader.ReadSectors(part.FirstLba, 1, first.Get()))
            part.Class = ClassifyBasicData(first.Get(), bytesPerSector);
        else
            part.Class = EPartClass::Other;
    }
    return table;
}

} // namespace gpt
