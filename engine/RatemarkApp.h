// What the document needs of the application and of the main frame.
#pragma once

#include "diskaccess/HardDrive.h"
#include "framework/Messages.h"
#include "framework/SettingsStore.h"

class IRatemarkApp
{
public:
    virtual ~IRatemarkApp() = default;
    // The shared drive back-end; the application owns it.
    virtual IHardDrive* GetHardDrive() const = 0;
    virtual int GetDriveCount() const = 0;
    // A copy of drive list entry index; std::invalid_argument outside the list.
    virtual GEOMETRY GetDriveGeometry(int index) const = 0;
    // Nonzero on the NT family (the physical-drive back-end).
    virtual BOOL IsNT() const = 0;
    virtual fw::ISettingsStore& GetSettings() = 0;
};

// The main frame as the document sees it: its drive selector, and the window that receives
// the messages 1046 to 1050 and WM_CANCELMODE.
class IRatemarkFrame : public virtual fw::IMessageTarget
{
public:
    // The selector's drive index; -1 when none is selected.
    virtual int GetSelectedDrive() = 0;
    virtual void EnableDriveSelector(BOOL bEnable) = 0;
};
