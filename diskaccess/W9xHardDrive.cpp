// The BIOS back-end: drive discovery through functions 08h and 48h, reads through the extended
// read in pieces of at most 127 sectors.
#include "diskaccess/W9xHardDrive.h"

#include "framework/MessageBox.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kStrProceduresMissing = 10002;
constexpr uint32_t kStrLibraryMissing = 10005;
constexpr uint32_t kStrWrongParameters = 10010;

constexpr uint32_t kSectorsPerCylinder = 255 * 63;
constexpr uint32_t kBiosBytesPerSector = 512;

template <typename T>
T Lookup(platform::ModuleHandle library, const char* name)
{
    return reinterpret_cast<T>(platform::GetProcAddress(library, name));
}

} // namespace

CW9xHardDrive::CW9xHardDrive(const std::string& library, PLogFunction log)
    : m_pfnLog(log), m_bounce(kBounceBytes)
{
    m_hLibrary = platform::LoadLibraryA(library);
    // Windows module handles of 32 or less are error numbers.
    if (reinterpret_cast<uintptr_t>(m_hLibrary) <= 32)
        FailLoading(kStrLibraryMissing, platform::LastLibraryError());

    m_pfnReadPhysicalSector32 = Lookup<PReadPhysicalSector32>(m_hLibrary, "ReadPhysicalSector32");
    m_pfnGetDriveFn48Parameters32 =
        Lookup<PGetDriveFn48Parameters32>(m_hLibrary, "GetDriveFn48Parameters32");
    m_pfnGetDriveFn08Parameters32 =
        Lookup<PGetDriveFn08Parameters32>(m_hLibrary, "GetDriveFn08Parameters32");
    m_pfnExtendedInt13Read32 = Lookup<PExtendedInt13Read32>(m_hLibrary, "ExtendedInt13Read32");
    const struct
    {
        const void* Address;
        const char* Name;
    } functions[] = {
        {reinterpret_cast<const void*>(m_pfnReadPhysicalSector32), "ReadPhysicalSector32"},
        {reinterpret_cast<const void*>(m_pfnGetDriveFn48Parameters32), "GetDriveFn48Parameters32"},
        {reinterpret_cast<const void*>(m_pfnGetDriveFn08Parameters32), "GetDriveFn08Parameters32"},
        {reinterpret_cast<const void*>(m_pfnExtendedInt13Read32), "ExtendedInt13Read32"},
    };
    for (const auto& f : functions)
        if (!f.Address)
            FailLoading(kStrProceduresMissing, library + " has no function " + f.Name);
}

CW9xHardDrive::~CW9xHardDrive()
{
    m_pfnExtendedInt13Read32 = nullptr;
    m_pfnReadPhysicalSector32 = nullptr;
    m_pfnGetDriveFn48Parameters32 = nullptr;
    m_pfnGetDriveFn08Parameters32 = nullptr;
    platform::FreeLibrary(m_hLibrary);
    m_hLibrary = nullptr;
}

void CW9xHardDrive::FailLoading(uint32_t stringId, const std::string& reason)
{
    fw::MessageBox(stringId, fw::kMbOk | fw::kMbIconHand);
    platform::FreeLibrary(m_hLibrary);
    m_hLibrary = nullptr;
    throw CW9xLoadError(reason);
}

BOOL CW9xHardDrive::Open(int32_t drive, uint32_t cylinders, uint32_t tracksPerCylinder,
                         uint32_t sectorsPerTrack, uint32_t bytesPerSector)
{
    m_Geometry = GEOMETRY{drive, cylinders, tracksPerCylinder, sectorsPerTrack, bytesPerSector};
    return 1;
}

BOOL CW9xHardDrive::Close()
{
    return 1;
}

BOOL CW9xHardDrive::ReadChs(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                            void* buffer, uint32_t* sectorsRead)
{
    const uint32_t linear =
        (cylinder * m_Geometry.TracksPerCylinder + head) * m_Geometry.SectorsPerTrack + sector;
    IHardDrive* self = this;
    return self->ReadLba(linear, count, buffer, sectorsRead);
}

