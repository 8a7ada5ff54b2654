#include "child_exec.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::testing {

void ExecProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
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
