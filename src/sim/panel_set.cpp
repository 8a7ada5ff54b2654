#include "sim/panel_set.h"

namespace korvane::sim {

namespace {

// A port picked for the first panel may be taken for another by then (or at
// another address); a few fresh picks make that a matter of bad luck only.
constexpr int kPickAttempts = 16;

}  // namespace

std::string DottedQuad(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

PanelSet::PanelSet(int count) {
    for (int i = 0; i < count; ++i) {
        panels_.push_back(std::make_unique<Panel>());
        udp_.push_back(std::make_unique<UdpServer>(*panels_.back()));
        pty_.push_back(std::make_unique<PtyServer>(*panels_.back()));
    }
}

PanelSet::~PanelSet() {
    Stop();
}

bool PanelSet::StartUdp(uint32_t address, uint16_t port, PanelLayout layout, std::string* error) {
    if (port != 0)
        return TryUdp(address, port, layout, error);
    for (int attempt = 1;; ++attempt) {
        if (TryUdp(address, 0, layout, error))
            return true;
        if (attempt >= kPickAttempts)
            return false;
    }
}

bool PanelSet::TryUdp(uint32_t address, uint16_t port, PanelLayout layout, std::string* error) {
    uint16_t first = port;
    for (size_t i = 0; i < udp_.size(); ++i) {
        const uint32_t at = layout == PanelLayout::kAddresses ? address + uint32_t(i) : address;
        const uint32_t want =
            i == 0 ? port : (layout == PanelLayout::kPorts ? uint32_t{first} + uint32_t(i) : first);
        std::string why;
        if (want > 65535) {
            why = "no port above 65535";
        } else {
            udp_[i]->SetAddress(at);
            if (udp_[i]->Start(static_cast<uint16_t>(want), &why)) {
                if (i == 0)
                    first = udp_[i]->port();
                continue;
            }
        }
        StopUdp();
        if (error)
            *error = DottedQuad(at) + ":" + std::to_string(want) + ": " + why;
        return false;
    }
    return true;
}

bool PanelSet::StartPty(std::string* error) {
    for (auto& pty : pty_) {
        if (!pty->Start(error)) {
            for (auto& started : pty_)
                started->Stop();
            return false;
        }
    }
    return true;
}

void PanelSet::ReportOwnAddresses() {
    for (size_t i = 0; i < panels_.size(); ++i) {
        PanelNetwork network = panels_[i]->Network();
        const uint32_t at = udp_[i]->address();
        for (int b = 0; b < 4; ++b)
            network.ip[b] = static_cast<uint8_t>(at >> (24 - 8 * b));
        network.port = udp_[i]->port();
        panels_[i]->SetNetwork(network);
    }
}

void PanelSet::StopUdp() {
    for (auto& udp : udp_)
        udp->Stop();
}

void PanelSet::Stop() {
    for (auto& pty : pty_)
        pty->Stop();
    StopUdp();
}

}  // namespace korvane::sim
