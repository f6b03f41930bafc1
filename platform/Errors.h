// Win32 error numbers, the error language of the whole program, and the mapping from the OS.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

namespace err {
inline constexpr uint32_t Success = 0;
inline constexpr uint32_t InvalidFunction = 1;
inline constexpr uint32_t FileNotFound = 2;
inline constexpr uint32_t PathNotFound = 3;
inline constexpr uint32_t TooManyOpenFiles = 4;
inline constexpr uint32_t AccessDenied = 5;
inline constexpr uint32_t InvalidHandle = 6;
inline constexpr uint32_t NotEnoughMemory = 8;
inline constexpr uint32_t WriteProtect = 19;
inline constexpr uint32_t NotReady = 21;
inline constexpr uint32_t Crc = 23;
inline constexpr uint32_t SectorNotFound = 27;
inline constexpr uint32_t NotSupported = 50;
inline constexpr uint32_t InvalidParameter = 87;
inline constexpr uint32_t DiskFull = 112;
inline constexpr uint32_t NegativeSeek = 131;
inline constexpr uint32_t Busy = 170;
inline constexpr uint32_t FilenameTooLong = 206;
inline constexpr uint32_t Directory = 267;
inline constexpr uint32_t IoDevice = 1117;
} // namespace err

// The Win32 error number that stands for the POSIX errno value e.
uint32_t Win32ErrorFromErrno(int e);

// A short English description of a Win32 error number, for console and log output.
std::string ErrorText(uint32_t code);

} // namespace platform
