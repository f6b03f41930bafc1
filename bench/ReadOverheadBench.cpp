// The back-end's per-read overhead: ReadChs of one track against a bare pread loop of the
// same sizes, both from an image held in memory (tmpfs), so that only the software path differs.
#include "diskaccess/NtHardDrive.h"
#include "platform/Memory.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr uint32_t kHeads = 255, kSectors = 63, kBytes = 512;
constexpr uint32_t kCylinders = 16;
constexpr uint32_t kTrackBytes = kSectors * kBytes;

// A 16-cylinder image in /dev/shm, filled so that every page is really there.
class CMemoryImage
{
public:
    CMemoryImage()
    {
        char pattern[] = "/dev/shm/ratemark-bench-XXXXXX";
        const int fd = mkstemp(pattern);
        m_path = pattern;
        std::string track(kTrackBytes, '\x5a');
        for (uint32_t t = 0; t < kCylinders * kHeads; ++t)
            if (write(fd, track.data(), track.size()) != static_cast<ssize_t>(track.size()))
                std::abort();
        close(fd);
    }
    ~CMemoryImage() { unlink(m_path.c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

const CMemoryImage& Image()
{
    static const CMemoryImage image;
    return image;
}

void BM_ReadChsTrack(benchmark::State& state)
{
    CNtHardDrive drive;
    GEOMETRY g;
    if (drive.AddPathDrive(Image().Path(), &g) != 0 ||
        !drive.Open(g.Drive, g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack, g.BytesPerSector))
    {
        state.SkipWithError("cannot open the image");
        return;
    }
    platform::CPageBuffer buffer(kTrackBytes);
    uint32_t track = 0, got = 0;
    drive.ResetReadTime();
    for (auto _ : state)
    {
        drive.ReadChs(track / kHeads, track % kHeads, 0, kSectors, buffer.Get(), &got);
        track = (track + 1) % (kCylinders * kHeads);
    }
    drive.Close();
    state.SetBytesProcessed(int64_t(state.iterations()) * kTrackBytes);
}

void BM_BarePreadTrack(benchmark::State& state)
{
    const int fd = open(Image().Path().c_str(), O_RDONLY | O_DIRECT);
    if (fd < 0)
    {
        state.SkipWithError("cannot open the image");
        return;
    }
    platform::CPageBuffer buffer(kTrackBytes);
    uint32_t track = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(pread(fd, buffer.Get(), kTrackBytes, off_t(track) * kTrackBytes));
        track = (track + 1) % (kCylinders * kHeads);
    }
    close(fd);
    state.SetBytesProcessed(int64_t(state.iterations()) * kTrackBytes);
}

} // namespace

BENCHMARK(BM_ReadChsTrack);
BENCHMARK(BM_BarePreadTrack);
