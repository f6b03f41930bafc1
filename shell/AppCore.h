// What the application owns for the whole run, and the start-up steps that open no window.
#pragma once

#include "diskaccess/HardDrive.h"
#include "engine/RatemarkApp.h"

#include <memory>
#include <string>

class CNtHardDrive;

// Removes, from the last entry to the first, every drive with 0 in one of its four size fields.
void RemoveIncompleteDrives(CDriveList& drives);

class CAppCore : public IRatemarkApp
{
public:
    CAppCore();
    ~CAppCore();
    CAppCore(const CAppCore&) = delete;
    CAppCore& operator=(const CAppCore&) = delete;

    // Uses drive as the back-end instead of the one start-up would create (tests).
    void SetDrive(std::unique_ptr<IHardDrive> drive);

    // Creates the back-end for the running platform. Returns false when the platform has none.
    bool CreateBackEnd();
    // Creates the back-end of a platform id: the BIOS back-end for Windows 9x (1), the
    // physical-drive back-end for NT (2). Returns false, with the reason in BackEndError, when
    // the BIOS back-end cannot be made (the user has seen why) or for another id (after
    // message 10004).
    bool CreateBackEndFor(uint32_t platformId);
    const std::string& BackEndError() const { return m_strBackEndError; }

    // Discovers the drives into the drive list and drops incomplete ones. Returns what
    // discovery reported before the clean-up; 0 means no drive answered.
    int DiscoverDrives();
    // What would give access to the drives, when the last discovery found none because the
    // user may not open them and nothing could open them for the user; "" otherwise. Shown
    // after the message that no drive was found.
    std::string NoDriveAdvice() const;

    int GetDriveCount() const override { return static_cast<int>(m_arrDrives.size()); }
    // A copy of entry index; std::invalid_argument outside the list.
    GEOMETRY GetDriveGeometry(int index) const override;
    const CDriveList& Drives() const { return m_arrDrives; }
    // Appends a drive the user named (a device or image path) to the list; returns its index.
    int AddDrive(const GEOMETRY& geometry);

    IHardDrive* GetDrive() const { return m_pDrive.get(); }
    IHardDrive* GetHardDrive() const override { return m_pDrive.get(); }
    BOOL IsNT() const override { return m_bIsNT; }
    // The settings store: in memory unless the front end installs its own.
    fw::ISettingsStore& GetSettings() override { return m_pSettings ? *m_pSettings : m_settings; }
    void SetSettings(fw::ISettingsStore* settings) { m_pSettings = settings; }
    // The physical-drive back-end when that is the one in use, else nullptr.
    CNtHardDrive* GetNtDrive() const { return m_pNtDrive; }

    // The device path of a drive number of the back-end, "" when it has none.
    std::string DrivePath(int32_t drive) const;

    BOOL m_bIsNT = 1;

private:
    std::unique_ptr<IHardDrive> m_pDrive;
    CNtHardDrive* m_pNtDrive = nullptr;
    CDriveList m_arrDrives;
    std::string m_strBackEndError;
    fw::CMemorySettingsStore m_settings;
    fw::ISettingsStore* m_pSettings = nullptr;
};
