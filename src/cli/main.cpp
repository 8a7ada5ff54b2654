// korvane-cli: the panel maintenance operations for scripts and production lines.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "system/program_files.h"

namespace {

std::atomic<bool> g_interrupt{false};

void OnInterrupt(int) {
    g_interrupt.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);

    std::vector<std::string> args(argv + 1, argv + argc);
    std::filesystem::path self = korvane::RunningExecutable();
    if (self.empty())
        self = std::filesystem::absolute(argv[0]);
    korvane::cli::CliEnvironment env{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1,
                                     self.parent_path(), &g_interrupt};
    return korvane::cli::RunCli(args, env);
}
