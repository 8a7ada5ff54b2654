// Finding panels: simulated panels side by side on loopback addresses for the
// address sweep, and a namespace of the test's own for the broadcast path.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "discovery/discover_panels.h"
#include "link/frame.h"
#include "protocol/command_codes.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "support/test_network.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

// 127.0.1.`last`: a block of loopback addresses of these tests' own, so that
// a sweep never meets a panel of another test that happens to share its port.
constexpr uint32_t Loop(uint8_t last) {
    return 0x7F000100u | last;
}

TEST(AddressRange, Parses) {
    struct Case {
        const char* text;
        std::optional<std::pair<uint32_t, uint32_t>> range;
    };
    const Case cases[] = {
        {"192.168.0.1-254", std::pair{0xC0A80001u, 0xC0A800FEu}},
        {"192.168.0.1-192.168.1.10", std::pair{0xC0A80001u, 0xC0A8010Au}},
        {"10.0.0.7-7", std::pair{0x0A000007u, 0x0A000007u}},
        {"10.0.0.8-7", std::nullopt},          // backwards
        {"10.0.0.1-10.0.16.1", std::nullopt},  // longer than a sweep may be
        {"10.0.0.1-10.0.16.0", std::pair{0x0A000001u, 0x0A001000u}},
        {"10.0.0.1-256", std::nullopt},
        {"10.0.0.1", std::nullopt},
        {"10.0.0-5", std::nullopt},
        {"10.0.0.1-", std::nullopt},
        {"10.0.0.1 -5", std::nullopt},
        {"1.2.3.4.5-6", std::nullopt},
        {"1.2.3.1000-6", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto r = ParseAddressRange(c.text);
        ASSERT_EQ(r.has_value(), c.range.has_value()) << c.text;
        if (r) {
            EXPECT_EQ(r->first, c.range->first) << c.text;
            EXPECT_EQ(r->last, c.range->second) << c.text;
        }
    }
    EXPECT_EQ(HostDotted(0xC0A800FEu), "192.168.0.254");
    EXPECT_EQ(ParseHostDotted("127.0.1.5"), Loop(5));
}

// Answers every query it gets with a well-formed reply, but from another
// loopback address than the one it was asked at.
class Misaddressed {
  public:
    Misaddressed(uint32_t asked_at, uint16_t port, uint32_t answers_from) {
        in_ = Bind(asked_at, port);
        out_ = Bind(answers_from, 0);
        thread_ = std::thread([this] { Run(); });
    }
    ~Misaddressed() {
        stop_ = true;
        thread_.join();
        ::close(in_);
        ::close(out_);
    }
    bool ok() const { return in_ >= 0 && out_ >= 0; }

  private:
    static int Bind(uint32_t address, uint16_t port) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(address);
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    void Run() {
        while (!stop_) {
            pollfd p{in_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t buffer[256];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            if (::recvfrom(in_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                           &len) <= 0)
                continue;
            FrameBuffer reply{};
            const uint8_t payload[] = {1, 1};
            const uint16_t n = BuildFrame(reply, cmd::kQueryState, payload);
            ::sendto(out_, reply.data(), n, 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }
    int in_ = -1;
    int out_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class Sweep : public ::testing::Test {
  protected:
    // A panel on 127.0.1.`last`; all share the first one's port.
    sim::Panel& Add(uint8_t last) {
        auto& p = panels_.emplace_back(std::make_unique<Served>());
        p->server.SetAddress(Loop(last));
        std::string error;
        EXPECT_TRUE(p->server.Start(port_, &error)) << error;
        port_ = p->server.port();
        return p->panel;
    }

    DiscoverResult Run(uint8_t first, uint8_t last, uint32_t wait_ms = 300) {
        DiscoverOptions o;
        o.target = DiscoverOptions::Target::Range;
        o.range = {Loop(first), Loop(last)};
        o.port = port_;
        o.wait_ms = wait_ms;
        o.cancel = &cancel_;
        return DiscoverPanels(o, progress_);
    }

    struct Served {
        sim::Panel panel;
        sim::UdpServer server{panel};
    };
    std::vector<std::unique_ptr<Served>> panels_;
    uint16_t port_ = 0;
    std::atomic<bool> cancel_{false};
    NullProgress progress_;
};

TEST_F(Sweep, ListsTheAnsweringPanelsOnceEachSortedWithWhatTheyReport) {
    sim::Panel& five = Add(5);
    sim::Panel& two = Add(2);
    sim::Panel& three = Add(3);
    sim::Panel& silent = Add(4);
    sim::Panel& outside = Add(9);
    three.SetJumper(2);
    silent.InjectFault({sim::FaultKind::Drop, cmd::kQueryState, 1 << 30});
    two.InjectFault({sim::FaultKind::Duplicate, cmd::kQueryState, 1 << 30});
    sim::PanelNetwork net = five.Network();
    net.ip[3] = 77;
    net.port = 4000;
    five.SetNetwork(net);
    // Gets its get-parameter wrong: found, but with nothing reported.
    three.SetStatusOverride(cmd::kGetParameter, 0);

    const DiscoverResult r = Run(1, 8);
    EXPECT_EQ(r.outcome, DiscoverOutcome::Done);
    EXPECT_EQ(r.queries_sent, 8u);
    ASSERT_EQ(r.panels.size(), 3u);
    EXPECT_EQ(r.panels[0].address, Loop(2));
    EXPECT_EQ(r.panels[0].port, port_);
    EXPECT_EQ(r.panels[0].jumper, 1);
    ASSERT_TRUE(r.panels[0].reported);
    EXPECT_EQ(r.panels[0].reported->IpText(), "192.168.0.100");
    EXPECT_EQ(r.panels[0].reported->port, 21845);
    EXPECT_EQ(r.panels[1].address, Loop(3));
    EXPECT_EQ(r.panels[1].jumper, 2);
    EXPECT_FALSE(r.panels[1].reported);
    EXPECT_EQ(r.panels[2].address, Loop(5));
    ASSERT_TRUE(r.panels[2].reported);
    EXPECT_EQ(r.panels[2].reported->IpText(), "192.168.0.77");
    EXPECT_EQ(r.panels[2].reported->port, 4000);

    // One query per address, nothing to an address outside the range; the
    // panel whose get-parameter failed was asked again, the others once.
    for (sim::Panel* p : {&two, &three, &five, &silent})
        EXPECT_EQ(p->FramesWithCommand(cmd::kQueryState).size(), 1u);
    EXPECT_EQ(two.FramesWithCommand(cmd::kGetParameter).size(), 1u);
    EXPECT_EQ(three.FramesWithCommand(cmd::kGetParameter).size(), 3u);
    EXPECT_TRUE(outside.ReceivedFrames().empty());
    EXPECT_TRUE(silent.FramesWithCommand(cmd::kGetParameter).empty());
}

TEST_F(Sweep, IgnoresRepliesFromAnAddressOutsideTheRange) {
    Add(2);
    Misaddressed stray(Loop(3), port_, Loop(40));
    ASSERT_TRUE(stray.ok());
    const DiscoverResult r = Run(1, 4);
    ASSERT_EQ(r.panels.size(), 1u);
    EXPECT_EQ(r.panels[0].address, Loop(2));
    EXPECT_GE(r.replies_ignored, 1u);
}

TEST_F(Sweep, NeverBroadcastsNorRunsPastItsLimit) {
    // 127.255.255.255 is the loopback network's broadcast address: the
    // sweep's socket may not send there.
    DiscoverOptions o;
    o.target = DiscoverOptions::Target::Range;
    o.range = {0x7FFFFFFEu, 0x7FFFFFFFu};
    o.wait_ms = 0;
    DiscoverResult r = DiscoverPanels(o, progress_);
    EXPECT_EQ(r.outcome, DiscoverOutcome::Done);
    EXPECT_EQ(r.queries_sent, 1u);

    o.range = {Loop(0), Loop(0) + kSweepMaxAddresses};
    r = DiscoverPanels(o, progress_);
    EXPECT_EQ(r.outcome, DiscoverOutcome::BadRange);
    EXPECT_EQ(r.queries_sent, 0u);
}

TEST_F(Sweep, IsPacedAtTheGivenRate) {
    Add(2);
    DiscoverOptions o;
    o.target = DiscoverOptions::Target::Range;
    o.range = {Loop(1), Loop(40)};
    o.port = port_;
    o.wait_ms = 0;
    o.rate_per_s = 200;  // 5 ms apart: 40 queries take at least 195 ms
    const auto start = Clock::now();
    const DiscoverResult r = DiscoverPanels(o, progress_);
    const auto took = Clock::now() - start;
    EXPECT_EQ(r.queries_sent, 40u);
    EXPECT_GE(took, std::chrono::milliseconds(195));
}

TEST_F(Sweep, CancelEndsTheListeningSoon) {
    Add(2);
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        cancel_ = true;
    });
    const auto start = Clock::now();
    const DiscoverResult r = Run(1, 4, 5000);
    canceller.join();
    EXPECT_EQ(r.outcome, DiscoverOutcome::Cancelled);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
    // What had answered by then is kept.
    ASSERT_EQ(r.panels.size(), 1u);
    EXPECT_EQ(r.panels[0].address, Loop(2));
}

class RecordingProgress : public NullProgress {
  public:
    void MoveTo(int p) override { positions.push_back(p); }
    void SetText(std::string_view t) override { text = t; }
    std::vector<int> positions;
    std::string text;
};

TEST_F(Sweep, ReportsProgressUpToTheEnd) {
    Add(2);
    RecordingProgress progress;
    DiscoverOptions o;
    o.target = DiscoverOptions::Target::Range;
    o.range = {Loop(1), Loop(3)};
    o.port = port_;
    o.wait_ms = 200;
    DiscoverPanels(o, progress);
    EXPECT_EQ(progress.text, kDiscoverProgressText);
    ASSERT_GE(progress.positions.size(), 3u);
    EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
    EXPECT_EQ(progress.positions.back(), 100);
}

TEST(Broadcast, AnAddressThatIsNoInterfacesBroadcastIsRefusedUnsent) {
    DiscoverOptions o;
    o.target = DiscoverOptions::Target::Broadcast;
    o.broadcast = Loop(255);
    NullProgress progress;
    const DiscoverResult r = DiscoverPanels(o, progress);
    EXPECT_EQ(r.outcome, DiscoverOutcome::NotABroadcast);
    EXPECT_EQ(r.queries_sent, 0u);
}

TEST(Broadcast, FindsThePanelThroughTheInterfacesBroadcastAddress) {
    const auto run = testing::RunInTestNetwork([] {
        // The broadcast reaches sockets bound to any address (not one bound
        // to the interface's own address).
        sim::Panel panel;
        panel.SetJumper(2);
        sim::UdpServer server(panel);
        server.SetAddress(INADDR_ANY);
        std::string error;
        if (!server.Start(0, &error))
            return "server: " + error;
        std::string text;
        for (const bool named : {false, true}) {
            DiscoverOptions o;
            o.target =
                named ? DiscoverOptions::Target::Broadcast : DiscoverOptions::Target::Interfaces;
            o.broadcast = testing::kTestNetBroadcast;
            o.port = server.port();
            o.wait_ms = 300;
            NullProgress progress;
            const DiscoverResult r = DiscoverPanels(o, progress);
            text += std::to_string(static_cast<int>(r.outcome)) + " sent " +
                    std::to_string(r.queries_sent) + ":";
            for (const InterfaceBroadcast& i : r.interfaces)
                text += " " + i.name + " " + HostDotted(i.broadcast);
            for (const FoundPanel& p : r.panels) {
                text += " panel " + HostDotted(p.address) + " jumper " + std::to_string(p.jumper) +
                        (p.reported ? " reports " + p.reported->IpText() : std::string());
            }
            text += "\n";
        }
        return text;
    });
    if (run.skipped)
        GTEST_SKIP() << run.text;
    const std::string once =
        "0 sent 1: kv0 10.77.0.255 panel 10.77.0.1 jumper 2 reports 192.168.0.100\n";
    EXPECT_EQ(run.text, once + once);
}

}  // namespace
}  // namespace korvane
