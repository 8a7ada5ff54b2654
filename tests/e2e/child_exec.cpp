#include "child_exec.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

extern char** environ;

namespace korvane::testing {

std::vector<std::string> ChildEnvironment(const EnvSettings& set,
                                          const std::vector<std::string>& drop) {
    std::vector<std::string> dropped = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    dropped.insert(dropped.end(), drop.begin(), drop.end());
    for (const auto& [name, value] : set)
        dropped.push_back(name);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const std::string_view name = entry.substr(0, entry.find('='));
        if (std::find(dropped.begin(), dropped.end(), name) == dropped.end())
            environment.emplace_back(entry);
    }
    for (const auto& [name, value] : set)
        environment.push_back(name + "=" + value);
    return environment;
}

void ExecProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
}

std::optional<int> WaitOrKill(pid_t pid, std::chrono::steady_clock::time_point until,
                              const std::function<void()>& meanwhile) {
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() >= until) {
            KillAndReap(pid);
            return std::nullopt;
        }
        meanwhile();
    }
}

void KillAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace korvane::testing
