// The screen saver inhibition over D-Bus (GDBus, part of GLib under GTK).
#include "shell/wx/ScreenSaver.h"

#include <cstdlib>
#include <gio/gio.h>

namespace {

const char kService[] = "org.freedesktop.ScreenSaver";
const char kPath[] = "/org/freedesktop/ScreenSaver";
const char kInterface[] = "org.freedesktop.ScreenSaver";
constexpr int kTimeoutMs = 1000;

} // namespace

CScreenSaverInhibitor::~CScreenSaverInhibitor()
{
    UnInhibit();
    if (m_pBus)
        g_object_unref(m_pBus);
}

bool CScreenSaverInhibitor::Inhibit()
{
    if (m_bInhibited)
        return true;
    // Without a session bus's address GIO would try to launch one: leave it be.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        return false;
    if (!m_pBus)
    {
        GError* error = nullptr;
        m_pBus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (error)
            g_error_free(error);
        if (!m_pBus)
            return false;
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        m_pBus, kService, kPath, kInterface, "Inhibit",
        g_variant_new("(ss)", "Ratemark", "A drive speed test may be running"),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
    if (!reply)
        return false;
    guint32 cookie = 0;
    g_variant_get(reply, "(u)", &cookie);
    g_variant_unref(reply);
    m_nCookie = cookie;
    m_bInhibited = true;
    return true;
}

void CScreenSaverInhibitor::UnInhibit()
{
    if (!m_bInhibited || !m_pBus)
        return;
    m_bInhibited = false;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        m_pBus, kService, kPath, kInterface, "UnInhibit", g_variant_new("(u)", m_nCookie), nullptr,
        G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
    if (reply)
        g_variant_unref(reply);
}
