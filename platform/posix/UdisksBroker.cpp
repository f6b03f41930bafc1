// The disk service on Linux: udisks2's Block.OpenForBenchmark over the system bus (GDBus),
// with polkit's text agent on the terminal when the console program allows it.
#include "platform/DeviceBroker.h"

#include "platform/Errors.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kRootPath = "/org/freedesktop/UDisks2";
constexpr const char* kManagerPath = "/org/freedesktop/UDisks2/Manager";
constexpr const char* kManagerInterface = "org.freedesktop.UDisks2.Manager";
constexpr const char* kBlockInterface = "org.freedesktop.UDisks2.Block";
// Questions that need no person are answered at once by a running service; this only
// bounds a service that hangs.
constexpr int kQueryTimeoutMs = 10000;
// The text agent tells through its notify descriptor when it has registered.
constexpr int kAgentStartTimeoutMs = 10000;

std::atomic<bool> g_terminalAuthorisation{false};

struct SErrorFree
{
    void operator()(GError* e) const { g_error_free(e); }
};
struct SVariantUnref
{
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
struct SObjectUnref
{
    void operator()(gpointer o) const { g_object_unref(o); }
};
using ErrorPtr = std::unique_ptr<GError, SErrorFree>;
using VariantPtr = std::unique_ptr<GVariant, SVariantUnref>;

// The text of a D-Bus error without its "GDBus.Error:name: " prefix.
std::string ErrorMessage(GError* error)
{
    if (!error)
        return "unknown error";
    g_dbus_error_strip_remote_error(error);
    return error->message ? error->message : "unknown error";
}

bool IsWholeDisk(const std::string& path, dev_t* rdev)
{
    DeviceSize size;
    if (DeviceQuerySizeUnopened(path, &size) != 0)
        return false;
    struct stat st
    {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    *rdev = st.st_rdev;
    return true;
}

// The start time of this process in clock ticks since boot, as polkit identifies a process.
std::string ProcessStartTime()
{
    std::ifstream in("/proc/self/stat");
    std::string stat;
    std::getline(in, stat);
    // The command name is in parentheses and may hold anything; field 3 follows it.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int n = 3; n <= 22 && fields >> field; ++n)
        if (n == 22)
            return field;
    return {};
}

// Whether this process belongs to a login session (logind places it in a session scope).
// polkit passes over a fallback agent for a process that has no session, so only a process
// in a session registers its agent as a fallback behind the session's own.
bool InLoginSession()
{
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line))
    {
        const auto at = line.find("/session-");
        if (at != std::string::npos && line.find(".scope", at) != std::string::npos)
            return true;
    }
    return false;
}

// polkit's text agent (pkttyagent) for this process, while an authorisation may be asked:
// it asks on the terminal when no other agent serves the session. Stopped by its process id.
class CTextAgent
{
public:
    CTextAgent()
    {
        if (!g_terminalAuthorisation.load() || !isatty(STDIN_FILENO))
            return;
        const std::string startTime = ProcessStartTime();
        if (startTime.empty())
            return;
        int notify[2];
        if (pipe2(notify, O_CLOEXEC) != 0)
            return;
        // The write end goes to the agent under a number of its own, without close-on-exec.
        const int childFd = 3;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, notify[1], childFd);
        const std::string process = std::to_string(getpid()) + "," + startTime;
        const std::string fd = std::to_string(childFd);
        std::vector<const char*> argv = {"pkttyagent", "--process", process.c_str(), "--notify-fd",
                                         fd.c_str()};
        if (InLoginSession())
            argv.push_back("--fallback");
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int rc = posix_spawnp(&pid, "pkttyagent", &actions, nullptr,
                                    const_cast<char* const*>(argv.data()), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(notify[1]);
        if (rc == 0)
        {
            m_pid = pid;
            // The agent closes its end once it is registered (or when it gives up).
            pollfd p{notify[0], POLLIN, 0};
            char byte;
            while (poll(&p, 1, kAgentStartTimeoutMs) > 0 && read(notify[0], &byte, 1) > 0)
            {}
        }
        close(notify[0]);
    }
    ~CTextAgent()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR)
        {}
    }
    CTextAgent(const CTextAgent&) = delete;
    CTextAgent& operator=(const CTextAgent&) = delete;

