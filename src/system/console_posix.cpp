#include <unistd.h>

#include <csignal>

#include "system/console.h"

namespace korvane {

namespace {

std::atomic<bool>* g_interrupt = nullptr;
volatile std::sig_atomic_t g_stop = 0;

void OnInterrupt(int) {
    g_interrupt->store(true);
}

void OnStop(int) {
    g_stop = 1;
}

}  // namespace

void SetInterruptFlag(std::atomic<bool>* flag) {
    static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
    g_interrupt = flag;
    // No SA_RESTART: a wait in progress ends early and sees the flag.
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    // A supervisor, `timeout` or a closed terminal ask the same as Ctrl-C:
    // the run stops cleanly and still says how it ended.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &sa, nullptr);
}

void WaitForStopRequest() {
    std::signal(SIGINT, OnStop);
    std::signal(SIGTERM, OnStop);
    while (!g_stop)
        ::pause();
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void PrepareConsoleOutput() {}

}  // namespace korvane
