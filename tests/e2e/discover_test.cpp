// korvane-cli discover against simulators side by side on loopback
// addresses, and the broadcast path in a network namespace of the test's own.
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <regex>

#include "child_process.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "support/test_network.h"

namespace korvane {
namespace {

using korvane::testing::ChildProcess;
using korvane::testing::RunProgram;
using korvane::testing::RunResult;
using namespace std::chrono_literals;

class DiscoverCli : public ::testing::Test {
  protected:
    // A simulator on 127.0.0.`last`; they all share the first one's port.
    void StartSim(int last, std::vector<std::string> options = {}) {
        const std::string address = "127.0.0." + std::to_string(last);
        options.insert(options.end(),
                       {"--bind", address, "--udp-port", port_.empty() ? "0" : port_});
        auto& sim = sims_.emplace_back(std::make_unique<ChildProcess>(KORVANE_SIM, options));
        ASSERT_TRUE(sim->WaitForOutput("\n", false, 5s)) << sim->err();
        std::smatch m;
        const std::string out = sim->out();
        ASSERT_TRUE(std::regex_search(out, m, std::regex("udp (\\S+):(\\d+)"))) << out;
        EXPECT_EQ(m[1], address);
        port_ = m[2];
    }

    void TearDown() override {
        for (auto& sim : sims_) {
            sim->Signal(SIGTERM);
            sim->Wait(5s);
        }
    }

    RunResult Discover(std::vector<std::string> args) {
        args.insert(args.begin(), "discover");
        return RunProgram(KORVANE_CLI, args);
    }

    std::vector<std::unique_ptr<ChildProcess>> sims_;
    std::string port_;
};

TEST_F(DiscoverCli, SweepListsExactlyTheAnsweringPanels) {
    StartSim(2);
    StartSim(3, {"--jumper", "2"});
    StartSim(5, {"--drop", "0x03"});  // silent
    StartSim(9);                      // outside the range: never asked
    const std::string& p = port_;
    // The sweep leaves out 127.0.0.1, where other tests' simulators run: one
    // of them could have drawn the same port.
    auto r = Discover({"--range", "127.0.0.2-127.0.0.8", "--port", p, "--wait", "300"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "127.0.0.2  port " + p + "  jumper 1\n127.0.0.3  port " + p + "  jumper 2\n");
    EXPECT_EQ(r.err, "");

    r = Discover({"--range", "127.0.0.2-8", "--port", p, "--wait", "300", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "{\"event\":\"result\",\"address\":\"127.0.0.2\",\"port\":" + p +
                         ",\"jumper\":1,\"reported_ip\":\"127.0.0.2\",\"reported_port\":" + p +
                         "}\n"
                         "{\"event\":\"result\",\"address\":\"127.0.0.3\",\"port\":" +
                         p + ",\"jumper\":2,\"reported_ip\":\"127.0.0.3\",\"reported_port\":" + p +
                         "}\n"
                         "{\"event\":\"verdict\",\"result\":\"Ok\",\"code\":0}\n");

    // One panel: the line that puts it in the settings follows.
    r = Discover({"--range", "127.0.0.3-4", "--port", p, "--wait", "300"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "127.0.0.3  port " + p + "  jumper 2\n");
    EXPECT_EQ(r.err, "next: korvane-cli settings --link udp --ip 127.0.0.3 --port " + p + "\n");
}

TEST_F(DiscoverCli, NoneAnsweringExitsTwoWithAHint) {
    StartSim(5, {"--drop", "0x03"});
    const auto r = Discover({"--range", "127.0.0.4-127.0.0.6", "--port", port_, "--wait", "200"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no panel answered at 127.0.0.4-127.0.0.6 port " + port_),
              std::string::npos)
        << r.err;
}

TEST_F(DiscoverCli, RefusesWhatItCannotAskSafely) {
    const std::vector<std::vector<std::string>> cases = {
        {"--range", "127.0.0.1-127.0.16.1"},  // too long a sweep
        {"--range", "127.0.0.9-1"},
        {"--range", "127.0.0.1-8", "--broadcast", "127.255.255.255"},
        {"--broadcast", "127.0.0.1"},  // no interface's broadcast address
        {"--port", "0"},
        {"--wait", "-1"},
        {"extra"},
    };
    for (const auto& args : cases) {
        const auto r = Discover(args);
        EXPECT_EQ(r.code, 64) << args[0] << " " << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(SimulatorBind, TakesOnlyLoopbackAddresses) {
    for (const char* address : {"10.0.0.1", "0.0.0.0", "127.0.0", "127.0.0.256", "localhost"}) {
        const auto r = RunProgram(KORVANE_SIM, {"--bind", address, "--udp-port", "0"});
        EXPECT_EQ(r.code, 64) << address;
        EXPECT_NE(r.err.find("--bind takes an address 127.x.y.z"), std::string::npos) << r.err;
    }
}

TEST(DiscoverBroadcast, FindsThePanelOnTheNamespacesInterface) {
    const auto run = testing::RunInTestNetwork([] {
        sim::Panel panel;
        sim::UdpServer server(panel);
        server.SetAddress(0);  // any address: a broadcast reaches no socket bound to one
        std::string error;
        if (!server.Start(0, &error))
            return "server: " + error;
        const std::string port = std::to_string(server.port());
        std::string text;
        for (const std::vector<std::string>& extra :
             {std::vector<std::string>{}, {"--broadcast", "10.77.0.255"}}) {
            std::vector<std::string> args = {"discover", "--port", port, "--wait", "300"};
            args.insert(args.end(), extra.begin(), extra.end());
            const RunResult r = RunProgram(KORVANE_CLI, args);
            text += std::to_string(r.code) + ":" + r.out;
        }
        return std::regex_replace(text, std::regex("port " + port), "port P");
    });
    if (run.skipped)
        GTEST_SKIP() << run.text;
    const std::string line = "0:10.77.0.1  port P  jumper 1  reports 192.168.0.100 port 21845\n";
    EXPECT_EQ(run.text, line + line);
}

}  // namespace
}  // namespace korvane
