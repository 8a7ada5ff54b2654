#pragma once
// Runs a program with its stderr on a pseudo-terminal of a given size (its
// controlling terminal, so that a resize reaches it as SIGWINCH) and its
// stdout on a pipe; COLUMNS and the locale are removed from its environment.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace korvane::testing {

class PtyChild {
  public:
    PtyChild(const std::string& program, const std::vector<std::string>& args, int columns);
    ~PtyChild();
    PtyChild(const PtyChild&) = delete;
    PtyChild& operator=(const PtyChild&) = delete;

    void Resize(int columns);
    // Reads what comes for this long.
    void ReadFor(std::chrono::milliseconds span);
    // Waits for the end, reading everything; -1 when it had to be killed.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

    // What the terminal received (the line discipline turns "\n" into "\r\n").
    const std::string& terminal() const { return terminal_; }
    const std::string& out() const { return out_; }

  private:
    void Pump(int timeout_ms);

    pid_t pid_ = -1;
    int master_ = -1;
    int out_fd_ = -1;
    std::string terminal_;
    std::string out_;
    bool done_ = false;
};

}  // namespace korvane::testing
