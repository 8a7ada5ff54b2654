#pragma once
// A simulated panel served on a pseudo-terminal, and a link manager whose
// serial port (or USB device) is the slave side of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "link/link_manager.h"
#include "link/message_sink.h"
#include "sim/panel.h"
#include "sim/pty_server.h"

namespace korvane::testing {

// Keeps what the link sent and every chunk it received, in order.
class ChunkRecorder : public FrameObserver {
  public:
    void OnSent(std::span<const uint8_t> bytes) override {
        sent.emplace_back(bytes.begin(), bytes.end());
    }
    void OnReceived(std::span<const uint8_t> bytes) override {
        chunks.emplace_back(bytes.begin(), bytes.end());
    }
    std::vector<std::vector<uint8_t>> sent;
    std::vector<std::vector<uint8_t>> chunks;
};

// A sound frame of `total` bytes for `command`, its payload counting up.
inline std::vector<uint8_t> FrameOfLength(uint8_t command, size_t total) {
    std::vector<uint8_t> payload(total - kFrameMin);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 7 + 1);
    FrameBuffer buffer{};
    const uint16_t n = BuildFrame(buffer, command, payload);
    return {buffer.begin(), buffer.begin() + n};
}

class PtyPanelTest : public ::testing::Test {
  protected:
    // The mode the link is configured with; the USB fixture overrides it.
    virtual LinkMode Mode() const { return LinkMode::Serial; }

    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "the simulator's serial side needs a pseudo-terminal (POSIX)";
#endif
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        LinkSettings s;
        s.mode = Mode();
        s.baud = kDefaultBaud;
        if (s.mode == LinkMode::Usb) {
            s.usb_device = server.slave_path();
        } else {
            s.serial_device = server.slave_path();
        }
        link.Configure(s);
        link.SetObserver(&recorder);
    }

    void TearDown() override {
        link.CloseLink();
        server.Stop();
    }

    // ResetLink and OpenLink, as every operation starts.
    void Open() {
        link.ResetLink();
        link.OpenLink();
        ASSERT_EQ(link.result(), LinkResult::Ok) << link.open_error().text;
    }

    sim::Panel panel;
    sim::PtyServer server{panel};
    RecordingSink sink;
    LinkManager link{sink};
    ChunkRecorder recorder;
};

class UsbPtyPanelTest : public PtyPanelTest {
  protected:
    LinkMode Mode() const override { return LinkMode::Usb; }
};

}  // namespace korvane::testing