BOOL CW9xHardDrive::ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead)
{
    return ReadLba64(sector, count, buffer, sectorsRead);
}

uint64_t CW9xHardDrive::GetDeviceSectors()
{
    const auto total = m_totalSectors.find(m_Geometry.Drive);
    if (total != m_totalSectors.end())
        return total->second;
    return uint64_t{m_Geometry.Cylinders} * m_Geometry.TracksPerCylinder *
           m_Geometry.SectorsPerTrack;
}

BOOL CW9xHardDrive::ReadLba64(uint64_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead)
{
    const uint32_t bytesPerSector = m_Geometry.BytesPerSector;
    if (!sectorsRead || bytesPerSector == 0 || bytesPerSector > kBounceBytes)
    {
        m_dwLastError = platform::err::InvalidParameter;
        return 0;
    }
    if (!m_bounce)
    {
        m_dwLastError = platform::err::NotEnoughMemory;
        return 0;
    }

    // The BIOS writes into the bounce buffer, never into the caller's: whatever sector size it
    // transfers at, the caller gets only the sectors it asked for at the listed size. A piece
    // is what one call can move, 127 sectors or 64 KB at the listed size.
    const uint32_t maxPiece = std::min(kMaxPiece, kBounceBytes / bytesPerSector);
    *sectorsRead = 0;
    m_dwLastError = 0;
    auto* destination = static_cast<uint8_t*>(buffer);
    const uint32_t biosDrive = static_cast<uint32_t>(m_Geometry.Drive) + kFirstBiosDrive;
    uint64_t current = sector;
    uint32_t remaining = count;
    uint32_t result = 0;
    bool failed = false;
    while (remaining > 0)
    {
        m_dwLastError = 0;
        const uint32_t piece = std::min(remaining, maxPiece);
        // Only the BIOS call is timed; the copy out of the bounce buffer is not the drive's.
        const int64_t before = platform::PerformanceCounter();
        result =
            m_pfnExtendedInt13Read32(biosDrive, static_cast<uint32_t>(current),
                                     static_cast<uint32_t>(current >> 32), piece, m_bounce.Get());
        m_liReadTime += platform::PerformanceCounter() - before;
        if (result & rawio::kReadFailureMask)
        {
            // The sectors of the failed piece that did arrive still reach the caller.
            const uint32_t arrived = std::min(result & 0xFF, piece);
            std::memcpy(destination, m_bounce.Get(), size_t{arrived} * bytesPerSector);
            failed = true;
            break;
        }
        std::memcpy(destination, m_bounce.Get(), size_t{piece} * bytesPerSector);
        destination += size_t{piece} * bytesPerSector;
        current += piece;
        remaining -= piece;
        *sectorsRead += result & 0xFF;
    }

    if (!failed)
        return 1;
    m_dwLastError = (result >> 8) & 0xFF;
    const uint32_t spt = m_Geometry.SectorsPerTrack;
    const uint32_t sectorsPerCylinder = m_Geometry.TracksPerCylinder * spt;
    if (spt != 0 && sectorsPerCylinder != 0)
    {
        // The sectors of the failed piece that did arrive end where the failing one begins.
        const uint64_t failing = current + (result & 0xFF);
        m_dwErrorCylinder = static_cast<uint32_t>(failing / sectorsPerCylinder);
        m_dwErrorHead = static_cast<uint32_t>(failing % sectorsPerCylinder / spt);
    }
    return 0;
}

