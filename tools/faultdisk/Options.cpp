// Parsing and checking faultdisk's command line.
#include "Options.h"

#include <charconv>
#include <cmath>
#include <sys/stat.h>

namespace faultdisk {

namespace {

bool ParseUnsigned(const std::string& text, uint64_t* value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && ptr == end;
}

bool ParseSpeed(const std::string& text, double* value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && ptr == end && std::isfinite(*value) && *value > 0;
}

// SIZE is bytes, or a number with K, M or G (powers of 1024) or s (sectors).
bool ParseSize(std::string text, uint32_t sectorSize, uint64_t* bytes)
{
    uint64_t unit = 1;
    if (!text.empty())
    {
        switch (text.back())
        {
        case 'K':
        case 'k':
            unit = 1ull << 10;
            break;
        case 'M':
        case 'm':
            unit = 1ull << 20;
            break;
        case 'G':
        case 'g':
            unit = 1ull << 30;
            break;
        case 's':
            unit = sectorSize;
            break;
        default:
            break;
        }
        if (unit != 1 || text.back() == 's')
            text.pop_back();
    }
    uint64_t number = 0;
    if (!ParseUnsigned(text, &number) || number > UINT64_MAX / unit)
        return false;
    *bytes = number * unit;
    return true;
}

// A range as given, with the end of the disk still open: FIRST, FIRST-LAST, FIRST+COUNT, FIRST-.
struct SRangeText
{
    std::string Text;
    uint64_t First = 0;
    uint64_t Last = 0;
    bool ToEnd = false;
};

bool ParseRange(const std::string& text, SRangeText* range)
{
    range->Text = text;
    const size_t sep = text.find_first_of("-+");
    if (sep == std::string::npos)
    {
        range->ToEnd = false;
        if (!ParseUnsigned(text, &range->First))
            return false;
        range->Last = range->First;
        return true;
    }
    if (!ParseUnsigned(text.substr(0, sep), &range->First))
        return false;
    const std::string rest = text.substr(sep + 1);
    if (text[sep] == '-')
    {
        range->ToEnd = rest.empty();
        return range->ToEnd || ParseUnsigned(rest, &range->Last);
    }
    uint64_t count = 0;
    if (!ParseUnsigned(rest, &count) || count == 0 || count - 1 > UINT64_MAX - range->First)
        return false;
    range->Last = range->First + (count - 1);
    return true;
}

// Closes an open range at the last sector and checks it against the disk.
std::string ResolveRange(const SRangeText& text, uint64_t sectors, SSectorRange* range)
{
    range->First = text.First;
    range->Last = text.ToEnd ? sectors - 1 : text.Last;
    if (range->First > range->Last)
        return "range '" + text.Text + "' ends before it starts";
    if (range->Last >= sectors)
        return "range '" + text.Text + "' goes past the last sector (" +
               std::to_string(sectors - 1) + ")";
    return "";
}

} // namespace

std::string Usage()
{
    return R"(Usage: faultdisk [OPTIONS] MOUNTPOINT

Serves one read-only file in MOUNTPOINT that behaves like a worn disk: chosen
sectors fail with EIO, chosen zones are read at chosen speeds, and the disk can
vanish. Every read reaches the daemon (direct I/O). Attach the file to a
read-only loop device with direct I/O to get a faulty block device:
    losetup --find --show --read-only --direct-io=on MOUNTPOINT/disk

What it serves:
  -s, --size SIZE         size of the file: bytes, or a number with K, M, G
                          (x 1024) or s (sectors); default: the image's size
  -i, --image FILE        serve FILE's bytes (opened read-only; zeros past its
                          end); default: zeros
  -n, --name NAME         name of the file (default: disk)
      --sector-size N     bytes per sector, the unit of every range
                          (default: 512)

How it fails (RANGE is FIRST, FIRST-LAST, FIRST+COUNT or FIRST- for "to the
last sector"; sectors count from 0; options may be repeated):
  -b, --bad RANGE         a read that touches RANGE fails with EIO, as a whole
  -z, --zone RANGE:MBPS   a read of RANGE takes bytes / MBPS (1 MB = 1048576
                          bytes); where zones overlap, the later one counts
      --speed MBPS        the speed outside every zone (default: no delay)
      --vanish-after N    the disk vanishes once N reads have been served
      --vanish-at SECTOR  the disk vanishes at the first read that touches
                          SECTOR; that read fails (EIO, ENODEV for enodev)
      --vanish-as HOW     exit (default): the daemon unmounts and ends, so
                          nothing answers any more: the file is gone and a loop
                          device over it fails every read with EIO;
                          eio, enodev: the file stays and every read from then
                          on fails with that error

Writes are never accepted: opening for writing, writing, truncating, creating,
removing, renaming and changing attributes fail with EROFS and are counted.

Watching it:
  MOUNTPOINT/.stats       counters while it runs: reads, bytes_read,
                          read_errors, write_attempts, vanished
      --stats FILE        write the same counters to FILE when the daemon ends
      --parent PID        with -f: end (and unmount) when process PID, the
                          daemon's parent, ends
  -f, --foreground        stay in the foreground (default: detach once mounted)
  -h, --help              show this text

Reads are served one at a time, as a disk does. SIGTERM, SIGINT and SIGHUP
unmount and end the daemon. Exit status: 0 after an unmount or a vanish, 1 when
serving fails, 2 for a bad command line.
)";
}

