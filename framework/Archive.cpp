// The file archive: our own buffer in front of the platform's output file (or, for reading,
// an unbuffered C stream), so every OS error is seen.
#include "framework/Archive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fw {

CFileException::CFileException(int osError, const std::string& path)
    : std::runtime_error(path + ": " + std::strerror(osError)), m_lOsError(osError),
      m_strFileName(path)
{}

CFileArchive::CFileArchive(const std::string& path, Mode mode, size_t bufferSize)
    : CArchive(mode), m_strPath(path), m_buffer(bufferSize ? bufferSize : 1)
{
    if (mode == store)
    {
        if (const int error = m_out.Create(path))
            throw CFileException(error, path);
        return;
    }
    m_pFile = std::fopen(path.c_str(), "rb");
    if (!m_pFile)
        throw CFileException(errno, path);
    std::setvbuf(m_pFile, nullptr, _IONBF, 0);
}

CFileArchive::~CFileArchive()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

void CFileArchive::Fail(int osError)
{
    m_bFailed = true;
    m_nError = osError ? osError : EIO;
    throw CFileException(m_nError, m_strPath);
}

void CFileArchive::Write(const void* data, size_t size)
{
    if (m_bFailed)
        throw CFileException(m_nError, m_strPath);
    if (!IsStoring() || m_out.TempPath().empty())
        Fail(EBADF);
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        if (m_nUsed == m_buffer.size())
            Flush();
        const size_t n = std::min(size, m_buffer.size() - m_nUsed);
        std::memcpy(m_buffer.data() + m_nUsed, bytes, n);
        m_nUsed += n;
        bytes += n;
        size -= n;
    }
}

void CFileArchive::Flush()
{
    if (m_bFailed)
        throw CFileException(m_nError, m_strPath);
    if (!IsStoring() || m_nUsed == 0)
        return;
    if (const int error = m_out.Write(m_buffer.data(), m_nUsed))
        Fail(error);
    m_nUsed = 0;
}

void CFileArchive::Close()
{
    int error = 0;
    if (IsStoring())
    {
        if (m_out.TempPath().empty())
            return;
        try
        {
            Flush();
        }
        catch (const CFileException& e)
        {
            error = e.m_lOsError;
        }
        if (error || m_bFailed)
            m_out.Abandon();
        else
            error = m_out.Commit();
    }
    else
    {
        if (!m_pFile)
            return;
        if (std::fclose(m_pFile) != 0)
            error = errno ? errno : EIO;
        m_pFile = nullptr;
    }
    if (error)
    {
        m_bFailed = true;
        m_nError = error;
        throw CFileException(error, m_strPath);
    }
    if (m_bFailed)
        throw CFileException(m_nError, m_strPath);
}

} // namespace fw
