// The settings store on Linux: an INI file, "$XDG_CONFIG_HOME/Zelqo/Ratemark.ini".
#pragma once

#include "framework/SettingsStore.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace fw {

class CIniSettingsStore : public ISettingsStore
{
public:
    static constexpr int kRecentFiles = 4;

    // The file: $XDG_CONFIG_HOME (or ~/.config) / company / application ".ini".
    static std::string DefaultPath(const std::string& company, const std::string& application);

    // Reads path now; a missing or unreadable file is an empty store.
    explicit CIniSettingsStore(const std::string& path);

    // The stored integer; nDefault when the key is missing or holds no 32-bit integer.
    int GetProfileInt(const std::string& section, const std::string& key, int nDefault) override;
    // Stores the value and rewrites the file at once, atomically (a complete temporary file
    // renamed over it); FALSE when the file cannot be written, the old one then untouched.
    BOOL WriteProfileInt(const std::string& section, const std::string& key, int value) override;

    // The recent file list (section "Recent File List", File1 to File4), most recent first.
    std::vector<std::string> GetRecentFiles();
    // Puts path at the head of the recent file list and writes the file.
    BOOL AddRecentFile(const std::string& path);

    const std::string& GetPath() const { return m_strPath; }

private:
    struct SSection
    {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const std::string* Find(const std::string& section, const std::string& key) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);
    BOOL Save();

    std::string m_strPath;
    std::mutex m_mutex;
    std::vector<SSection> m_sections;
};

} // namespace fw
