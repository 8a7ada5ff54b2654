#pragma once
// Runs a program of ours as a child process with its output captured, for
// whole-program tests. Reads are bounded in time so that a hung child fails
// the test instead of hanging it.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "child_exec.h"

namespace korvane::testing {

class ChildProcess {
  public:
    // The child's environment is ChildEnvironment(environment): no locale
    // unless the test gives one.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const EnvSettings& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads until `text` shows on stdout (or stderr) or the time is up.
    bool WaitForOutput(const std::string& text, bool on_stderr, std::chrono::milliseconds limit);
    void Signal(int signal);
    // Waits for the end, reading everything; -1 when it had to be killed.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

  private:
    void Pump(int timeout_ms);

    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string out_;
    std::string err_;
    int status_ = -1;
};

struct RunResult {
    int code;
    std::string out;
    std::string err;
};

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const EnvSettings& environment = {});

}  // namespace korvane::testing
