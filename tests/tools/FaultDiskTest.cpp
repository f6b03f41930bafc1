// faultdisk as the suites use it: through a read-only loop device, with direct I/O.
#include "fixtures/FaultDisk.h"
#include "diskaccess/NtHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"
#include "platform/Errors.h"
#include "platform/Memory.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testing_fx;

namespace {

constexpr uint64_t kMiB = 1ull << 20;
constexpr uint64_t kSectorsPerCylinder = 255 * 63;

#define SKIP_WITHOUT_FAULTDISK()                                                                   \
    if (const std::string why = CFaultDisk::Unavailable(); !why.empty())                           \
    GTEST_SKIP() << why

// Unbuffered reads of whole sectors from a device.
class CDirectReader
{
public:
    explicit CDirectReader(const std::string& device, size_t maxBytes = 4 * kMiB)
        : m_fd(open(device.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC)), m_buffer(maxBytes)
    {}
    ~CDirectReader()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    const uint8_t* Data() const { return m_buffer.Get(); }

    // 0 when all count sectors arrived, otherwise the errno (EIO for a short read).
    int Read(uint64_t sector, uint64_t count)
    {
        const ssize_t got =
            pread(m_fd, m_buffer.Get(), count * 512, static_cast<off_t>(sector * 512));
        if (got < 0)
            return errno;
        return static_cast<uint64_t>(got) == count * 512 ? 0 : EIO;
    }

    // Reads sectors [first, first + count) in chunks as a disk tool does; returns the seconds
    // taken, or a negative number when a read failed.
    double TimedRead(uint64_t first, uint64_t count, uint64_t chunk = 2048)
    {
        const auto start = std::chrono::steady_clock::now();
        for (uint64_t s = first; s < first + count; s += chunk)
            if (Read(s, std::min(chunk, first + count - s)) != 0)
                return -1;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

private:
    int m_fd;
    platform::CPageBuffer m_buffer;
};

bool IsMounted(const std::string& path)
{
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line))
        if (line.find(" " + path + " ") != std::string::npos)
            return true;
    return false;
}

bool ProcessGone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const auto close = text.rfind(')');
    return text.empty() ||
           (close != std::string::npos && text.size() > close + 2 && text[close + 2] == 'Z');
}

