// The settings store on Linux: an INI file, "$XDG_CONFIG_HOME/Zelqo/Ratemark.ini".
#pragma once

#include "framework/SettingsStore.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class wxFileConfig;

class CIniSettingsStore : public fw::ISettingsStore
{
public:
    // The file: $XDG_CONFIG_HOME (or ~/.config) / company / application ".ini".
    static std::string DefaultPath(const std::string& company, const std::string& application);

    // Reads path now; a missing or unreadable file is an empty store.
    explicit CIniSettingsStore(const std::string& path);
    ~CIniSettingsStore() override;
    CIniSettingsStore(const CIniSettingsStore&) = delete;
    CIniSettingsStore& operator=(const CIniSettingsStore&) = delete;

    // The stored integer; nDefault when the key is missing or holds no 32-bit integer.
    int GetProfileInt(const std::string& section, const std::string& key, int nDefault) override;
    // Stores the value and rewrites the file at once, atomically (a temporary file renamed
    // over it); FALSE when the file cannot be written.
    BOOL WriteProfileInt(const std::string& section, const std::string& key, int value) override;

    // The recent file list ("Recent File List", File1 to File4), most recent first.
    std::vector<std::string> GetRecentFiles();
    // Puts path at the head of the recent file list and writes the file.
    BOOL AddRecentFile(const std::string& path);

    const std::string& GetPath() const { return m_strPath; }

    static constexpr int kRecentFiles = 4;

private:
    BOOL Flush();

    std::string m_strPath;
    std::mutex m_mutex;
    std::unique_ptr<wxFileConfig> m_pConfig;
};
