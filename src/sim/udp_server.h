#pragma once
// Serves a simulated panel over UDP (on 127.0.0.1 unless told otherwise):
// every datagram is one request frame; replies go back to the sender,
// delayed replies on time.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "sim/panel.h"
#include "system/native_handle.h"

namespace korvane::sim {

class UdpServer {
  public:
    explicit UdpServer(Panel& panel) : panel_(panel) {}
    ~UdpServer();
    UdpServer(const UdpServer&) = delete;
    UdpServer& operator=(const UdpServer&) = delete;

    // The address to serve on, host order (0x7F000002 is 127.0.0.2); set
    // before Start. Several panels can then share a port on loopback.
    void SetAddress(uint32_t address) { address_ = address; }
    uint32_t address() const { return address_; }
    // Port 0 picks any free port. On failure returns false and says why.
    bool Start(uint16_t port, std::string* error = nullptr);
    void Stop();
    uint16_t port() const { return port_; }

  private:
    void Run();

    Panel& panel_;
    NativeHandle fd_ = kNoHandle;
    // Wakes the serving thread: a pipe, or a pair of sockets on Windows.
    NativeHandle wake_[2] = {kNoHandle, kNoHandle};
    uint16_t port_ = 0;
    uint32_t address_ = 0x7F000001;
    std::thread thread_;
};

}  // namespace korvane::sim
