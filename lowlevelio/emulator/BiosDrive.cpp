// The emulated BIOS drive: configuration parsing and the INT 13h services over an image file.
#include "lowlevelio/emulator/BiosDrive.h"

#include "platform/Errors.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace rawio16 {

namespace {

constexpr uint64_t kSectorsPerCylinder = 255 * 63;
constexpr uint64_t kLargest16HeadDisk = 16383ull * 16 * 63;
constexpr uint8_t kDefaultFailureStatus = rawio::kStatusBadCommand;
constexpr uint8_t kDefaultBadSectorStatus = rawio::kStatusBadEcc;

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;)
    {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::string Trim(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A decimal or 0x-hexadecimal number no larger than max.
bool ParseNumber(const std::string& raw, uint64_t max, uint64_t* out)
{
    const std::string text = Trim(raw);
    int base = 10;
    size_t skip = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        skip = 2;
    }
    if (text.size() == skip)
        return false;
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data() + skip, end, value, base);
    if (ec != std::errc() || ptr != end || value > max)
        return false;
    *out = value;
    return true;
}

template <typename T>
bool ParseField(const std::string& text, uint64_t max, std::optional<T>* out)
{
    if (Trim(text).empty())
        return true;
    uint64_t value = 0;
    if (!ParseNumber(text, max, &value))
        return false;
    *out = static_cast<T>(value);
    return true;
}

bool ParseFn08(const std::string& text, SChs* out)
{
    const auto f = Split(text, ',');
    uint64_t c = 0, h = 0, s = 0, high = 0;
    if (f.size() < 3 || f.size() > 4 || !ParseNumber(f[0], 1024, &c) || c == 0 ||
        !ParseNumber(f[1], 256, &h) || h == 0 || !ParseNumber(f[2], 63, &s) ||
        (f.size() == 4 && !ParseNumber(f[3], 0xFFFF, &high)))
        return false;
    *out = SChs{static_cast<uint32_t>(c), static_cast<uint32_t>(h), static_cast<uint32_t>(s),
                static_cast<uint16_t>(high)};
    return true;
}

bool ParseFn48(const std::string& text, SFn48Override* out)
{
    const auto f = Split(text, ',');
    if (f.size() > 6)
        return false;
    const auto at = [&](size_t i) { return i < f.size() ? f[i] : std::string(); };
    return ParseField(at(0), 0xFFFF, &out->Flags) &&
           ParseField(at(1), UINT32_MAX, &out->Cylinders) &&
           ParseField(at(2), UINT32_MAX, &out->Heads) &&
           ParseField(at(3), UINT32_MAX, &out->SectorsPerTrack) &&
           ParseField(at(4), UINT64_MAX, &out->TotalSectors) &&
           ParseField(at(5), 0xFFFF, &out->SectorSize);
}

// "name" or "name:status".
bool ParseWithStatus(const std::string& item, uint8_t defaultStatus, std::string* name,
                     uint8_t* status)
{
    const size_t colon = item.find(':');
    *name = Trim(item.substr(0, colon));
    *status = defaultStatus;
    if (colon == std::string::npos)
        return !name->empty();
    uint64_t value = 0;
    if (!ParseNumber(item.substr(colon + 1), 0xFF, &value))
        return false;
    *status = static_cast<uint8_t>(value);
    return !name->empty();
}

bool ParseFailures(const std::string& text, SDriveConfig* out)
{
    for (const std::string& item : Split(text, ','))
    {
        std::string name;
        uint8_t status = 0;
        if (!ParseWithStatus(item, kDefaultFailureStatus, &name, &status))
            return false;
        if (name == "fn08")
            out->Fn08Failure = status;
        else if (name == "fn48")
            out->Fn48Failure = status;
        else if (name == "read")
            out->ReadFailure = status;
        else
            return false;
    }
    return true;
}

bool ParseBadSectors(const std::string& text, SDriveConfig* out)
{
    for (const std::string& item : Split(text, ','))
    {
        std::string range;
        SBadRange bad;
        if (!ParseWithStatus(item, kDefaultBadSectorStatus, &range, &bad.Status))
            return false;
        const size_t dash = range.find('-');
        if (!ParseNumber(range.substr(0, dash), UINT64_MAX, &bad.First))
            return false;
        bad.Last = bad.First;
        if (dash != std::string::npos &&
            (!ParseNumber(range.substr(dash + 1), UINT64_MAX, &bad.Last) || bad.Last < bad.First))
            return false;
        out->BadSectors.push_back(bad);
    }
    return true;
}

} // namespace

