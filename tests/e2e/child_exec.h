#pragma once
// What every child process of the whole-program tests does the same way:
// start the program, and wait for its end without hanging the test.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane::testing {

// Variables a test gives a child, NAME and value.
using EnvSettings = std::vector<std::pair<std::string, std::string>>;

// A child's environment ("NAME=value" each), made before the fork: this
// process's without the locale variables (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG), so that the locale of whoever runs the tests cannot change what the
// programs print, and without `drop`; then `set`.
std::vector<std::string> ChildEnvironment(const EnvSettings& set = {},
                                          const std::vector<std::string>& drop = {});

// In the forked child: runs `program` with `args` and `environment`; exits
// 127 if it cannot.
[[noreturn]] void ExecProgram(const std::string& program, const std::vector<std::string>& args,
                              const std::vector<std::string>& environment);

// Waits for `pid` to end until `until`, calling `meanwhile` between looks
// (to read its output, or to rest): its exit code, or 128 plus the signal
// that ended it. Past `until` it is killed and reaped, and there is none.
std::optional<int> WaitOrKill(pid_t pid, std::chrono::steady_clock::time_point until,
                              const std::function<void()>& meanwhile);

// For a child nobody waited for.
void KillAndReap(pid_t pid);

}  // namespace korvane::testing
