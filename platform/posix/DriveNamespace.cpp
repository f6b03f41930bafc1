// Drive numbering over /sys/block.
#include "platform/DriveNamespace.h"

#include "platform/Errors.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace fs = std::filesystem;

namespace platform {

uint32_t IDriveNamespace::OpenDrive(uint32_t n, DeviceMode mode, DeviceHandle* out,
                                    bool* cacheBypassed) const
{
    const std::string path = DrivePath(n);
    if (path.empty())
    {
        *out = kInvalidDevice;
        return err::FileNotFound;
    }
    return DeviceOpen(path, mode, out, cacheBypassed);
}

uint32_t IDriveNamespace::QueryDriveSizeUnopened(uint32_t n, DeviceSize* out) const
{
    return DeviceQuerySizeUnopened(DrivePath(n), out);
}

namespace {

constexpr std::array<std::string_view, 6> kDiskPrefixes = {"sd", "nvme",   "vd",
                                                           "hd", "mmcblk", "xvd"};

bool StartsWith(const std::string& s, std::string_view prefix)
{
    return s.size() > prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool IsRealDisk(const std::string& name)
{
    // An eMMC's replay-protected memory block is listed beside the disk but is no disk.
    if (name.find("rpmb") != std::string::npos)
        return false;
    return std::any_of(kDiskPrefixes.begin(), kDiskPrefixes.end(),
                       [&](std::string_view p) { return StartsWith(name, p); });
}

bool IsLoop(const std::string& name)
{
    return StartsWith(name, "loop") && std::all_of(name.begin() + 4, name.end(),
                                                   [](unsigned char c) { return std::isdigit(c); });
}

// A loop device is attached when the kernel shows its backing file.
bool IsAttachedLoop(const fs::path& entry)
{
    std::error_code ec;
    return fs::exists(entry / "loop" / "backing_file", ec);
}

// Splits a name into runs of digits and of other characters.
std::vector<std::string> Runs(const std::string& s)
{
    std::vector<std::string> runs;
    for (size_t i = 0; i < s.size();)
    {
        const bool digit = std::isdigit(static_cast<unsigned char>(s[i]));
        size_t j = i;
        while (j < s.size() &&
               static_cast<bool>(std::isdigit(static_cast<unsigned char>(s[j]))) == digit)
            ++j;
        runs.push_back(s.substr(i, j - i));
        i = j;
    }
    return runs;
}

// The length of the device-family prefix of a name, 0 when it has none known.
size_t FamilyLength(const std::string& name)
{
    size_t best = 0;
    for (std::string_view p : kDiskPrefixes)
        if (StartsWith(name, p))
            best = std::max(best, p.size());
    if (StartsWith(name, "loop"))
        best = 4;
    return best;
}

} // namespace

bool DiskNameLess(const std::string& a, const std::string& b)
{
    // The device family first (nvme before sd), then the rest of the name.
    const size_t fa = FamilyLength(a);
    const size_t fb = FamilyLength(b);
    if (const int c = a.compare(0, fa, b, 0, fb); c != 0)
        return c < 0;
    const auto ra = Runs(a.substr(fa));
    const auto rb = Runs(b.substr(fb));
    for (size_t i = 0; i < ra.size() && i < rb.size(); ++i)
    {
        const std::string& x = ra[i];
        const std::string& y = rb[i];
        if (x == y)
            continue;
        const bool xd = std::isdigit(static_cast<unsigned char>(x[0]));
        const bool yd = std::isdigit(static_cast<unsigned char>(y[0]));
        if (xd != yd)
            return xd;
        if (xd)
        {
            // Numerically, without converting: leading zeros off, then length, then digits.
            const std::string_view xv =
                std::string_view(x).substr(std::min(x.find_first_not_of('0'), x.size()));
            const std::string_view yv =
                std::string_view(y).substr(std::min(y.find_first_not_of('0'), y.size()));
            if (xv.size() != yv.size())
                return xv.size() < yv.size();
            if (xv != yv)
                return xv < yv;
            continue;
        }
        // The kernel names sda … sdz, then sdaa: shorter letter runs come first.
        if (x.size() != y.size())
            return x.size() < y.size();
        return x < y;
    }
    return ra.size() < rb.size();
}

CSysfsDriveNamespace::CSysfsDriveNamespace(std::string sysBlockDir, std::string devDir)
    : m_strSysBlock(std::move(sysBlockDir)), m_strDev(std::move(devDir))
{}

std::vector<std::string> CSysfsDriveNamespace::ListDisks() const
{
    std::vector<std::string> disks;
    std::vector<std::string> loops;
    std::error_code ec;
    for (fs::directory_iterator it(m_strSysBlock, ec), end; !ec && it != end; it.increment(ec))
    {
        const std::string name = it->path().filename().string();
        if (IsRealDisk(name))
            disks.push_back(name);
        else if (IsLoop(name) && IsAttachedLoop(it->path()))
            loops.push_back(name);
    }
    std::sort(disks.begin(), disks.end(), DiskNameLess);
    std::sort(loops.begin(), loops.end(), DiskNameLess);
    disks.insert(disks.end(), loops.begin(), loops.end());
    return disks;
}

std::string CSysfsDriveNamespace::DrivePath(uint32_t n) const
{
    const auto disks = ListDisks();
    if (n >= disks.size())
        return {};
    return m_strDev + "/" + disks[n];
}

uint32_t CSysfsDriveNamespace::QueryDriveSizeUnopened(uint32_t n, DeviceSize* out) const
{
    const auto disks = ListDisks();
    if (n >= disks.size())
    {
        *out = DeviceSize{};
        return err::FileNotFound;
    }
    return ReadSysfsDiskSize(m_strSysBlock + "/" + disks[n], out);
}

const IDriveNamespace& SystemDriveNamespace()
{
    static const CSysfsDriveNamespace ns;
    return ns;
}

} // namespace platform
