// Files the program writes, whole or not at all: each is written under a temporary name in its
// target's folder and renamed into place once complete and flushed; and what a path names, so
// that no output can land on a drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What a path names after following every link.
enum class EPathKind
{
    Missing, // nothing there (or a link that leads nowhere)
    Regular,
    Directory,
    BlockDevice,
    CharDevice,
    Other,       // a pipe, a socket
    Unreachable, // it cannot be looked at (no permission on a folder on the way)
};

// The identity of a file: two paths name the same file when their ids are equal.
struct SFileId
{
    uint64_t Device = 0;
    uint64_t Inode = 0;
    friend bool operator==(const SFileId&, const SFileId&) = default;
};

// What path names, following links; *id receives its identity when it exists.
EPathKind PathKind(const std::string& path, SFileId* id = nullptr);

// The files whose change would change a drive: for every whole-disk device that is backed by a
// file (a loop device), that file. Block devices themselves need no entry: no output is ever
// written to one.
std::vector<SFileId> DriveBackingFiles();

// The file behind the drive at path: the loop device's backing file, or path itself when it
// is an image file; false when neither applies.
bool DriveBackingFile(const std::string& path, SFileId* id);

// An output file under construction. Create makes an empty temporary beside the target;
// Write appends to it; Commit flushes it to the disk and renames it over the target. A file
// that is not committed (a failure, the object's destruction, a signal that ends the
// program after InstallTerminationCleanup) leaves no temporary behind and the target as it
// was. Errors are the OS's error numbers (errno); they are sticky.
class COutputFile
{
public:
    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Creates the temporary for target. A target that is a link is written where the link
    // leads; one that exists and is no regular file is refused (EISDIR for a folder, EINVAL
    // for anything else). Returns 0 or the error.
    int Create(const std::string& target);
    // Appends size bytes; returns 0 or the error (also every later call once one failed).
    int Write(const void* data, size_t size);
    // The temporary's path.
    const std::string& TempPath() const { return m_strTemp; }
    // A path for writers that open the file by name themselves: it reaches this very file
    // even when its name in the folder has been replaced meanwhile (by a link to a drive),
    // where the system offers such a path, else TempPath. "" when there is no temporary.
    std::string WriterPath() const;
    // The file the commit replaces.
    const std::string& TargetPath() const { return m_strTarget; }
    // Flushes the file to the disk and renames it over the target. On failure the temporary
    // is removed and the target left untouched. Returns 0 or the error.
    int Commit();
    // Removes the temporary; harmless when there is none.
    void Abandon();
    // The first error met, 0 when none.
    int Error() const { return m_nError; }

private:
    int Fail(int error);

    std::string m_strTarget;
    std::string m_strTemp;
    int m_fd = -1;
    int m_nSlot = -1;
    int m_nError = 0;
};

// Removes every temporary of an output file not yet committed or abandoned. Safe inside a
// signal handler; for the handlers of signals that end the program.
void RemovePendingTemporaries() noexcept;

} // namespace platform
