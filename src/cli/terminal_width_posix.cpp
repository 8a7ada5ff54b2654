#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "cli/cli_args.h"
#include "cli/terminal_width.h"

namespace korvane::cli {

namespace {

std::atomic<bool> g_resized{true};

void OnResize(int) {
    g_resized.store(true);
}

}  // namespace

TerminalWidth::TerminalWidth() {
    static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
    struct sigaction sa {};
    sa.sa_handler = OnResize;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGWINCH, &sa, nullptr);
    g_resized.store(true);
}

int TerminalWidth::Columns() {
    if (const char* env = std::getenv("COLUMNS")) {
        if (const auto n = ParseNumber(env, 1, 100000))
            return static_cast<int>(*n);
    }
    if (g_resized.exchange(false)) {
        winsize size{};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            columns_ = size.ws_col;
    }
    return columns_;
}

}  // namespace korvane::cli
