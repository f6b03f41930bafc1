// errno to Win32 error mapping, so that every layer above speaks one error language.
#include "platform/Errors.h"

#include <cerrno>

namespace platform {

uint32_t Win32ErrorFromErrno(int e)
{
    switch (e)
    {
    case 0:
        return err::Success;
    case EACCES:
    case EPERM:
        return err::AccessDenied;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return err::FileNotFound;
    case ENOTDIR:
        return err::PathNotFound;
    case EIO:
        return err::Crc;
    case EINVAL:
        return err::InvalidParameter;
    case ENOMEM:
        return err::NotEnoughMemory;
    case EMFILE:
    case ENFILE:
        return err::TooManyOpenFiles;
    case EBADF:
        return err::InvalidHandle;
    case EROFS:
        return err::WriteProtect;
    case ENOMEDIUM:
        return err::NotReady;
    case ENOSPC:
        return err::DiskFull;
    case EBUSY:
        return err::Busy;
    case ENAMETOOLONG:
        return err::FilenameTooLong;
    case EISDIR:
        return err::Directory;
    case EOPNOTSUPP:
        return err::NotSupported;
    default:
        return err::IoDevice;
    }
}

std::string ErrorText(uint32_t code)
{
    switch (code)
    {
    case err::Success:
        return "no error";
    case err::InvalidFunction:
        return "not a disk or disk image";
    case err::FileNotFound:
        return "no such device or file";
    case err::PathNotFound:
        return "path not found";
    case err::TooManyOpenFiles:
        return "too many open files";
    case err::AccessDenied:
        return "access denied";
    case err::InvalidHandle:
        return "invalid handle";
    case err::NotEnoughMemory:
        return "not enough memory";
    case err::WriteProtect:
        return "write protected";
    case err::NotReady:
        return "device not ready";
    case err::Crc:
        return "data error (cyclic redundancy check)";
    case err::SectorNotFound:
        return "sector not found";
    case err::NotSupported:
        return "not supported";
    case err::InvalidParameter:
        return "invalid parameter";
    case err::DiskFull:
        return "disk full";
    case err::NegativeSeek:
        return "position out of range";
    case err::Busy:
        return "device busy";
    case err::FilenameTooLong:
        return "file name too long";
    case err::Directory:
        return "is a directory";
    default:
        return "I/O device error";
    }
}

} // namespace platform
