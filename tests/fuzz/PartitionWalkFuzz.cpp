// Fuzz target: the partition walk over an arbitrary disk image.
#include "fixtures/LbaDrive.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// A drive whose sectors are the fuzzer's bytes; reads past the end fail like a short device.
class CImageDrive : public testing_fx::CLbaDrive
{
public:
    CImageDrive(const uint8_t* data, size_t size, uint32_t heads, uint32_t sectorsPerTrack)
        : m_pData(data), m_nSize(size)
    {
        m_Geometry =
            GEOMETRY{0, static_cast<uint32_t>(size / 512 / 16065), heads, sectorsPerTrack, 512};
    }

    BOOL ReadLba(uint32_t sector, uint32_t count, void* buffer, uint32_t* sectorsRead) override
    {
        const uint64_t begin = uint64_t{sector} * 512;
        const uint64_t want = uint64_t{count} * 512;
        const uint64_t have = begin < m_nSize ? m_nSize - begin : 0;
        const uint64_t got = have < want ? have / 512 * 512 : want;
        if (got)
            std::memcpy(buffer, m_pData + begin, got);
        *sectorsRead = static_cast<uint32_t>(got / 512);
        return got == want;
    }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Two geometries: the usual one, and one without sectors per cylinder.
    for (uint32_t heads : {255u, 0u})
    {
        CImageDrive drive(data, size, heads, 63);
        drive.AnalysePartitions();
        const int count = drive.GetPartitionCount();
        for (int i = 0; i < count; ++i)
        {
            volatile uint32_t sink = drive.GetPartitionStartCylinder(i) +
                                     drive.GetPartitionCylinders(i) + drive.GetPartitionColor(i);
            (void)sink;
        }
    }
    return 0;
}
