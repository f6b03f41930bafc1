// Opening, sizing and reading devices and image files read-only.
#include "platform/Device.h"

#include "fixtures/DiskImage.h"
#include "fixtures/LoopDevice.h"
#include "fixtures/TempDir.h"
#include "platform/Errors.h"
#include "platform/Memory.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_fx;

TEST(Device, ImageFileSizeAndPositionedRead)
{
    CTempDir dir;
    const std::string path = dir.File("disk.img");
    CreateSparseFile(path, 1 << 20);
    WriteAt(path, 4096, std::vector<uint8_t>(512, 0x5A));

    for (auto mode : {platform::DeviceMode::Buffered, platform::DeviceMode::Unbuffered})
    {
        platform::DeviceHandle device;
        bool bypassed = false;
        ASSERT_EQ(platform::DeviceOpen(path, mode, &device, &bypassed), 0u);
        EXPECT_EQ(bypassed, mode == platform::DeviceMode::Unbuffered);
        platform::DeviceSize size;
        ASSERT_EQ(platform::DeviceQuerySize(device, &size), 0u);
        EXPECT_EQ(size.Bytes, 1u << 20);
        EXPECT_EQ(size.BytesPerSector, 512u);

        platform::CPageBuffer buffer(4096);
        uint32_t got = 0;
        EXPECT_EQ(platform::DeviceRead(device, 4096, buffer.Get(), 1024, &got), 0u);
        EXPECT_EQ(got, 1024u);
        EXPECT_EQ(buffer.Get()[0], 0x5A);
        EXPECT_EQ(buffer.Get()[600], 0x00);
        // The end of the file: fewer bytes than asked is a failed read.
        EXPECT_EQ(platform::DeviceRead(device, (1 << 20) - 512, buffer.Get(), 1024, &got),
                  platform::err::SectorNotFound);
        EXPECT_EQ(got, 512u);
        platform::DeviceClose(device);
    }
}

TEST(Device, RefusesWhatIsNoDisk)
{
    CTempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct
    {
        std::string Path;
        uint32_t Error;
    } cases[] = {
        {dir.File("missing"), platform::err::FileNotFound},
        {dir.File("missing/deeper"), platform::err::FileNotFound},
        {"", platform::err::FileNotFound},
        {dir.Path().string(), platform::err::Directory},
        {"/dev/null", platform::err::InvalidFunction},
        {"/dev/zero", platform::err::InvalidFunction},
        {fifo, platform::err::InvalidFunction}, // and the open does not wait for a writer
    };
    for (const auto& c : cases)
    {
        platform::DeviceHandle device = 42;
        EXPECT_EQ(platform::DeviceOpen(c.Path, platform::DeviceMode::Unbuffered, &device), c.Error)
            << c.Path;
        EXPECT_EQ(device, platform::kInvalidDevice);
    }
}

TEST(Device, PageBuffersAreAlignedAndZeroed)
{
    platform::CPageBuffer buffer(100);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.Get()) % platform::PageSize(), 0u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(buffer.Get()[i], 0);
    EXPECT_EQ(platform::AllocPages(0), nullptr);
    platform::FreePages(nullptr);
}

TEST(Device, SizeUnopenedOfWholeDisksOnly)
{
    CTempDir dir;
    const std::string file = dir.File("disk.img");
    CreateSparseFile(file, 64ull << 20);
    WriteAt(file, 0, TableSector({{0x83, 2048, 65536}}));
    platform::DeviceSize size;
    EXPECT_EQ(platform::DeviceQuerySizeUnopened(file, &size), platform::err::InvalidFunction);
    EXPECT_EQ(platform::DeviceQuerySizeUnopened("/dev/null", &size),
              platform::err::InvalidFunction);
    EXPECT_EQ(platform::DeviceQuerySizeUnopened(dir.File("missing"), &size),
              platform::err::FileNotFound);
    if (!IsRoot())
        GTEST_SKIP() << "needs root for loop devices";

    // What sysfs tells anyone is what the opened device answers.
    for (const char* sectorSize : {"512", "4096"})
    {
        CLoopDevice loop(file, std::string("--sector-size ") + sectorSize);
        ASSERT_FALSE(loop.Path().empty()) << loop.Error();
        platform::DeviceHandle device;
        ASSERT_EQ(platform::DeviceOpen(loop.Path(), platform::DeviceMode::Buffered, &device), 0u);
        platform::DeviceSize opened;
        EXPECT_EQ(platform::DeviceQuerySize(device, &opened), 0u);
        platform::DeviceClose(device);
        ASSERT_EQ(platform::DeviceQuerySizeUnopened(loop.Path(), &size), 0u) << sectorSize;
        EXPECT_EQ(size.Bytes, opened.Bytes);
        EXPECT_EQ(size.BytesPerSector, opened.BytesPerSector);
        EXPECT_EQ(size.BytesPerSector, static_cast<uint32_t>(std::stoul(sectorSize)));
    }

    // A partition is no whole disk.
    CLoopDevice loop(file);
    ASSERT_FALSE(loop.Path().empty()) << loop.Error();
    ASSERT_EQ(RunCommand("partx -a '" + loop.Path() + "' 2>&1"), 0);
    EXPECT_EQ(platform::DeviceQuerySizeUnopened(loop.Path() + "p1", &size),
              platform::err::InvalidFunction);
    RunCommand("partx -d '" + loop.Path() + "' 2>&1");
}