std::string VariableName(uint32_t drive, const char* suffix)
{
    char name[32];
    std::snprintf(name, sizeof name, "RAWIO16_DRIVE_%02X%s", drive & 0xFF, suffix);
    return name;
}

bool ParseDriveConfig(uint32_t drive, const FGetVariable& getVariable, SDriveConfig* out,
                      std::string* error)
{
    *out = SDriveConfig{};
    error->clear();
    const char* image = getVariable(VariableName(drive, ""));
    if (!image || !*image)
        return false;
    out->Image = image;

    const struct
    {
        const char* Suffix;
        bool (*Parse)(const std::string&, SDriveConfig*);
        const char* Expected;
    } parts[] = {
        {"_FN08",
         [](const std::string& t, SDriveConfig* c) {
             SChs chs;
             if (!ParseFn08(t, &chs))
                 return false;
             c->Fn08 = chs;
             return true;
         },
         "CYLINDERS,HEADS,SECTORS[,ECXHIGH] (1-1024, 1-256, 0-63)"},
        {"_FN48", [](const std::string& t, SDriveConfig* c) { return ParseFn48(t, &c->Fn48); },
         "FLAGS,CYLINDERS,HEADS,SECTORS,TOTAL,SECTORSIZE (any may be empty)"},
        {"_FAIL", ParseFailures, "fn08|fn48|read[:STATUS],..."},
        {"_BAD", ParseBadSectors, "FIRST[-LAST][:STATUS],..."},
    };
    for (const auto& part : parts)
    {
        const std::string name = VariableName(drive, part.Suffix);
        const char* value = getVariable(name);
        if (!value || !*value)
            continue;
        if (!part.Parse(value, out))
        {
            *error = name + "=" + value + ": expected " + part.Expected;
            return false;
        }
    }
    return true;
}

SChs DefaultChs(uint64_t totalSectors)
{
    const uint64_t cylinders = std::clamp<uint64_t>(totalSectors / kSectorsPerCylinder, 1, 1024);
    return SChs{static_cast<uint32_t>(cylinders), 255, 63, 0};
}

SFn48Answer DefaultFn48(uint64_t totalSectors, uint16_t sectorSize)
{
    SFn48Answer a;
    a.TotalSectors = totalSectors;
    a.SectorSize = sectorSize;
    a.Heads = 16;
    a.SectorsPerTrack = 63;
    if (totalSectors <= kLargest16HeadDisk)
    {
        a.Flags = rawio::kDrvInfGeometryValid;
        a.Cylinders = static_cast<uint32_t>(totalSectors / (16 * 63));
    }
    else
    {
        a.Cylinders = 16383;
    }
    return a;
}

rawio::SDxAx Succeeded(uint8_t transferred)
{
    return rawio::SDxAx{transferred, 0};
}

rawio::SDxAx Failed(uint8_t status, uint8_t transferred)
{
    return rawio::SDxAx{static_cast<uint16_t>(status << 8 | transferred), 0x8000};
}

CBiosDrive::~CBiosDrive()
{
    platform::DeviceClose(m_hImage);
}

uint32_t CBiosDrive::Open(const SDriveConfig& config)
{
    m_config = config;
    platform::DeviceClose(m_hImage);
    m_hImage = platform::kInvalidDevice;
    return platform::DeviceOpen(config.Image, platform::DeviceMode::Buffered, &m_hImage);
}

uint16_t CBiosDrive::SectorSize() const
{
    if (m_config.Fn48.SectorSize && *m_config.Fn48.SectorSize != 0)
        return *m_config.Fn48.SectorSize;
    platform::DeviceSize size;
    if (platform::DeviceQuerySize(m_hImage, &size) != 0 || size.BytesPerSector > 0xFFFF)
        return 512;
    return static_cast<uint16_t>(size.BytesPerSector);
}

uint64_t CBiosDrive::TotalSectors() const
{
    // Asked afresh every time, so that an image written after the drive was set up counts.
    platform::DeviceSize size;
    if (platform::DeviceQuerySize(m_hImage, &size) != 0)
        return 0;
    return size.Bytes / SectorSize();
}

SChs CBiosDrive::Chs() const
{
    return m_config.Fn08 ? *m_config.Fn08 : DefaultChs(TotalSectors());
}

