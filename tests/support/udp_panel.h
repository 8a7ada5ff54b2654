#pragma once
// A simulated panel served on loopback UDP, and a link manager aimed at it.
#include <gtest/gtest.h>

#include "link/link_manager.h"
#include "link/message_sink.h"
#include "sim/panel.h"
#include "sim/udp_server.h"

namespace korvane::testing {

inline constexpr uint32_t kLoopback = 0x0100007F;  // 127.0.0.1, first octet low

class UdpPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Start(0, &error)) << error;
        LinkSettings s;
        s.mode = LinkMode::Udp;
        s.address = kLoopback;
        s.port = server.port();
        link.Configure(s);
    }

    void TearDown() override { server.Stop(); }

    // ResetLink and OpenLink, as every operation starts.
    void Open() {
        link.ResetLink();
        link.OpenLink();
        ASSERT_EQ(link.result(), LinkResult::Ok);
    }

    sim::Panel panel;
    sim::UdpServer server{panel};
    RecordingSink sink;
    LinkManager link{sink};
};

}  // namespace korvane::testing