TEST(Device, HandleOwnerClosesOnDestructionAndOnReplacement)
{
    CTempDir dir;
    const std::string path = dir.File("disk.img");
    CreateSparseFile(path, 1 << 20);
    auto open = [&] {
        platform::DeviceHandle device;
        EXPECT_EQ(platform::DeviceOpen(path, platform::DeviceMode::Buffered, &device), 0u);
        return device;
    };
    auto isOpen = [](platform::DeviceHandle device) {
        return fcntl(static_cast<int>(device), F_GETFD) != -1;
    };
    const platform::DeviceHandle first = open();
    platform::DeviceHandle second = platform::kInvalidDevice;
    {
        platform::CDeviceHandle owner(first);
        second = open();
        owner.Reset(second);
        EXPECT_FALSE(isOpen(first));
        EXPECT_TRUE(isOpen(second));
        platform::CDeviceHandle moved(std::move(owner));
        EXPECT_FALSE(owner.IsOpen());
        EXPECT_EQ(moved.Get(), second);
    }
    EXPECT_FALSE(isOpen(second));
}

TEST(Device, GoneIsToldFromTheReadErrorTheSizeQueryOrTheSystemEntry)
{
    CTempDir dir;
    const std::string path = dir.File("disk.img");
    CreateSparseFile(path, 1 << 20);
    std::unique_ptr<CLoopDevice> loop;
    if (geteuid() == 0)
        loop = std::make_unique<CLoopDevice>(path);

    struct SCase
    {
        const char* what;
        platform::SDeviceFaults faults;
        uint32_t readError;
        bool imageGone, blockGone;
    };
    const SCase cases[] = {
        {"ENODEV", {0, ENODEV, 0, false}, platform::err::FileNotFound, true, true},
        {"ENXIO", {0, ENXIO, 0, false}, platform::err::FileNotFound, true, true},
        {"EIO, device answers", {0, EIO, 0, false}, platform::err::Crc, false, false},
        {"EIO, no size", {0, EIO, ENODEV, false}, platform::err::Crc, true, true},
        {"EIO, no system entry", {0, EIO, 0, true}, platform::err::Crc, false, true},
    };
    for (const std::string& device : {path, loop ? loop->Path() : std::string()})
    {
        if (device.empty())
            continue;
        platform::CDeviceHandle handle;
        {
            platform::DeviceHandle h;
            ASSERT_EQ(platform::DeviceOpen(device, platform::DeviceMode::Buffered, &h), 0u);
            handle.Reset(h);
        }
        const bool block = device != path;
        platform::CPageBuffer buffer(4096);
        for (SCase c : cases)
        {
            SCOPED_TRACE(std::string(c.what) + " on " + device);
            c.faults.m_nGoodReads = 1;
            platform::CDeviceFaultScope scope(c.faults);
            uint32_t got = 0;
            EXPECT_EQ(platform::DeviceRead(handle.Get(), 0, buffer.Get(), 512, &got), 0u);
            const uint32_t error = platform::DeviceRead(handle.Get(), 0, buffer.Get(), 512, &got);
            EXPECT_EQ(error, c.readError);
            EXPECT_EQ(platform::DeviceIsGone(handle.Get(), error),
                      block ? c.blockGone : c.imageGone);
        }
        // Without faults the real device answers: its system entry is found.
        EXPECT_FALSE(platform::DeviceIsGone(handle.Get(), platform::err::Crc));
    }
    if (!loop)
        GTEST_SKIP() << "the block device half needs root for a loop device";
    ASSERT_FALSE(loop->Path().empty()) << loop->Error();
}