rawio::SDxAx CBiosDrive::Fn08Parameters(SInt13Regs* regs, uint8_t driveCount)
{
    if (m_config.Fn08Failure)
        return Failed(*m_config.Fn08Failure);
    const SChs chs = Chs();
    const uint32_t highestCylinder = chs.Cylinders - 1;
    std::memset(regs, 0, offsetof(SInt13Regs, Spare));
    regs->Ecx = uint32_t{chs.EcxHigh} << 16 | (highestCylinder & 0xFF) << 8 |
                (highestCylinder >> 8 & 0x03) << 6 | (chs.SectorsPerTrack & 0x3F);
    regs->Edx = (chs.Heads - 1) << 8 | driveCount;
    return Succeeded();
}

rawio::SDxAx CBiosDrive::Fn48Parameters(SDrvInf* info)
{
    if (m_config.Fn48Failure)
        return Failed(*m_config.Fn48Failure);
    // A forced total is the size the rest of the answer is made for.
    const SFn48Override& o = m_config.Fn48;
    SFn48Answer a = DefaultFn48(o.TotalSectors.value_or(TotalSectors()), SectorSize());
    a.Flags = o.Flags.value_or(a.Flags);
    a.Cylinders = o.Cylinders.value_or(a.Cylinders);
    a.Heads = o.Heads.value_or(a.Heads);
    a.SectorsPerTrack = o.SectorsPerTrack.value_or(a.SectorsPerTrack);
    a.TotalSectors = o.TotalSectors.value_or(a.TotalSectors);
    a.SectorSize = o.SectorSize.value_or(a.SectorSize);

    // The 26 bytes of the answer; the caller's two spare bytes stay as they are.
    info->size = rawio::kDrvInfSize;
    info->flags = a.Flags;
    info->cylinders = a.Cylinders;
    info->heads = a.Heads;
    info->sec_per_track = a.SectorsPerTrack;
    info->sectors_l = static_cast<uint32_t>(a.TotalSectors);
    info->sectors_h = static_cast<uint32_t>(a.TotalSectors >> 32);
    info->sector_size = a.SectorSize;
    return Succeeded();
}

rawio::SDxAx CBiosDrive::ExtendedRead(uint64_t first, uint32_t count, void* buffer)
{
    if (m_config.ReadFailure)
        return Failed(*m_config.ReadFailure);
    if (count == 0 || count > kMaxReadSectors)
        return Failed(rawio::kStatusBadCommand);
    const uint32_t sectorSize = SectorSize();
    if (uint64_t{count} * sectorSize > kMaxTransferBytes)
        return Failed(rawio::kStatusBoundary);

    // The first sector of the request that cannot be read, and why.
    uint64_t good = count;
    uint8_t status = rawio::kStatusOk;
    const uint64_t total = TotalSectors();
    if (first >= total || total - first < count)
    {
        good = first >= total ? 0 : total - first;
        status = rawio::kStatusSectorNotFound;
    }
    for (const SBadRange& bad : m_config.BadSectors)
    {
        if (bad.Last < first || bad.First >= first + count)
            continue;
        const uint64_t at = bad.First > first ? bad.First - first : 0;
        if (at < good)
        {
            good = at;
            status = bad.Status;
        }
    }

    uint32_t arrived = 0;
    if (good > 0)
    {
        uint32_t bytesRead = 0;
        const uint32_t error =
            platform::DeviceRead(m_hImage, first * sectorSize, buffer,
                                 static_cast<uint32_t>(good) * sectorSize, &bytesRead);
        arrived = bytesRead / sectorSize;
        if (error != 0)
            return Failed(error == platform::err::SectorNotFound ? rawio::kStatusSectorNotFound
                                                                 : rawio::kStatusBadEcc,
                          static_cast<uint8_t>(arrived));
    }
    if (status != rawio::kStatusOk)
        return Failed(status, static_cast<uint8_t>(arrived));
    return Succeeded(static_cast<uint8_t>(count));
}

rawio::SDxAx CBiosDrive::ChsRead(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                                 void* buffer)
{
    const SChs chs = Chs();
    if (sector == 0 || sector > chs.SectorsPerTrack || head >= chs.Heads ||
        cylinder >= chs.Cylinders)
        return Failed(rawio::kStatusSectorNotFound);
    const uint64_t lba = (uint64_t{cylinder} * chs.Heads + head) * chs.SectorsPerTrack + sector - 1;
    return ExtendedRead(lba, count, buffer);
}

} // namespace rawio16
