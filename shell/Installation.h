// Registration for removal on the first start, and the uninstall procedure.
#pragma once

#include "platform/Types.h"
#include "platform/UninstallEntry.h"

#include <string>

class CAppCore;

// The choice of the "Create icons" dialog, with its initial states.
struct SCreateIconsChoice
{
    BOOL m_bDesktop = FALSE;
    BOOL m_bStartMenu = TRUE;
};

// The "Create icons" dialog, shown by the desktop program.
class ICreateIconsPrompt
{
public:
    virtual ~ICreateIconsPrompt() = default;
    // Shows the dialog modally with the boxes set from choice. False for Cancel; otherwise
    // choice holds the boxes as the user left them.
    virtual bool Ask(SCreateIconsChoice& choice) = 0;
};

// Who and where the procedures work for.
struct SInstallContext
{
    std::string strTitle = "Ratemark";
    std::string strCompany = "Zelqo";
    std::string strExecutable; // full path of the program; "" when it cannot be had
    int nProcessId = 0;        // the process the removal script waits for
    platform::EEntryScope scope = platform::EEntryScope::User;

    // The running program: its executable, its process, and the scope its rights allow.
    static SInstallContext Current();

    // The uninstall entry's file.
    std::string EntryPath() const;
    // The settings file: $XDG_CONFIG_HOME/<company>/<title>.ini; "" when unknown.
    std::string SettingsPath() const;
};

// The uninstall switch's command line: executable, " /", "UNINST".
std::string UninstallCommand(const std::string& executable);

// First-run registration: when the entry does not exist, asks prompt; Cancel does nothing (the
// dialog comes back at the next start); OK creates the chosen shortcuts, then the entry with
// DisplayName, DisplayVersion and UninstallString, stopping at the first write that fails.
// Nothing is reported. A program of a system installation never registers.
void RegisterForUninstall(const SInstallContext& context, ICreateIconsPrompt& prompt);

// The uninstall procedure: asks question 10045; on Yes deletes app's drive back-end, the
// entry (stopping when there is none or it cannot be deleted), the settings, the company's
// settings folder when empty, both shortcuts and the files shipped beside the executable, then
// writes the removal script into the temporary folder and starts it without waiting; the
// script removes the executable and its folder once this process has ended. Nothing is
// reported; app nullptr does nothing.
void Uninstall(const SInstallContext& context, CAppCore* app);