// Waits (bounded) until nothing is left of a faultdisk: no loop device bound to it, no mount,
// no daemon.
void ExpectNothingLeft(const std::string& deviceName, const std::string& mountPoint, pid_t pid)
{
    const std::string backing = "/sys/block/" + deviceName + "/loop/backing_file";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto left = [&] {
        return (!deviceName.empty() && access(backing.c_str(), F_OK) == 0) ||
               IsMounted(mountPoint) || !ProcessGone(pid);
    };
    while (left() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(!deviceName.empty() && access(backing.c_str(), F_OK) == 0)
        << deviceName << " is still attached";
    EXPECT_FALSE(IsMounted(mountPoint)) << mountPoint << " is still mounted";
    EXPECT_TRUE(ProcessGone(pid)) << "faultdisk " << pid << " still runs";
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(FaultDiskTool, RefusesBadCommandLinesWithoutMounting)
{
    const std::string tool = CFaultDisk::ToolPath();
    if (tool.empty())
        GTEST_SKIP() << "faultdisk was not built (libfuse3 was not found)";
    std::string help;
    EXPECT_EQ(RunCommand("'" + tool + "' --help", &help), 0);
    EXPECT_NE(help.find("Usage: faultdisk [OPTIONS] MOUNTPOINT"), std::string::npos);
    EXPECT_NE(help.find("--vanish-as"), std::string::npos);

    CTempDir dir;
    const std::string mnt = "'" + dir.Path().string() + "'";
    const std::pair<std::string, std::string> cases[] = {
        {"--size 1M", "no mount point given"},
        {"--size 1M " + mnt + " " + mnt, "more than one mount point"},
        {mnt, "no size given"},
        {"--size 1000 " + mnt, "whole number of 512-byte sectors"},
        {"--size 0 " + mnt, "the size is 0"},
        {"--size lots " + mnt, "bad size 'lots'"},
        {"--size 1M --bad 10-5 " + mnt, "ends before it starts"},
        {"--size 1M --bad 2048 " + mnt, "past the last sector (2047)"},
        {"--size 1M --bad 2040+9 " + mnt, "past the last sector"},
        {"--size 1M --bad x " + mnt, "bad sector range 'x'"},
        {"--size 1M --zone 0-10 " + mnt, "bad zone '0-10'"},
        {"--size 1M --zone 0-10:0 " + mnt, "bad zone '0-10:0'"},
        {"--size 1M --speed -3 " + mnt, "bad speed '-3'"},
        {"--size 1M --vanish-after 0 " + mnt, "bad read count"},
        {"--size 1M --vanish-at 2048 " + mnt, "past the last sector"},
        {"--size 1M --vanish-as gone " + mnt, "exit, eio or enodev"},
        {"--size 1M --sector-size 1000 " + mnt, "bad sector size"},
        {"--size 1M --name a/b " + mnt, "bad file name"},
        {"--size 1M --name .stats " + mnt, "bad file name"},
        {"--image /nonexistent/disk.img " + mnt, "does not exist"},
        {"--image /dev/null " + mnt, "not a regular file"},
        {"--size 1M --frobnicate " + mnt, "unknown option '--frobnicate'"},
        {"--size 1M -f=1 " + mnt, "unknown option"},
        {"--size 1M --foreground=yes " + mnt, "takes no value"},
        {"--size 1M --bad", "option '--bad' needs a value"},
    };
    for (const auto& [args, message] : cases)
    {
        SCOPED_TRACE(args);
        std::string out;
        EXPECT_EQ(RunCommand("'" + tool + "' " + args + " 2>&1", &out), 2);
        EXPECT_EQ(out.rfind("faultdisk: ", 0), 0u) << out;
        EXPECT_NE(out.find(message), std::string::npos) << out;
        EXPECT_NE(out.find("Try 'faultdisk --help'."), std::string::npos);
    }
    EXPECT_FALSE(IsMounted(dir.Path().string()));
}

TEST(FaultDisk, BadRangesFailExactlyAtTheirSectors)
{
    SKIP_WITHOUT_FAULTDISK();
    SFaultDiskConfig config;
    config.Bytes = 16 * kMiB;
    config.Bad = {{1000, 1009}, {20000, 20000}};
    CFaultDisk disk(config);
    ASSERT_TRUE(disk.Ok()) << disk.Error();

    struct SCase
    {
        uint64_t First, Count;
        int Error;
    };
    const SCase cases[] = {
        {999, 1, 0},   {1000, 1, EIO},  {1005, 1, EIO}, {1009, 1, EIO},  {1010, 1, 0},
        {990, 10, 0},  {990, 11, EIO},  {1009, 2, EIO}, {900, 256, EIO}, {1010, 256, 0},
        {19999, 1, 0}, {20000, 1, EIO}, {20001, 1, 0},  {0, 999, 0},     {32767, 1, 0},
    };
    int failures = 0;
    {
        CDirectReader reader(disk.Device());
        ASSERT_TRUE(reader.IsOpen());
        for (const SCase& c : cases)
        {
            SCOPED_TRACE(testing::Message() << "sectors " << c.First << "+" << c.Count);
            EXPECT_EQ(reader.Read(c.First, c.Count), c.Error);
            failures += c.Error != 0;
        }
    }
    const SFaultDiskStats stats = disk.Stats();
    ASSERT_TRUE(stats.Valid);
    EXPECT_GE(stats.ReadErrors, static_cast<uint64_t>(failures));
    EXPECT_EQ(stats.WriteAttempts, 0u);
    EXPECT_FALSE(stats.Vanished);

    disk.Stop();
    ASSERT_TRUE(WIFEXITED(disk.WaitStatus())) << disk.Log();
    EXPECT_EQ(WEXITSTATUS(disk.WaitStatus()), 0) << disk.Log();
}

TEST(FaultDisk, ZonesSetTheReadTimes)
{
    SKIP_WITHOUT_FAULTDISK();
    // 8 MiB: the outer half at 20 MB/s, the inner at 10 MB/s, and 256 KiB at 2 MB/s in it.
    SFaultDiskConfig config;
    config.Bytes = 8 * kMiB;
    config.Zones = {{0, 8191, 20}, {8192, 16383, 10}, {12288, 12799, 2}};
    CFaultDisk disk(config);
    ASSERT_TRUE(disk.Ok()) << disk.Error();
    CDirectReader reader(disk.Device());
    ASSERT_TRUE(reader.IsOpen());

    const double outer = reader.TimedRead(0, 4096);    // 2 MiB: 100 ms
    const double inner = reader.TimedRead(8192, 4096); // 2 MiB: 200 ms
    const double slow = reader.TimedRead(12288, 512);  // 256 KiB: 125 ms
    ASSERT_GT(outer, 0);
    ASSERT_GT(inner, 0);
    ASSERT_GT(slow, 0);
    // A read never takes less than its share; the rest is overhead, kept small against it.
    EXPECT_GE(outer, 0.095);
    EXPECT_GE(inner, 0.19);
    EXPECT_GE(slow, 0.12);
    EXPECT_NEAR(inner / outer, 2.0, 0.5);
    EXPECT_GT(slow / 256, 3 * inner / 2048) << "the slow spot is slower than its zone";
}

TEST(FaultDisk, VanishesAfterReads)
{
    SKIP_WITHOUT_FAULTDISK();
    constexpr uint64_t kVanishAfter = 64;
    struct SCase
    {
        EFaultVanish As;
        int Error;
    };
    for (const SCase& c : {SCase{EFaultVanish::Exit, EIO}, SCase{EFaultVanish::Eio, EIO},
                           SCase{EFaultVanish::Enodev, ENODEV}})
    {
        SCOPED_TRACE(static_cast<int>(c.As));
        std::string deviceName, mountPoint;
        pid_t pid = -1;
        {
            SFaultDiskConfig config;
            config.Bytes = 4 * kMiB;
            config.VanishAfterReads = kVanishAfter;
            config.VanishAs = c.As;
            CFaultDisk disk(config);
            ASSERT_TRUE(disk.Ok()) << disk.Error();
            deviceName = disk.DeviceName();
            mountPoint = disk.MountPoint();
            pid = disk.Pid();
            CDirectReader reader(disk.Device());
            ASSERT_TRUE(reader.IsOpen());
            // Whatever else read the new device counts too (udev's probe reads a handful).
            const uint64_t before = disk.Stats().Reads;
            ASSERT_LT(before, kVanishAfter);
            for (uint64_t s = 0; s < kVanishAfter - before; ++s)
                ASSERT_EQ(reader.Read(s, 1), 0) << "read " << s;
            EXPECT_EQ(reader.Read(100, 1), c.Error);
            EXPECT_EQ(reader.Read(0, 1), c.Error) << "gone is gone";

            if (c.As == EFaultVanish::Exit)
            {
                ASSERT_TRUE(disk.WaitExit(10000)) << "the daemon did not end";
                EXPECT_EQ(disk.WaitStatus(), 0) << disk.Log();
                EXPECT_NE(disk.Log().find("the disk vanished after " +
                                          std::to_string(kVanishAfter) + " reads"),
                          std::string::npos)
                    << disk.Log();
                struct stat st;
                EXPECT_NE(stat(disk.File().c_str(), &st), 0) << "the file is gone";
            }
            else
                EXPECT_TRUE(disk.Running());
            const SFaultDiskStats stats = disk.Stats();
            ASSERT_TRUE(stats.Valid);
            EXPECT_TRUE(stats.Vanished);
            EXPECT_EQ(stats.Reads, c.As == EFaultVanish::Exit ? kVanishAfter : kVanishAfter + 2);
            EXPECT_GE(stats.BytesRead, (kVanishAfter - before) * 512);
        }
        ExpectNothingLeft(deviceName, mountPoint, pid);
    }
}

TEST(FaultDisk, NtHardDriveSeesBadSectorsAndAVanishedDrive)
{
    SKIP_WITHOUT_FAULTDISK();
    // Three cylinders; bad sectors 10 to 12 of cylinder 1, head 7; the drive vanishes when
    // cylinder 2, head 100 is reached.
    const uint64_t badFirst = (1 * 255 + 7) * 63 + 10;
    struct SCase
    {
        EFaultVanish As;
        uint32_t VanishedError;
    };
    for (const SCase& c : {SCase{EFaultVanish::Exit, platform::err::Crc},
                           SCase{EFaultVanish::Enodev, platform::err::FileNotFound}})
    {
        SCOPED_TRACE(static_cast<int>(c.As));
        SFaultDiskConfig config;
        config.Bytes = 3 * kSectorsPerCylinder * 512;
        config.Bad = {{badFirst, badFirst + 2}};
        config.VanishAtSector = (2 * 255 + 100) * 63;
        config.VanishAs = c.As;
        CFaultDisk disk(config);
        ASSERT_TRUE(disk.Ok()) << disk.Error();

        CNtHardDrive drive;
        GEOMETRY g;
        ASSERT_EQ(drive.AddPathDrive(disk.Device(), &g), 0u);
        EXPECT_EQ(g.Cylinders, 3u);
        ASSERT_TRUE(drive.Open(g.Drive, g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack,
                               g.BytesPerSector));
        EXPECT_TRUE(drive.IsCacheBypassed());
        platform::CPageBuffer track(63 * 512);
        uint32_t got = 99;
        EXPECT_TRUE(drive.ReadChs(1, 6, 0, 63, track.Get(), &got));
        EXPECT_EQ(got, 63u);
        EXPECT_FALSE(drive.ReadChs(1, 7, 0, 63, track.Get(), &got));
        EXPECT_EQ(drive.GetErrorCode(), platform::err::Crc);
        EXPECT_EQ(drive.GetErrorCylinder(), 1u);
        EXPECT_EQ(drive.GetErrorHead(), 7u);
        EXPECT_EQ(got, 0u);
        EXPECT_TRUE(drive.ReadChs(1, 8, 0, 63, track.Get(), &got));
        EXPECT_EQ(drive.GetErrorCode(), 0u);
        EXPECT_TRUE(drive.ReadChs(1, 7, 13, 50, track.Get(), &got)) << "past the bad sectors";
        EXPECT_FALSE(drive.ReadLba(static_cast<uint32_t>(badFirst + 2), 1, track.Get(), &got));
        EXPECT_EQ(drive.GetErrorCode(), platform::err::Crc);
        EXPECT_EQ(drive.GetErrorCylinder(), 1u);
        EXPECT_EQ(drive.GetErrorHead(), 7u);

        EXPECT_TRUE(drive.ReadChs(2, 99, 0, 63, track.Get(), &got));
        EXPECT_FALSE(drive.ReadChs(2, 100, 0, 63, track.Get(), &got));
        EXPECT_EQ(drive.GetErrorCode(), c.VanishedError);
        EXPECT_EQ(drive.GetErrorCylinder(), 2u);
        EXPECT_EQ(drive.GetErrorHead(), 100u);
        EXPECT_FALSE(drive.ReadChs(0, 0, 0, 63, track.Get(), &got));
        EXPECT_EQ(drive.GetErrorCode(), c.VanishedError);
        drive.Close();
    }
}

TEST(FaultDisk, ServesTheImageBytes)
{
    SKIP_WITHOUT_FAULTDISK();
    CTempDir dir;
    const std::string image = dir.File("disk.img");
    CreateSparseFile(image, 4 * kMiB);
    WriteAt(image, 0, TableSector({{0x83, 63, 8000}}));
    std::vector<uint8_t> pattern(3000);
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(i * 7 + 1);
    WriteAt(image, kMiB + 100, pattern);
    WriteAt(image, 4 * kMiB - 512, std::vector<uint8_t>(512, 0xEE));
    const std::vector<uint8_t> original = FileBytes(image);

    {
        SFaultDiskConfig config;
        config.Image = image;
        config.Bytes = 6 * kMiB; // 2 MiB past the image's end: zeros
        CFaultDisk disk(config);
        ASSERT_TRUE(disk.Ok()) << disk.Error();
        CDirectReader reader(disk.Device(), 6 * kMiB);
        ASSERT_EQ(reader.Read(0, 6 * kMiB / 512), 0);
        std::vector<uint8_t> expected = original;
        expected.resize(6 * kMiB, 0);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reader.Data()));
    }
    {
        SFaultDiskConfig config;
        config.Image = image;
        config.AttachLoop = false;
        CFaultDisk disk(config);
        ASSERT_TRUE(disk.Ok()) << disk.Error();
        EXPECT_EQ(disk.Device(), "");
        struct stat st;
        ASSERT_EQ(stat(disk.File().c_str(), &st), 0);
        EXPECT_EQ(static_cast<uint64_t>(st.st_size), 4 * kMiB) << "the image's size by default";
    }
    EXPECT_EQ(FileBytes(image), original);
}

