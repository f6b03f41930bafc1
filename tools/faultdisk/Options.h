// The command line of faultdisk: the file it serves and how that file fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace faultdisk {

// Sectors First to Last, both included.
struct SSectorRange
{
    uint64_t First = 0;
    uint64_t Last = 0;

    bool Touches(uint64_t first, uint64_t last) const { return first <= Last && last >= First; }
};

struct SZone
{
    SSectorRange Range;
    double MBps = 0; // 1 MB = 1 048 576 bytes
};

// What a vanished disk looks like.
enum class EVanish
{
    Exit,  // the daemon unmounts and ends: nothing answers any more
    Eio,   // the file stays; every read fails with EIO
    Enodev // the file stays; every read fails with ENODEV
};

struct SOptions
{
    std::string MountPoint;
    std::string Name = "disk";
    std::string Image; // "" serves zeros
    std::string StatsFile;
    uint64_t Bytes = 0;
    uint32_t SectorSize = 512;
    std::vector<SSectorRange> Bad;
    std::vector<SZone> Zones; // a later zone wins where zones overlap
    double BaseMBps = 0;      // outside the zones; 0 = no delay
    uint64_t VanishAfter = 0; // 0 = never
    bool HasVanishAt = false;
    uint64_t VanishAt = 0;
    EVanish VanishAs = EVanish::Exit;
    long Parent = 0;
    bool Foreground = false;
    bool Help = false;

    uint64_t Sectors() const { return SectorSize ? Bytes / SectorSize : 0; }
};

// Parses the arguments after the program name. Without --size the image's size is taken, so
// the image is looked at here. Returns "" or a message that says what is wrong.
std::string ParseOptions(const std::vector<std::string>& args, SOptions* options);

// The --help text.
std::string Usage();

} // namespace faultdisk
