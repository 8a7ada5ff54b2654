#pragma once
// Several simulated panels served from one process, each with its own state,
// flash and UDP socket (and pseudo-terminal), so that many panels can be
// tried at once without hardware. Each panel keeps the thread of each of its
// servers: a panel told to answer slowly holds back only its own replies,
// which a schedule shared between panels would queue behind its own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/panel.h"
#include "sim/pty_server.h"
#include "sim/udp_server.h"

namespace korvane::sim {

// Where panel i listens, from a first address and port.
enum class PanelLayout {
    kAddresses,  // address + i, all at one port (as panels on a network)
    kPorts,      // one address, port + i
};

class PanelSet {
  public:
    explicit PanelSet(int count);
    ~PanelSet();
    PanelSet(const PanelSet&) = delete;
    PanelSet& operator=(const PanelSet&) = delete;

    int size() const { return static_cast<int>(panels_.size()); }
    Panel& panel(int i) { return *panels_[static_cast<size_t>(i)]; }

    // Serves every panel over UDP, laid out from `address` (host order) and
    // `port`. Port 0 picks a free port (kPorts: a free run of ports). On
    // failure nothing is left served and `error` reads "HOST:PORT: why",
    // the place that could not be taken.
    bool StartUdp(uint32_t address, uint16_t port, PanelLayout layout, std::string* error);
    // A pseudo-terminal per panel. On failure none is left and `error` says why.
    bool StartPty(std::string* error);
    // Each panel reports the address and port it is reached on as its own.
    void ReportOwnAddresses();
    void Stop();

    uint32_t address(int i) const { return udp_[static_cast<size_t>(i)]->address(); }
    uint16_t port(int i) const { return udp_[static_cast<size_t>(i)]->port(); }
    const std::string& pty_path(int i) const { return pty_[static_cast<size_t>(i)]->slave_path(); }

  private:
    bool TryUdp(uint32_t address, uint16_t port, PanelLayout layout, std::string* error);
    void StopUdp();

    std::vector<std::unique_ptr<Panel>> panels_;
    std::vector<std::unique_ptr<UdpServer>> udp_;
    std::vector<std::unique_ptr<PtyServer>> pty_;
};

// "127.0.0.1" from a host-order address.
std::string DottedQuad(uint32_t address);

}  // namespace korvane::sim