TEST(FaultDisk, RefusesAndCountsEveryWrite)
{
    SKIP_WITHOUT_FAULTDISK();
    SFaultDiskConfig config;
    config.Bytes = 4 * kMiB;
    CFaultDisk disk(config);
    ASSERT_TRUE(disk.Ok()) << disk.Error();
    const std::string file = disk.File();
    const std::string mnt = disk.MountPoint();

    auto fails = [](int result) { return result < 0 ? errno : 0; };
    auto openFails = [](const std::string& path, int flags) {
        const int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd >= 0)
            close(fd);
        return fd < 0 ? errno : 0;
    };
    const timeval times[2] = {{1, 0}, {2, 0}};
    const std::pair<const char*, int> attempts[] = {
        {"open read-write", openFails(file, O_RDWR)},
        {"open write-only", openFails(file, O_WRONLY)},
        {"open truncating", openFails(file, O_RDONLY | O_TRUNC)},
        {"create", openFails(mnt + "/new", O_WRONLY | O_CREAT)},
        {"truncate", fails(truncate(file.c_str(), 0))},
        {"chmod", fails(chmod(file.c_str(), 0666))},
        {"utimes", fails(utimes(file.c_str(), times))},
        {"unlink", fails(unlink(file.c_str()))},
        {"rename", fails(rename(file.c_str(), (mnt + "/moved").c_str()))},
        {"mkdir", fails(mkdir((mnt + "/dir").c_str(), 0755))},
    };
    for (const auto& [what, error] : attempts)
        EXPECT_EQ(error, EROFS) << what;
    EXPECT_EQ(disk.Stats().WriteAttempts, std::size(attempts));

    // The loop device is read-only: its writes never reach the daemon.
    const int fd = open(disk.Device().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int readOnly = 0;
    EXPECT_EQ(ioctl(fd, BLKROGET, &readOnly), 0);
    EXPECT_EQ(readOnly, 1);
    close(fd);
    const int rw = open(disk.Device().c_str(), O_RDWR | O_CLOEXEC);
    if (rw >= 0)
    {
        const std::vector<uint8_t> sector(512, 0xAB);
        EXPECT_LT(pwrite(rw, sector.data(), sector.size(), 0), 0);
        close(rw);
    }
    EXPECT_EQ(disk.Stats().WriteAttempts, std::size(attempts));
    CDirectReader reader(disk.Device());
    ASSERT_EQ(reader.Read(0, 1), 0);
    EXPECT_EQ(reader.Data()[0], 0);
}

