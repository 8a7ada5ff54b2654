#pragma once
// korvane-cli as a function: arguments in, text on the given streams, exit
// status out (the final link result, or 64 for a usage error). main() adds
// only the process-wide parts: signals and the terminal check.
#include <atomic>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "system/ui_language.h"

namespace korvane::cli {

inline constexpr int kUsageError = 64;
// A value that would cut the user off the panel or overwrite another image,
// refused before anything is sent; --force sends it anyway. The number
// follows the usage error's convention (sysexits: "data error").
inline constexpr int kRefusedInput = 65;
// batch: some panels failed (each one's verdict is in the closing table).
inline constexpr int kBatchFailed = 10;

struct CliEnvironment {
    std::ostream& out;
    std::ostream& err;
    bool err_is_terminal = false;
    // Folder of the command-line program; the settings and model files are
    // found there as the desktop program beside it finds them.
    std::filesystem::path program_folder;
    // Set by the caller (Ctrl-C) to cancel a running programming run.
    std::atomic<bool>* interrupt = nullptr;
    // The language of the panel's texts when no --lang is given: main() takes
    // it from the user's locale.
    UiLanguage language = UiLanguage::Chinese;
};

int RunCli(const std::vector<std::string>& args, CliEnvironment& env);

}  // namespace korvane::cli
