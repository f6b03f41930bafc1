// Output checks, standard streams and the stdout archive of ratemark-cli.
#include "cli/Output.h"

#include "cli/Command.h"
#include "platform/Console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace cli {

namespace {

int g_stdoutError = 0;

const char* KindText(platform::EPathKind kind)
{
    switch (kind)
    {
    case platform::EPathKind::Directory:
        return "a folder";
    case platform::EPathKind::BlockDevice:
        return "a block device (a drive)";
    case platform::EPathKind::CharDevice:
        return "a character device";
    case platform::EPathKind::Other:
        return "a pipe or socket";
    case platform::EPathKind::Unreachable:
        return "out of reach";
    default:
        return "no regular file";
    }
}

bool IsPicture(EOutputFormat format)
{
    return format == EOutputFormat::Png || format == EOutputFormat::Svg;
}

// A key under which two outputs that would become one file meet: the file's identity when
// it exists, else its absolute path with the folders' links resolved.
std::string FileKey(const std::string& path)
{
    platform::SFileId id;
    if (platform::PathKind(path, &id) != platform::EPathKind::Missing)
        return "id:" + std::to_string(id.Device) + ":" + std::to_string(id.Inode);
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    const auto folder = std::filesystem::weakly_canonical(absolute.parent_path(), ec);
    return "path:" + (folder / absolute.filename()).string();
}

int Usage(const std::string& text)
{
    PrintErr("ratemark-cli: " + text + "\n");
    return kExitUsage;
}

} // namespace

const char* SOutput::What() const
{
    switch (Format)
    {
    case EOutputFormat::Dat:
        return "result file";
    case EOutputFormat::Json:
        return "JSON";
    case EOutputFormat::Png:
    case EOutputFormat::Svg:
        break;
    }
    return "picture";
}

int CheckOutputPaths(const std::vector<SOutput>& outputs, const std::string& drivePath)
{
    std::vector<platform::SFileId> driveFiles = platform::DriveBackingFiles();
    platform::SFileId drive;
    if (!drivePath.empty() && platform::DriveBackingFile(drivePath, &drive))
        driveFiles.push_back(drive);

    const SOutput* toStdout = nullptr;
    std::vector<std::pair<std::string, const SOutput*>> keys;
    for (const SOutput& out : outputs)
    {
        if (out.Path.empty())
            return Usage(Format("%s needs a file name", out.Option));
        if (out.ToStdout())
        {
            if (IsPicture(out.Format))
                return Usage(
                    Format("%s needs a file: a picture is not written to stdout", out.Option));
            if (toStdout)
                return Usage(Format("%s - and %s - cannot both write to stdout", toStdout->Option,
                                    out.Option));
            toStdout = &out;
            continue;
        }
        platform::SFileId id;
        const platform::EPathKind kind = platform::PathKind(out.Path, &id);
        if (kind != platform::EPathKind::Missing && kind != platform::EPathKind::Regular)
            return Usage(Format("%s %s: is %s; outputs are written only to regular files",
                                out.Option, out.Path.c_str(), KindText(kind)));
        if (kind == platform::EPathKind::Regular)
            for (const platform::SFileId& file : driveFiles)
                if (file == id)
                    return Usage(Format("%s %s: is a drive's own file; writing it would damage "
                                        "the drive",
                                        out.Option, out.Path.c_str()));
        const std::string key = FileKey(out.Path);
        for (const auto& [other, first] : keys)
            if (other == key)
                return Usage(Format("%s and %s name the same file %s", first->Option, out.Option,
                                    out.Path.c_str()));
        keys.emplace_back(key, &out);
    }
    return kExitOk;
}

void PrintOut(const std::string& text)
{
    if (g_stdoutError)
        return;
    g_stdoutError = platform::WriteStream(platform::EStdStream::Out, text.data(), text.size());
}

void PrintErr(const std::string& text)
{
    platform::WriteStream(platform::EStdStream::Err, text.data(), text.size());
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int n = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
    if (n > 0)
        std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

int StdoutResult()
{
    if (!g_stdoutError)
        return kExitOk;
    PrintErr(Format("ratemark-cli: cannot write to stdout: %s\n", std::strerror(g_stdoutError)));
    return kExitFailure;
}

std::string WriteFailure(const SOutput& output, int osError)
{
    return Format("ratemark-cli: cannot write the %s to %s: %s\n", output.What(),
                  output.ToStdout() ? "stdout" : output.Path.c_str(), std::strerror(osError));
}

void CStdoutArchive::Write(const void* data, size_t size)
{
    if (m_nError)
        throw fw::CFileException(m_nError, "stdout");
    m_buffer.append(static_cast<const char*>(data), size);
    if (m_buffer.size() >= 65536)
        Flush();
}

void CStdoutArchive::Flush()
{
    if (m_nError)
        throw fw::CFileException(m_nError, "stdout");
    if (m_buffer.empty())
        return;
    m_nError = platform::WriteStream(platform::EStdStream::Out, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    if (m_nError)
        throw fw::CFileException(m_nError, "stdout");
}

} // namespace cli
