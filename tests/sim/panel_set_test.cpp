// Several simulated panels in one process: where each listens, that each
// keeps its own state, and that one slow panel holds back no other.
#include "sim/panel_set.h"

#include <gtest/gtest.h>

#include <chrono>

#include "link/frame.h"
#include "protocol/command_codes.h"
#include "support/loopback_socket.h"

namespace korvane::sim {
namespace {

using testing::LoopbackSocket;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint32_t k127001 = 0x7F000001;

sockaddr_in At(uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(port);
    return to;
}

std::vector<uint8_t> Request(uint8_t command) {
    FrameBuffer buffer{};
    const uint16_t length = BuildFrame(buffer, command, {});
    return {buffer.begin(), buffer.begin() + length};
}

TEST(PanelSet, EachPanelHasAnAddressAndAStateOfItsOwn) {
    PanelSet set(3);
    set.panel(1).SetJumper(2);
    std::string error;
    ASSERT_TRUE(set.StartUdp(k127001, 0, PanelLayout::kAddresses, &error)) << error;
    set.ReportOwnAddresses();
    LoopbackSocket client(k127001);
    ASSERT_TRUE(client.ok());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(set.address(i), k127001 + uint32_t(i));
        EXPECT_EQ(set.port(i), set.port(0));
        const PanelNetwork net = set.panel(i).Network();
        EXPECT_EQ(net.ip[3], 1 + i);
        EXPECT_EQ(net.ip[0], 127);
        EXPECT_EQ(net.port, set.port(0));

        ASSERT_TRUE(client.SendTo(Request(cmd::kQueryState), At(set.address(i), set.port(i))));
        const auto reply = client.Receive(2000);
        ASSERT_TRUE(reply) << "panel " << i;
        EXPECT_EQ(ntohl(reply->from.sin_addr.s_addr), set.address(i));
        ASSERT_EQ(reply->bytes.size(), 8u);
        EXPECT_EQ(reply->bytes[6], i == 1 ? 2 : 1) << "jumper of panel " << i;
        // Only the panel asked heard the request.
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(set.panel(j).ReceivedFrames().size(), j <= i ? 1u : 0u) << i << " " << j;
    }
}

TEST(PanelSet, PortLayoutTakesConsecutivePortsOfOneAddress) {
    PanelSet set(4);
    std::string error;
    ASSERT_TRUE(set.StartUdp(k127001, 0, PanelLayout::kPorts, &error)) << error;
    set.ReportOwnAddresses();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(set.address(i), k127001);
        EXPECT_EQ(set.port(i), set.port(0) + i);
        EXPECT_EQ(set.panel(i).Network().port, set.port(0) + i);
    }
    LoopbackSocket client(k127001);
    ASSERT_TRUE(client.SendTo(Request(cmd::kQueryState), At(k127001, set.port(3))));
    ASSERT_TRUE(client.Receive(2000));
    EXPECT_EQ(set.panel(3).ReceivedFrames().size(), 1u);
    EXPECT_EQ(set.panel(0).ReceivedFrames().size(), 0u);
}

TEST(PanelSet, AGivenPortTakenForOnePanelLeavesNoneServed) {
    // A stranger holds 127.0.0.3 at the port panel 0 gets.
    PanelSet probe(1);
    std::string error;
    ASSERT_TRUE(probe.StartUdp(0x7F000003, 0, PanelLayout::kAddresses, &error)) << error;
    const uint16_t port = probe.port(0);

    PanelSet set(3);
    EXPECT_FALSE(set.StartUdp(k127001, port, PanelLayout::kAddresses, &error));
    EXPECT_EQ(error.rfind("127.0.0.3:" + std::to_string(port) + ": bind: ", 0), 0u) << error;
    // Panels 0 and 1 let their sockets go: the port is free there again.
    PanelSet again(2);
    EXPECT_TRUE(again.StartUdp(k127001, port, PanelLayout::kAddresses, &error)) << error;
}

TEST(PanelSet, ASlowPanelHoldsBackNoOther) {
    PanelSet set(2);
    set.panel(0).InjectFault({FaultKind::Delay, std::nullopt, 10, 1500});
    std::string error;
    ASSERT_TRUE(set.StartUdp(k127001, 0, PanelLayout::kPorts, &error)) << error;
    LoopbackSocket client(k127001);
    const auto begun = Clock::now();
    ASSERT_TRUE(client.SendTo(Request(cmd::kQueryState), At(k127001, set.port(0))));
    ASSERT_TRUE(client.SendTo(Request(cmd::kQueryState), At(k127001, set.port(1))));
    const auto first = client.Receive(3000);
    ASSERT_TRUE(first);
    EXPECT_EQ(ntohs(first->from.sin_port), set.port(1));
    EXPECT_LT(Clock::now() - begun, 1000ms);
    const auto second = client.Receive(3000);
    ASSERT_TRUE(second);
    EXPECT_EQ(ntohs(second->from.sin_port), set.port(0));
    EXPECT_GE(Clock::now() - begun, 1500ms);
}

}  // namespace
}  // namespace korvane::sim