int CW9xHardDrive::GetDrives(CDriveList& drives)
{
    drives.clear();
    m_totalSectors.clear();
    for (uint32_t d = kFirstBiosDrive; d <= kLastBiosDrive; ++d)
    {
        m_dwLastError = 0;
        Log("Call GetDriveFn08Parameters32( 0x%X ).", d);
        SInt13Regs regs{};
        uint32_t r = m_pfnGetDriveFn08Parameters32(d, &regs);
        Log("GetDriveFn08Parameters32( 0x%X ) returns 0x%X.", d, r);
        if (r >= rawio::kParametersFailed)
            continue;

        const uint32_t cl = regs.Ecx & 0xFF;
        const uint32_t ch = (regs.Ecx >> 8) & 0xFF;
        const uint32_t dh = (regs.Edx >> 8) & 0xFF;
        uint32_t sectorsPerTrack = cl & 0x3F;
        uint32_t heads = dh + 1;
        // CH and the top two bits of CL; the upper half of ECX is not the BIOS's answer.
        uint32_t cylinders = (ch | (cl & 0xC0) << 2) + 1;
        uint32_t bytesPerSector = kBiosBytesPerSector;
        Log("0x%X drive geometry is Cylinders = %d, TracksPerCylinder = %d. SectorsPerTrack = %d",
            d, static_cast<int>(cylinders), static_cast<int>(heads),
            static_cast<int>(sectorsPerTrack));

        if (cylinders >= 1023 && heads == 255 && sectorsPerTrack == 63)
        {
            Log("Call GetDriveFn48Parameters32( 0x%X ).", d);
            SDrvInf info{};
            r = m_pfnGetDriveFn48Parameters32(d, &info);
            Log("GetDriveFn48Parameters32( 0x%X ) returns 0x%X.", d, r);
            if (r >= rawio::kParametersFailed)
                continue;
            Log("0x%X drive stDrvInf.flags = 0x%X. stDrvInf.cylinders = %d stDrvInf.heads = %d "
                "stDrvInf.sec_per_track = %d stDrvInf.sector_size = %d stDrvInf.sectors_l = 0x%X "
                "stDrvInf.sectors_h = 0x%X",
                d, static_cast<unsigned>(info.flags), static_cast<int>(info.cylinders),
                static_cast<int>(info.heads), static_cast<int>(info.sec_per_track),
                static_cast<int>(info.sector_size), info.sectors_l, info.sectors_h);
            if (info.flags & rawio::kDrvInfGeometryValid)
            {
                cylinders = info.cylinders;
                heads = info.heads;
                sectorsPerTrack = info.sec_per_track;
            }
            else
            {
                cylinders = info.sectors_l / kSectorsPerCylinder;
            }
            bytesPerSector = info.sector_size;
            const uint64_t total = uint64_t{info.sectors_h} << 32 | info.sectors_l;
            if (total != 0 && total < uint64_t{heads} * sectorsPerTrack)
            {
                Log("0x%X drive is smaller than one cylinder; left out.", d);
                continue;
            }
            if (total != 0)
                m_totalSectors[static_cast<int32_t>(d - kFirstBiosDrive)] = total;
            // Reads address sectors in 32 bits: past 2 TiB of 512-byte sectors the cylinders
            // end where those numbers do, rather than wrap around to the start of the drive.
            const uint64_t perCylinder = uint64_t{heads} * sectorsPerTrack;
            const bool wrapped = !(info.flags & rawio::kDrvInfGeometryValid) && info.sectors_h != 0;
            if (perCylinder != 0 && (wrapped || uint64_t{cylinders} * perCylinder > UINT32_MAX))
            {
                cylinders = static_cast<uint32_t>(UINT32_MAX / perCylinder);
                Log("0x%X drive reaches past 32-bit sector numbers; cylinders clamped to %u.", d,
                    cylinders);
            }
            if (info.sectors_l == 0 && info.sectors_h == 0)
            {
                char text[256];
                std::snprintf(text, sizeof text, res::LoadString(kStrWrongParameters),
                              d - kFirstBiosDrive);
                fw::MessageBox(std::string(text), fw::kMbOk | fw::kMbIconInformation);
            }
        }

        Log("Add  geometry to array.");
        drives.push_back(GEOMETRY{static_cast<int32_t>(d - kFirstBiosDrive), cylinders, heads,
                                  sectorsPerTrack, bytesPerSector});
    }
    return static_cast<int>(drives.size());
}
