#pragma once
// Serves a simulated panel on the master side of a pseudo-terminal: the tool
// opens the slave path as its serial port (or as its USB device) and the
// panel answers byte by byte, faults included.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "sim/panel.h"
#include "sim/reply_schedule.h"
#include "system/native_handle.h"

namespace korvane::sim {

class PtyServer {
  public:
    explicit PtyServer(Panel& panel) : panel_(panel) {}
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (raw, so bytes pass untouched) and starts
    // serving. On failure returns false and says why.
    bool Start(std::string* error = nullptr);
    void Stop();
    // The path the tool opens, e.g. /dev/pts/3.
    const std::string& slave_path() const { return slave_path_; }

    // Sends bytes to the tool as if the panel had, `delay_ms` after the
    // panel's last queued output: noise, oversize frames, unasked replies.
    void Inject(std::vector<uint8_t> bytes, int delay_ms = 0);

  private:
    void Run();
    void SendDue();
    void Wake();

    Panel& panel_;
    NativeHandle master_ = kNoHandle;
    NativeHandle wake_[2] = {kNoHandle, kNoHandle};
    std::string slave_path_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    ReplySchedule schedule_{ReplySchedule::Empty::kDrop};
};

}  // namespace korvane::sim
