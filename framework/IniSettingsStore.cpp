// The INI settings store: sections of "key=value" lines, rewritten whole through a temporary
// file that is renamed over the old one.
#include "framework/IniSettingsStore.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fw {

namespace {

const char kRecentSection[] = "Recent File List";

std::string Trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return std::string();
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

} // namespace

std::string CIniSettingsStore::DefaultPath(const std::string& company,
                                           const std::string& application)
{
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // The XDG rule: a relative value is invalid and ignored.
    if (xdg && xdg[0] == '/')
        base = xdg;
    else
    {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    return base + "/" + company + "/" + application + ".ini";
}

CIniSettingsStore::CIniSettingsStore(const std::string& path) : m_strPath(path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
    {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']')
        {
            m_sections.push_back({Trim(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || m_sections.empty())
            continue;
        m_sections.back().entries.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
}

const std::string* CIniSettingsStore::Find(const std::string& section, const std::string& key) const
{
    for (const SSection& s : m_sections)
        if (s.name == section)
            for (const auto& [k, v] : s.entries)
                if (k == key)
                    return &v;
    return nullptr;
}

void CIniSettingsStore::Set(const std::string& section, const std::string& key,
                            const std::string& value)
{
    auto it = std::find_if(m_sections.begin(), m_sections.end(),
                           [&](const SSection& s) { return s.name == section; });
    if (it == m_sections.end())
    {
        m_sections.push_back({section, {}});
        it = m_sections.end() - 1;
    }
    for (auto& [k, v] : it->entries)
        if (k == key)
        {
            v = value;
            return;
        }
    it->entries.emplace_back(key, value);
}

int CIniSettingsStore::GetProfileInt(const std::string& section, const std::string& key,
                                     int nDefault)
{
    std::lock_guard lock(m_mutex);
    const std::string* text = Find(section, key);
    if (!text || text->empty())
        return nDefault;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text->c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX)
        return nDefault;
    return static_cast<int>(v);
}

BOOL CIniSettingsStore::WriteProfileInt(const std::string& section, const std::string& key,
                                        int value)
{
    std::lock_guard lock(m_mutex);
    Set(section, key, std::to_string(value));
    return Save();
}

std::vector<std::string> CIniSettingsStore::GetRecentFiles()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> files;
    for (int i = 1; i <= kRecentFiles; ++i)
        if (const std::string* path = Find(kRecentSection, "File" + std::to_string(i));
            path && !path->empty())
            files.push_back(*path);
    return files;
}

BOOL CIniSettingsStore::AddRecentFile(const std::string& path)
{
    std::vector<std::string> files = GetRecentFiles();
    std::lock_guard lock(m_mutex);
    std::erase(files, path);
    files.insert(files.begin(), path);
    if (files.size() > static_cast<size_t>(kRecentFiles))
        files.resize(kRecentFiles);
    for (size_t i = 0; i < files.size(); ++i)
        Set(kRecentSection, "File" + std::to_string(i + 1), files[i]);
    return Save();
}

BOOL CIniSettingsStore::Save()
{
    namespace fs = std::filesystem;
    const fs::path file(m_strPath);
    std::error_code ec;
    if (file.has_parent_path())
    {
        fs::create_directories(file.parent_path(), ec);
        if (ec)
            return FALSE;
    }
    // The new contents go to a temporary file beside the old one, renamed over it only when
    // complete and on the disk: a crash or a full disk never leaves half a settings file.
    std::string temp = m_strPath + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return FALSE;
    std::string text;
    for (const SSection& s : m_sections)
    {
        text += "[" + s.name + "]\n";
        for (const auto& [k, v] : s.entries)
            text += k + "=" + v + "\n";
    }
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();)
    {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), m_strPath.c_str()) == 0;
    if (!ok)
        unlink(temp.c_str());
    return ok ? TRUE : FALSE;
}

} // namespace fw
