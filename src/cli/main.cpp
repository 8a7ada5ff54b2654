// korvane-cli: the panel maintenance operations for scripts and production lines.
#include <atomic>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "system/console.h"
#include "system/program_files.h"
#include "system/ui_language.h"

namespace {

std::atomic<bool> g_interrupt{false};

}  // namespace

int main(int argc, char** argv) {
    korvane::SetInterruptFlag(&g_interrupt);
    korvane::PrepareConsoleOutput();

    std::vector<std::string> args(argv + 1, argv + argc);
    std::filesystem::path self = korvane::RunningExecutable();
    if (self.empty())
        self = std::filesystem::absolute(argv[0]);
    korvane::cli::CliEnvironment env{std::cout, std::cerr, korvane::StderrIsTerminal(),
                                     self.parent_path(), &g_interrupt};
    // The panel's texts in the language of the user's locale, unless --lang names one.
    env.language = korvane::LanguageFromEnvironment(korvane::ProcessEnv);
    return korvane::cli::RunCli(args, env);
}
