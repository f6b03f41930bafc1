// Signal handling on POSIX: the interrupt counter, and the end of the program by a signal
// without temporaries left behind.
#include "platform/Signals.h"

#include "platform/OutputFile.h"

#include <csignal>

namespace platform {

namespace {

volatile std::sig_atomic_t g_interrupts = 0;

// Signals whose default action ends the program and that it may catch.
constexpr int kEndingSignals[] = {SIGHUP, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU};

void EndAsSignal(int sig)
{
    RemovePendingTemporaries();
    struct sigaction dfl
    {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    // The signal is blocked while its handler runs; it ends the program on return, or here.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

void OnInterrupt(int sig)
{
    g_interrupts = g_interrupts + 1;
    if (g_interrupts >= 2)
        EndAsSignal(sig);
}

void Install(int sig, void (*handler)(int))
{
    struct sigaction sa
    {};
    sa.sa_handler = handler;
    // Interrupted system calls go on; waits that must notice an interrupt poll with a timeout.
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
}

} // namespace

void InstallTerminationHandling()
{
    g_interrupts = 0;
    Install(SIGINT, OnInterrupt);
    for (int sig : kEndingSignals)
    {
        // A signal the caller's parent set to be ignored stays ignored (nohup).
        struct sigaction old
        {};
        sigaction(sig, nullptr, &old);
        if (old.sa_handler != SIG_IGN)
            Install(sig, EndAsSignal);
    }
    Install(SIGPIPE, SIG_IGN);
    Install(SIGXFSZ, SIG_IGN);
}

int InterruptCount()
{
    return g_interrupts;
}

} // namespace platform