TEST(FaultDisk, NothingIsLeftWhenItsOwnerDies)
{
    SKIP_WITHOUT_FAULTDISK();
    int channel[2];
    ASSERT_EQ(pipe2(channel, O_CLOEXEC), 0);
    const pid_t owner = fork();
    ASSERT_GE(owner, 0);
    if (owner == 0)
    {
        // The owner dies without a chance to tear anything down.
        close(channel[0]);
        SFaultDiskConfig config;
        config.Bytes = 4 * kMiB;
        config.Zones = {{0, 8191, 1}};
        auto* disk = new CFaultDisk(config);
        std::string report = disk->Ok() ? disk->DeviceName() + "\n" + disk->MountPoint() + "\n" +
                                              std::to_string(disk->Pid()) + "\n"
                                        : "error " + disk->Error() + "\n";
        if (write(channel[1], report.data(), report.size()) < 0)
            _exit(1);
        CDirectReader reader(disk->Device());
        reader.Read(0, 8); // leaves the daemon in a slow read, maybe
        kill(getpid(), SIGKILL);
    }
    close(channel[1]);
    std::string report;
    char chunk[512];
    ssize_t n;
    while ((n = read(channel[0], chunk, sizeof chunk)) > 0)
        report.append(chunk, static_cast<size_t>(n));
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(owner, &status, 0), owner);
    EXPECT_TRUE(WIFSIGNALED(status));

    std::istringstream lines(report);
    std::string deviceName, mountPoint, pidText;
    std::getline(lines, deviceName);
    std::getline(lines, mountPoint);
    std::getline(lines, pidText);
    ASSERT_EQ(deviceName.rfind("loop", 0), 0u) << report;
    ExpectNothingLeft(deviceName, mountPoint, static_cast<pid_t>(std::stol(pidText)));
    // The owner's temporary folder is all that stays; it is empty once the mount is gone.
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(mountPoint).parent_path(), ec);
}