std::string ParseOptions(const std::vector<std::string>& args, SOptions* options)
{
    SOptions& o = *options;
    std::string sizeText, sectorSizeText;
    std::vector<SRangeText> bad;
    std::vector<std::pair<SRangeText, double>> zones;
    std::vector<std::string> positional;

    for (size_t i = 0; i < args.size(); ++i)
    {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos)
        {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            hasValue = true;
        }
        auto needValue = [&](std::string* out) -> std::string {
            if (!hasValue)
            {
                if (i + 1 >= args.size())
                    return "option '" + arg + "' needs a value";
                value = args[++i];
            }
            *out = value;
            return "";
        };
        auto noValue = [&]() -> std::string {
            return hasValue ? "option '" + arg + "' takes no value" : "";
        };

        std::string text, error;
        if (arg == "-h" || arg == "--help")
        {
            error = noValue();
            o.Help = true;
        }
        else if (arg == "-f" || arg == "--foreground")
        {
            error = noValue();
            o.Foreground = true;
        }
        else if (arg == "-s" || arg == "--size")
            error = needValue(&sizeText);
        else if (arg == "-i" || arg == "--image")
            error = needValue(&o.Image);
        else if (arg == "-n" || arg == "--name")
            error = needValue(&o.Name);
        else if (arg == "--sector-size")
            error = needValue(&sectorSizeText);
        else if (arg == "--stats")
            error = needValue(&o.StatsFile);
        else if (arg == "-b" || arg == "--bad")
        {
            error = needValue(&text);
            SRangeText range;
            if (error.empty() && !ParseRange(text, &range))
                error = "bad sector range '" + text + "'";
            bad.push_back(range);
        }
        else if (arg == "-z" || arg == "--zone")
        {
            error = needValue(&text);
            const size_t colon = text.rfind(':');
            SRangeText range;
            double speed = 0;
            if (error.empty() &&
                (colon == std::string::npos || !ParseRange(text.substr(0, colon), &range) ||
                 !ParseSpeed(text.substr(colon + 1), &speed)))
                error = "bad zone '" + text + "' (RANGE:MBPS with a speed above 0)";
            zones.emplace_back(range, speed);
        }
        else if (arg == "--speed")
        {
            error = needValue(&text);
            if (error.empty() && !ParseSpeed(text, &o.BaseMBps))
                error = "bad speed '" + text + "' (MB/s above 0)";
        }
        else if (arg == "--vanish-after")
        {
            error = needValue(&text);
            if (error.empty() && (!ParseUnsigned(text, &o.VanishAfter) || o.VanishAfter == 0))
                error = "bad read count '" + text + "' (1 or more)";
        }
        else if (arg == "--vanish-at")
        {
            error = needValue(&text);
            o.HasVanishAt = true;
            if (error.empty() && !ParseUnsigned(text, &o.VanishAt))
                error = "bad sector '" + text + "'";
        }
        else if (arg == "--vanish-as")
        {
            error = needValue(&text);
            if (text == "exit")
                o.VanishAs = EVanish::Exit;
            else if (text == "eio")
                o.VanishAs = EVanish::Eio;
            else if (text == "enodev")
                o.VanishAs = EVanish::Enodev;
            else if (error.empty())
                error = "bad --vanish-as '" + text + "' (exit, eio or enodev)";
        }
        else if (arg == "--parent")
        {
            error = needValue(&text);
            uint64_t pid = 0;
            if (error.empty() && (!ParseUnsigned(text, &pid) || pid == 0 || pid > INT32_MAX))
                error = "bad process id '" + text + "'";
            o.Parent = static_cast<long>(pid);
        }
        else if (arg.size() > 1 && arg[0] == '-')
            error = "unknown option '" + arg + "'";
        else
            positional.push_back(arg);
        if (!error.empty())
            return error;
    }
    if (o.Help)
        return "";

    if (positional.size() != 1)
        return positional.empty() ? "no mount point given" : "more than one mount point given";
    o.MountPoint = positional[0];
    if (o.Name.empty() || o.Name.find('/') != std::string::npos || o.Name == "." ||
        o.Name == ".." || o.Name == ".stats")
        return "bad file name '" + o.Name + "'";

    if (!sectorSizeText.empty())
    {
        uint64_t size = 0;
        if (!ParseUnsigned(sectorSizeText, &size) || size < 512 || size > 65536 ||
            (size & (size - 1)) != 0)
            return "bad sector size '" + sectorSizeText + "' (a power of two, 512 to 65536)";
        o.SectorSize = static_cast<uint32_t>(size);
    }

    if (!o.Image.empty())
    {
        struct stat st;
        if (stat(o.Image.c_str(), &st) != 0)
            return "cannot use image '" + o.Image + "': it does not exist or cannot be reached";
        if (!S_ISREG(st.st_mode))
            return "image '" + o.Image + "' is not a regular file";
        if (sizeText.empty())
        {
            o.Bytes = static_cast<uint64_t>(st.st_size);
            if (o.Bytes % o.SectorSize != 0)
                return "the image's size is not a whole number of sectors: give --size";
        }
    }
    if (!sizeText.empty() && !ParseSize(sizeText, o.SectorSize, &o.Bytes))
        return "bad size '" + sizeText + "'";
    if (o.Bytes == 0)
        return sizeText.empty() && o.Image.empty() ? "no size given (--size or --image)"
                                                   : "the size is 0";
    if (o.Bytes % o.SectorSize != 0)
        return "the size is not a whole number of " + std::to_string(o.SectorSize) +
               "-byte sectors";

    const uint64_t sectors = o.Sectors();
    for (const SRangeText& text : bad)
    {
        SSectorRange range;
        if (std::string error = ResolveRange(text, sectors, &range); !error.empty())
            return error;
        o.Bad.push_back(range);
    }
    for (const auto& [text, speed] : zones)
    {
        SZone zone;
        zone.MBps = speed;
        if (std::string error = ResolveRange(text, sectors, &zone.Range); !error.empty())
            return error;
        o.Zones.push_back(zone);
    }
    if (o.HasVanishAt && o.VanishAt >= sectors)
        return "--vanish-at " + std::to_string(o.VanishAt) + " is past the last sector (" +
               std::to_string(sectors - 1) + ")";
    return "";
}

} // namespace faultdisk