private:
    pid_t m_pid = -1;
};

class CUdisksBroker : public IDeviceBroker
{
public:
    bool CanServe(const std::string& devicePath) override
    {
        dev_t rdev;
        if (!IsWholeDisk(devicePath, &rdev))
            return false;
        std::string objectPath, error;
        return Resolve(devicePath, rdev, &objectPath, &error);
    }

    bool IsAvailable() override
    {
        std::string reason;
        GDBusConnection* connection = Connection(&reason);
        if (!connection)
            return false;
        // Asking the service anything starts it where the bus starts services on demand.
        GError* rawError = nullptr;
        VariantPtr reply(g_dbus_connection_call_sync(
            connection, kService, kManagerPath, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", kManagerInterface, "Version"), G_VARIANT_TYPE("(v)"),
            G_DBUS_CALL_FLAGS_NONE, kQueryTimeoutMs, nullptr, &rawError));
        ErrorPtr error(rawError);
        return reply != nullptr;
    }

    uint32_t Open(const std::string& devicePath, DeviceHandle* out, bool* cacheBypassed,
                  std::string* reason) override
    {
        *out = kInvalidDevice;
        if (cacheBypassed)
            *cacheBypassed = false;
        reason->clear();
        dev_t rdev;
        if (!IsWholeDisk(devicePath, &rdev))
        {
            *reason = "not a whole-disk block device";
            return err::AccessDenied;
        }
        std::string objectPath;
        if (!Resolve(devicePath, rdev, &objectPath, reason))
            return err::AccessDenied;
        GDBusConnection* connection = Connection(reason);
        if (!connection)
            return err::AccessDenied;

        // No options: the descriptor is read-only and unbuffered; never "writable".
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        GUnixFDList* fdList = nullptr;
        GError* rawError = nullptr;
        CTextAgent agent;
        // No time limit: a person may take a while to type a password.
        GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
            connection, kService, objectPath.c_str(), kBlockInterface, "OpenForBenchmark",
            g_variant_new("(a{sv})", &options), G_VARIANT_TYPE("(h)"),
            G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION, G_MAXINT, nullptr, &fdList, nullptr,
            &rawError);
        ErrorPtr error(rawError);
        std::unique_ptr<GUnixFDList, SObjectUnref> fds(fdList);
        if (!reply)
        {
            *reason = ErrorMessage(error.get());
            return err::AccessDenied;
        }
        VariantPtr result(reply);
        gint32 index = -1;
        g_variant_get(result.get(), "(h)", &index);
        rawError = nullptr;
        const int fd = fds ? g_unix_fd_list_get(fds.get(), index, &rawError) : -1;
        error.reset(rawError);
        if (fd < 0)
        {
            *reason = "the disk service sent no descriptor";
            if (error)
                *reason += ": " + ErrorMessage(error.get());
            return err::AccessDenied;
        }
        return Accept(fd, rdev, out, cacheBypassed, reason);
    }

