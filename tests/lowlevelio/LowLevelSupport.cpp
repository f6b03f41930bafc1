// Shared helpers of the low-level I/O tests.
#include "LowLevelSupport.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace lowlevel_fx {

CScopedEnvironment::CScopedEnvironment()
{
    std::vector<std::string> names;
    for (char** e = environ; *e; ++e)
    {
        const std::string entry = *e;
        if (entry.rfind("RAWIO16_", 0) == 0 || entry.rfind("RATEMARK_", 0) == 0)
            names.push_back(entry.substr(0, entry.find('=')));
    }
    for (const std::string& name : names)
        Unset(name);
}

CScopedEnvironment::~CScopedEnvironment()
{
    for (const auto& [name, value] : m_saved)
    {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}

void CScopedEnvironment::Remember(const std::string& name)
{
    if (m_saved.count(name))
        return;
    const char* value = std::getenv(name.c_str());
    m_saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
}

void CScopedEnvironment::Set(const std::string& name, const std::string& value)
{
    Remember(name);
    setenv(name.c_str(), value.c_str(), 1);
}

void CScopedEnvironment::Unset(const std::string& name)
{
    Remember(name);
    unsetenv(name.c_str());
}

CRecordingMessageBox::CRecordingMessageBox()
{
    fw::SetMessageBoxService(this);
}

CRecordingMessageBox::~CRecordingMessageBox()
{
    fw::SetMessageBoxService(nullptr);
}

int CRecordingMessageBox::Show(const std::string& text, unsigned type)
{
    m_shown.push_back({text, type});
    return fw::kIdOk;
}

std::vector<std::string>& RecordedLog()
{
    static std::vector<std::string> lines;
    return lines;
}

void RecordLog(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    RecordedLog().push_back(line);
}

void CreateNumberedImage(const std::string& path, uint64_t sectors)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> sector(512, 0);
    for (uint64_t n = 0; n < sectors; ++n)
    {
        for (int i = 0; i < 8; ++i)
            sector[static_cast<size_t>(i)] = static_cast<char>(n >> (8 * i));
        out.write(sector.data(), static_cast<std::streamsize>(sector.size()));
    }
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

uint64_t SectorNumber(const uint8_t* sector)
{
    uint64_t n = 0;
    for (int i = 7; i >= 0; --i)
        n = n << 8 | sector[i];
    return n;
}

std::vector<std::string> TraceLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<STracedRead> TracedReads(const std::string& path)
{
    std::vector<STracedRead> reads;
    for (const std::string& line : TraceLines(path))
    {
        STracedRead r{};
        unsigned long long sector = 0;
        if (std::sscanf(line.c_str(), "42h %X sector=%llu count=%u result=%X", &r.Drive, &sector,
                        &r.Count, &r.Result) == 4)
        {
            r.Sector = sector;
            reads.push_back(r);
        }
    }
    return reads;
}

std::string LibraryDirectory()
{
    return RAWIO_LIBRARY_DIR;
}

} // namespace lowlevel_fx
