// errno to Win32 error mapping.
#include "platform/Errors.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(Errors, MapsErrnoToWin32Numbers)
{
    const struct
    {
        int Errno;
        uint32_t Win32;
    } cases[] = {
        {0, 0},          {EACCES, 5},   {EPERM, 5},        {ENOENT, 2}, {ENXIO, 2},
        {ENODEV, 2},     {EIO, 23},     {EINVAL, 87},      {ENOMEM, 8}, {ENOTDIR, 3},
        {ENOMEDIUM, 21}, {EISDIR, 267}, {EOVERFLOW, 1117},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::Win32ErrorFromErrno(c.Errno), c.Win32) << "errno " << c.Errno;
}

TEST(Errors, EveryNumberHasAText)
{
    for (uint32_t code : {0u, 2u, 5u, 23u, 27u, 87u, 12345u})
        EXPECT_FALSE(platform::ErrorText(code).empty());
    EXPECT_EQ(platform::ErrorText(27), "sector not found");
}
