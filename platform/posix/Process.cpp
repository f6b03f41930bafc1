// Detached processes through posix_spawn.
#include "platform/Process.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

extern char** environ;

namespace platform {

int StartDetachedScript(const std::string& scriptPath, const std::string& workingDir)
{
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    if (posix_spawnattr_init(&attr) != 0)
        return -1;
    if (posix_spawn_file_actions_init(&actions) != 0)
    {
        posix_spawnattr_destroy(&attr);
        return -1;
    }
    // A session of its own outlives the terminal and the program; the signal mask and handlers
    // of the program are not the script's.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    int rc = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                 POSIX_SPAWN_SETSIGDEF);
    rc = rc ? rc : posix_spawnattr_setsigmask(&attr, &none);
    rc = rc ? rc : posix_spawnattr_setsigdefault(&attr, &all);
    // No window and no terminal: the script's standard files are /dev/null.
    for (int fd = 0; fd <= 2 && rc == 0; ++fd)
        rc = posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                              fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // Nothing else the program holds open (its lock, the log) passes to the script.
    rc = rc ? rc : posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    rc = rc ? rc : posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());

    pid_t pid = -1;
    if (rc == 0)
    {
        char sh[] = "/bin/sh";
        std::string script = scriptPath;
        char* argv[] = {sh, script.data(), nullptr};
        rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? static_cast<int>(pid) : -1;
}

} // namespace platform
