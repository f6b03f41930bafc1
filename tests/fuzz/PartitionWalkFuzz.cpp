// Fuzz target: the partition walk, and the GUID partition table behind a protective entry, over
// an arbitrary disk image.
#include "fixtures/LbaDrive.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// A drive whose sectors are the fuzzer's bytes; reads past the end fail like a short device.
class CImageDrive : public testing_fx::CLbaDrive
{
public:
    CImageDrive(const uint8_t* data, size_t size, uint32_t heads, uint32_t sectorsPerTrack,
                uint32_t bytesPerSector)
        : m_pData(data), m_nSize(size)
    {
        m_Geometry = GEOMETRY{0, static_cast<uint32_t>(size / bytesPerSector / 16065), heads,
                              sectorsPerTrack, bytesPerSector};
    }

    BOOL ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override
    {
        return ReadLba64(sector, count, buffer, sectorsRead);
    }

    BOOL ReadLba64(uint64_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override
    {
        const uint64_t bps = m_Geometry.BytesPerSector;
        const uint64_t have = sector < m_nSize / bps ? m_nSize - sector * bps : 0;
        const uint64_t want = uint64_t{count} * bps;
        const uint64_t got = have < want ? have / bps * bps : want;
        if (got)
            std::memcpy(buffer, m_pData + sector * bps, got);
        *sectorsRead = static_cast<uint32_t>(got / bps);
        return got == want;
    }

    uint64_t GetDeviceSectors() override { return m_nSize / m_Geometry.BytesPerSector; }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The usual geometry and one without sectors per cylinder, on 512- and 4096-byte sectors.
    struct
    {
        uint32_t Heads;
        uint32_t BytesPerSector;
    } const drives[] = {{255, 512}, {0, 512}, {255, 4096}};
    for (const auto& d : drives)
    {
        CImageDrive drive(data, size, d.Heads, 63, d.BytesPerSector);
        drive.AnalysePartitions();
        const int count = drive.GetPartitionCount();
        for (int i = 0; i < count; ++i)
        {
            const uint32_t start = drive.GetPartitionStartCylinder(i);
            const uint32_t cylinders = drive.GetPartitionCylinders(i);
            volatile uint32_t sink = start + cylinders + drive.GetPartitionColor(i);
            (void)sink;
            // A GUID table's partition lies on the device and is painted inside the plot.
            const SPartEntry& e = drive.Partitions()[static_cast<size_t>(i)];
            if (e.Gpt && (e.Sectors() == 0 || e.Start() >= drive.GetDeviceSectors() ||
                          e.Sectors() > drive.GetDeviceSectors() - e.Start() ||
                          (d.Heads != 0 && drive.Geometry().Cylinders > 0 &&
                           uint64_t{start} + cylinders + 1 > drive.Geometry().Cylinders)))
                __builtin_trap();
        }
    }
    return 0;
}
