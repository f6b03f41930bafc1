// The archive a document serialises into, and its file form, which reports file errors.
#pragma once

#include "platform/OutputFile.h"

#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace fw {

// A file that refused an operation.
class CFileException : public std::runtime_error
{
public:
    CFileException(int osError, const std::string& path);
    int m_lOsError; // the OS's error number (errno)
    std::string m_strFileName;
};

class CArchive
{
public:
    enum Mode
    {
        load,
        store,
    };

    explicit CArchive(Mode mode) : m_mode(mode) {}
    virtual ~CArchive() = default;

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }

    // Writes size bytes; throws CFileException when the file refuses them, and again on every
    // later write once one has failed.
    virtual void Write(const void* data, size_t size) = 0;
    // Writes out what is buffered; throws CFileException.
    virtual void Flush() = 0;
    // True once a write or flush has failed.
    virtual bool HasFailed() const = 0;

private:
    Mode m_mode;
};

// An archive over a file, buffered: a file error shows up at the write that fills the buffer
// or at Close. A file written through it is whole or absent: the writes go to a temporary
// beside it, and only a Close without any error puts it in place of the old file.
class CFileArchive : public CArchive
{
public:
    static constexpr size_t kBufferSize = 4096;

    // Opens path for reading, or prepares to replace it for writing; throws CFileException
    // (also when path exists and is no regular file).
    CFileArchive(const std::string& path, Mode mode, size_t bufferSize = kBufferSize);
    // Closes without reporting; a file being written that was not closed stays as it was.
    ~CFileArchive() override;
    CFileArchive(const CFileArchive&) = delete;
    CFileArchive& operator=(const CFileArchive&) = delete;

    void Write(const void* data, size_t size) override;
    void Flush() override;
    bool HasFailed() const override { return m_bFailed; }

    // Flushes and closes the file; a file being written then replaces the old one. Throws
    // CFileException when a step fails or a write failed before; the old file then stays.
    void Close();

    const std::string& GetPath() const { return m_strPath; }

private:
    void Fail(int osError);

    std::string m_strPath;
    std::FILE* m_pFile = nullptr; // reading
    platform::COutputFile m_out;  // writing
    std::vector<char> m_buffer;
    size_t m_nUsed = 0;
    bool m_bFailed = false;
    int m_nError = 0;
};

} // namespace fw
