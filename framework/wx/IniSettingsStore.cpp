// The INI settings store, through wxFileConfig (which writes through a renamed temporary file).
#include "framework/wx/IniSettingsStore.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/wfstream.h>

namespace {

const char kRecentSection[] = "Recent File List";

wxString Key(const std::string& section, const std::string& key)
{
    return "/" + wxString::FromUTF8(section) + "/" + wxString::FromUTF8(key);
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
    const wxString file = wxString::FromUTF8(path);
    if (wxFileName::FileExists(file))
    {
        wxFileInputStream in(file);
        if (in.IsOk())
            m_pConfig = std::make_unique<wxFileConfig>(in);
    }
    if (!m_pConfig)
        m_pConfig =
            std::make_unique<wxFileConfig>(wxString(), wxString(), wxString(), wxString(), 0);
}

CIniSettingsStore::~CIniSettingsStore() = default;

int CIniSettingsStore::GetProfileInt(const std::string& section, const std::string& key,
                                     int nDefault)
{
    std::lock_guard lock(m_mutex);
    wxString text;
    if (!m_pConfig->Read(Key(section, key), &text))
        return nDefault;
    const std::string s = text.Trim().Trim(false).ToStdString();
    if (s.empty())
        return nDefault;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX)
        return nDefault;
    return static_cast<int>(v);
}

BOOL CIniSettingsStore::WriteProfileInt(const std::string& section, const std::string& key,
                                        int value)
{
    std::lock_guard lock(m_mutex);
    if (!m_pConfig->Write(Key(section, key), static_cast<long>(value)))
        return FALSE;
    return Flush();
}

std::vector<std::string> CIniSettingsStore::GetRecentFiles()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> files;
    for (int i = 1; i <= kRecentFiles; ++i)
    {
        wxString path;
        if (m_pConfig->Read(Key(kRecentSection, "File" + std::to_string(i)), &path) &&
            !path.empty())
            files.push_back(path.utf8_string());
    }
    return files;
}

BOOL CIniSettingsStore::AddRecentFile(const std::string& path)
{
    std::vector<std::string> files = GetRecentFiles();
    std::lock_guard lock(m_mutex);
    std::erase(files, path);
    files.insert(files.begin(), path);
    if (files.size() > kRecentFiles)
        files.resize(kRecentFiles);
    for (size_t i = 0; i < files.size(); ++i)
        m_pConfig->Write(Key(kRecentSection, "File" + std::to_string(i + 1)),
                         wxString::FromUTF8(files[i]));
    return Flush();
}

BOOL CIniSettingsStore::Flush()
{
    const wxFileName file(wxString::FromUTF8(m_strPath));
    if (!file.DirExists() && !wxFileName::Mkdir(file.GetPath(), 0700, wxPATH_MKDIR_FULL))
        return FALSE;
    // The new contents go to a temporary file in the same folder, renamed over the old file
    // only when complete, so a crash never leaves half a settings file.
    wxTempFileOutputStream out(file.GetFullPath());
    if (!out.IsOk())
        return FALSE;
    if (!m_pConfig->Save(out))
    {
        out.Discard();
        return FALSE;
    }
    return out.Commit() ? TRUE : FALSE;
}
