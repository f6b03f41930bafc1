// Keeps the screen saver off while the program runs, through the session's
// org.freedesktop.ScreenSaver service; silent where there is no session bus or no service.
#pragma once

#include <cstdint>

struct _GDBusConnection;

class CScreenSaverInhibitor
{
public:
    CScreenSaverInhibitor() = default;
    ~CScreenSaverInhibitor();
    CScreenSaverInhibitor(const CScreenSaverInhibitor&) = delete;
    CScreenSaverInhibitor& operator=(const CScreenSaverInhibitor&) = delete;

    // Asks the service to keep the screen saver off; true when it agreed.
    bool Inhibit();
    // Lets the screen saver run again.
    void UnInhibit();
    bool IsInhibited() const { return m_bInhibited; }

private:
    _GDBusConnection* m_pBus = nullptr;
    uint32_t m_nCookie = 0;
    bool m_bInhibited = false;
};