private:
    // Keeps a descriptor only when it is the disk asked for and opened read-only.
    static uint32_t Accept(int fd, dev_t rdev, DeviceHandle* out, bool* cacheBypassed,
                           std::string* reason)
    {
        struct stat st
        {};
        const int flags = fcntl(fd, F_GETFL);
        if (fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != rdev)
        {
            close(fd);
            *reason = "the disk service sent a descriptor of another device";
            return err::AccessDenied;
        }
        if (flags < 0 || (flags & O_ACCMODE) != O_RDONLY)
        {
            close(fd);
            *reason = "the disk service sent a descriptor open for writing";
            return err::AccessDenied;
        }
        bool direct = (flags & O_DIRECT) != 0;
        if (!direct)
            direct = fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        if (cacheBypassed)
            *cacheBypassed = direct;
        *out = fd;
        return err::Success;
    }

    // A private connection to the system bus, made once; nullptr with the reason when there
    // is no bus. A private connection never ends the program when the bus goes away.
    GDBusConnection* Connection(std::string* reason)
    {
        std::lock_guard lock(m_mutex);
        if (!m_bConnectTried)
        {
            m_bConnectTried = true;
            GError* rawError = nullptr;
            gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &rawError);
            if (address)
            {
                m_pConnection = g_dbus_connection_new_for_address_sync(
                    address,
                    static_cast<GDBusConnectionFlags>(
                        G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                    nullptr, nullptr, &rawError);
                g_free(address);
            }
            ErrorPtr error(rawError);
            if (!m_pConnection)
                m_strConnectError = "no system bus: " + ErrorMessage(error.get());
        }
        if (!m_pConnection)
            *reason = m_strConnectError;
        return m_pConnection;
    }

    // The service's object for the block device: asked by path, or, from a service too old
    // to resolve paths, found among its objects by device number.
    bool Resolve(const std::string& devicePath, dev_t rdev, std::string* objectPath,
                 std::string* reason)
    {
        GDBusConnection* connection = Connection(reason);
        if (!connection)
            return false;
        GVariantBuilder spec, options;
        g_variant_builder_init(&spec, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&spec, "{sv}", "path", g_variant_new_string(devicePath.c_str()));
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        GError* rawError = nullptr;
        VariantPtr reply(g_dbus_connection_call_sync(
            connection, kService, kManagerPath, kManagerInterface, "ResolveDevice",
            g_variant_new("(a{sv}a{sv})", &spec, &options), G_VARIANT_TYPE("(ao)"),
            G_DBUS_CALL_FLAGS_NONE, kQueryTimeoutMs, nullptr, &rawError));
        ErrorPtr error(rawError);
        if (reply)
        {
            VariantPtr paths(g_variant_get_child_value(reply.get(), 0));
            if (g_variant_n_children(paths.get()) == 0)
            {
                *reason = "the disk service does not know " + devicePath;
                return false;
            }
            VariantPtr first(g_variant_get_child_value(paths.get(), 0));
            *objectPath = g_variant_get_string(first.get(), nullptr);
            return true;
        }
        if (!g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD))
        {
            *reason = ErrorMessage(error.get());
            return false;
        }
        return FindByDeviceNumber(connection, rdev, objectPath, reason);
    }

    static bool FindByDeviceNumber(GDBusConnection* connection, dev_t rdev, std::string* objectPath,
                                   std::string* reason)
    {
        GError* rawError = nullptr;
        VariantPtr reply(g_dbus_connection_call_sync(
            connection, kService, kRootPath, "org.freedesktop.DBus.ObjectManager",
            "GetManagedObjects", nullptr, G_VARIANT_TYPE("(a{oa{sa{sv}}})"), G_DBUS_CALL_FLAGS_NONE,
            kQueryTimeoutMs, nullptr, &rawError));
        ErrorPtr error(rawError);
        if (!reply)
        {
            *reason = ErrorMessage(error.get());
            return false;
        }
        VariantPtr objects(g_variant_get_child_value(reply.get(), 0));
        GVariantIter it;
        g_variant_iter_init(&it, objects.get());
        const gchar* path = nullptr;
        GVariant* interfaces = nullptr;
        while (g_variant_iter_next(&it, "{&o@a{sa{sv}}}", &path, &interfaces))
        {
            VariantPtr owned(interfaces);
            GVariant* block = nullptr;
            if (!g_variant_lookup(owned.get(), kBlockInterface, "@a{sv}", &block))
                continue;
            VariantPtr ownedBlock(block);
            guint64 number = 0;
            if (g_variant_lookup(ownedBlock.get(), "DeviceNumber", "t", &number) &&
                number == static_cast<guint64>(rdev))
            {
                *objectPath = path;
                return true;
            }
        }
        *reason = "the disk service does not know this device";
        return false;
    }

    std::mutex m_mutex;
    bool m_bConnectTried = false;
    GDBusConnection* m_pConnection = nullptr;
    std::string m_strConnectError;
};

} // namespace

IDeviceBroker& SystemDeviceBroker()
{
    // Never destroyed: the bus connection's worker thread may outlive static destruction.
    static CUdisksBroker* const broker = new CUdisksBroker;
    return *broker;
}

void SetTerminalAuthorisation(bool allowed)
{
    g_terminalAuthorisation = allowed;
}

} // namespace platform
