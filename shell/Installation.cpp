// First-run registration and the uninstall procedure.
#include "shell/Installation.h"

#include "framework/MessageBox.h"
#include "platform/Process.h"
#include "platform/RemovalScript.h"
#include "platform/ReplaceFile.h"
#include "platform/UserDirs.h"
#include "shell/AppCore.h"
#include "shell/CreateLink.h"
#include "shell/FileVersion.h"
#include "shell/InstalledFiles.h"
#include "shell/Log.h"

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kStrConfirmUninstall = 10045;

// Rewrites an INI file without the named sections; a missing file is left missing.
void RemoveIniSections(const std::string& path, std::initializer_list<const char*> sections)
{
    std::ifstream in(path);
    if (!in)
        return;
    std::string kept;
    std::string line;
    bool skipping = false;
    while (std::getline(in, line))
    {
        if (!line.empty() && line[0] == '[')
        {
            skipping = false;
            for (const char* section : sections)
                if (line == std::string("[") + section + "]")
                    skipping = true;
        }
        if (!skipping)
            kept += line + "\n";
    }
    in.close();
    platform::ReplaceFile(path, kept, 0600);
}

// Clears the read-only mark and deletes; failures are ignored.
void DeleteFileForced(const fs::path& file)
{
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(file, ec)))
        return;
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove(file, ec);
}

} // namespace

SInstallContext SInstallContext::Current()
{
    SInstallContext context;
    context.strExecutable = platform::ExecutablePath();
    context.nProcessId = platform::CurrentProcessId();
    context.scope = platform::DefaultEntryScope();
    return context;
}

std::string SInstallContext::EntryPath() const
{
    return platform::UninstallEntryPath(scope, strCompany, strTitle);
}

std::string SInstallContext::SettingsPath() const
{
    const std::string config = platform::UserConfigDir();
    return config.empty() ? std::string() : config + "/" + strCompany + "/" + strTitle + ".ini";
}

std::string UninstallCommand(const std::string& executable)
{
    return executable + " /" + "UNINST";
}

void RegisterForUninstall(const SInstallContext& context, ICreateIconsPrompt& prompt)
{
    // The package manager owns a system installation.
    if (IsSystemInstallation(context.strExecutable))
        return;
    const std::string entry = context.EntryPath();
    if (entry.empty() || platform::UninstallEntryExists(entry))
        return;

    SCreateIconsChoice choice;
    if (!prompt.Ask(choice))
        return;
    if (choice.m_bDesktop)
        CCreateLink(context.strTitle, CCreateLink::kDesktop)
            .CreateShortcutTo(context.strExecutable);
    if (choice.m_bStartMenu)
        CCreateLink(context.strTitle, CCreateLink::kPrograms)
            .CreateShortcutTo(context.strExecutable);

    if (!platform::CreateUninstallEntry(entry))
        return;
    std::string version;
    if (!GetFileVersionString(version))
        version = res::ProgramVersion();
    if (!platform::SetUninstallValue(entry, "DisplayName", context.strTitle) ||
        !platform::SetUninstallValue(entry, "DisplayVersion", version) ||
        context.strExecutable.empty())
        return;
    platform::SetUninstallValue(entry, "UninstallString", UninstallCommand(context.strExecutable));
}

void Uninstall(const SInstallContext& context, CAppCore* app)
{
    if (!app)
        return;
    if (fw::MessageBox(kStrConfirmUninstall, fw::kMbYesNo | fw::kMbIconQuestion) != fw::kIdYes)
        return;

    // The low-level library is loaded by the back-end; it must be unloaded to be deleted.
    app->SetDrive(nullptr);

    // The entry is the record of being installed: without it there is nothing to remove.
    if (!platform::DeleteUninstallEntry(context.EntryPath()))
        return;

    // The settings: their sections, the file, and the company's folder when nothing else of
    // the company is left in it.
    std::error_code ec;
    const std::string settings = context.SettingsPath();
    if (!settings.empty())
    {
        RemoveIniSections(settings, {"Settings", "Recent File List"});
        fs::remove(settings, ec);
        fs::remove(fs::path(settings).parent_path(), ec); // only when empty
    }

    CCreateLink(context.strTitle, CCreateLink::kDesktop).RemoveShortcut();
    CCreateLink(context.strTitle, CCreateLink::kPrograms).RemoveShortcut();

    if (context.strExecutable.empty())
        return;
    const fs::path exe = fs::absolute(context.strExecutable, ec);
    if (ec)
        return;
    std::string folder = exe.parent_path().string();
    while (folder.size() > 1 && folder.back() == platform::kPathSeparator)
        folder.pop_back();

    std::string temp = platform::TempDir();
    if (temp.empty())
        return;
    if (temp.back() != platform::kPathSeparator)
        temp += platform::kPathSeparator;
    const std::string script = temp + platform::RemovalScriptName();

    for (const std::string& name : UninstalledProgramFiles())
        DeleteFileForced(fs::path(folder) / name);
    for (const std::string& name : PortableFolderFiles())
        DeleteFileForced(fs::path(folder) / name);

    const std::string text =
        platform::RemovalScriptText(context.nProcessId, exe.string(),
                                    (fs::path(folder) / kLogFileName).string(), folder, script);
    if (!platform::WriteScriptFile(script, text))
        return;
    platform::StartDetachedScript(script, temp);
}
