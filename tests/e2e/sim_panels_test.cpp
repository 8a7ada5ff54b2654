// korvane-panel-sim --panels: many panels from one process, programmed,
// faulted and found one by one with korvane-cli.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "child_process.h"
#include "cli_fixture.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ChildProcess;
using testing::RunProgram;
using testing::RunResult;
using namespace std::chrono_literals;

// All matches of `pattern`'s first group in `text`, in order.
std::vector<std::string> Matches(const std::string& text, const std::string& pattern) {
    std::vector<std::string> out;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
        out.push_back((*it)[1]);
    return out;
}

class SimPanels : public ::testing::Test {
  protected:
    // Starts the simulator and waits for its `lines` first lines; the udp
    // lines give each panel's "ADDR:PORT".
    void StartSim(std::vector<std::string> options, int lines) {
        sim_ = std::make_unique<ChildProcess>(KORVANE_SIM, options);
        for (int i = 0; i < 50; ++i) {
            const std::string& out = sim_->out();
            if (std::count(out.begin(), out.end(), '\n') >= lines)
                break;
            sim_->WaitForOutput("never printed", false, 100ms);  // reads what came meanwhile
        }
        udp_ = Matches(sim_->out(), "udp (\\S+)\n");
        pty_ = Matches(sim_->out(), "pty (\\S+)\n");
    }

    void TearDown() override {
        if (sim_) {
            sim_->Signal(SIGTERM);
            EXPECT_EQ(sim_->Wait(5s), 0) << sim_->err();
        }
    }

    RunResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", (dir.path() / "Para.dat").string()});
        return RunProgram(KORVANE_CLI, args);
    }

    std::string WriteImage(const Bytes& bytes, const std::string& name) {
        const auto path = dir.path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    testing::TempDir dir;
    std::unique_ptr<ChildProcess> sim_;
    std::vector<std::string> udp_;
    std::vector<std::string> pty_;
};

TEST_F(SimPanels, EachPanelBurnsItsOwnImageIntoItsOwnDump) {
    const auto dumps = dir.path() / "dumps";
    StartSim(
        {"--panels", "3", "--udp-port", "0", "--pty", "--burn-ms", "20", "--dump", dumps.string()},
        6);
    ASSERT_EQ(udp_.size(), 3u) << sim_->out();
    ASSERT_EQ(pty_.size(), 3u) << sim_->out();
    const std::string port = udp_[0].substr(udp_[0].find(':'));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(udp_[i], "127.0.0." + std::to_string(1 + i) + port);
    EXPECT_NE(pty_[0], pty_[1]);
    EXPECT_NE(pty_[1], pty_[2]);

    std::vector<Bytes> kernels;
    for (int i = 0; i < 3; ++i) {
        kernels.push_back(RandomImage(20000 + 1000 * i, 10 + i));
        const auto r = Cli({"--udp", udp_[i], "flash", "kernel",
                            WriteImage(kernels.back(), "k" + std::to_string(i) + ".bin")});
        EXPECT_EQ(r.code, 0) << i << ": " << r.err;
    }
    // Over panel 1's own pseudo-terminal, a boot loader to that panel only.
    const Bytes boot = RandomImage(3000, 20);
    const auto r = Cli({"--serial", pty_[1], "flash", "bootloader", WriteImage(boot, "b.bin")});
    EXPECT_EQ(r.code, 0) << r.err;

    for (int i = 0; i < 3; ++i) {
        const auto folder = dumps / ("panel-" + std::to_string(i));
        EXPECT_EQ(ReadAll(folder / "image-kernel.bin"), kernels[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(std::filesystem::exists(folder / "image-bootloader.bin"), i == 1) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(dumps / "image-kernel.bin"));
    // Each report names its panel, in the order the images were burnt.
    sim_->WaitForOutput("never printed", false, 300ms);  // reads what came meanwhile
    EXPECT_EQ(Matches(sim_->out(), "(panel \\d): image kind \\d+ at"),
              (std::vector<std::string>{"panel 0", "panel 1", "panel 2", "panel 1"}))
        << sim_->out();
}

TEST_F(SimPanels, AFaultGivenForOnePanelStaysWithIt) {
    // Panel 1 silent, panel 2 failing every burn, panel 0 sound; panel 0
    // also shows that a fault for every panel reaches it.
    StartSim({"--panels", "3", "--udp-port", "0", "--burn-ms", "20", "--drop", "1:any",
              "--fail-final", "2:1000", "--status", "0x21=0"},
             3);
    ASSERT_EQ(udp_.size(), 3u) << sim_->out();
    const std::string image = WriteImage(RandomImage(9000, 3), "k.bin");
    RunResult r = Cli({"--udp", udp_[0], "flash", "kernel", image});
    EXPECT_EQ(r.code, 0) << r.err;
    r = Cli({"--udp", udp_[1], "flash", "kernel", image});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("no answer on udp " + udp_[1]), std::string::npos) << r.err;
    r = Cli({"--udp", udp_[2], "flash", "kernel", image});
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_NE(r.err.find("包校验错误,烧写失败"), std::string::npos) << r.err;
    // Panel 0 is sound after all that, and refuses what every panel refuses.
    r = Cli({"--udp", udp_[0], "status"});
    EXPECT_EQ(r.code, 0) << r.err;
    r = Cli({"--udp", udp_[0], "get-ip"});
    EXPECT_EQ(r.code, 5) << r.err;
    r = Cli({"--udp", udp_[2], "get-ip"});
    EXPECT_EQ(r.code, 5) << r.err;
}

TEST_F(SimPanels, ASweepFindsEveryPanelAtItsOwnAddress) {
    StartSim({"--panels", "3", "--udp-port", "0", "--jumper", "2:2"}, 3);
    ASSERT_EQ(udp_.size(), 3u) << sim_->out();
    const std::string port = udp_[0].substr(udp_[0].find(':') + 1);
    const auto r = RunProgram(KORVANE_CLI, {"discover", "--range", "127.0.0.1-127.0.0.3", "--port",
                                            port, "--wait", "300", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    std::string expected;
    for (int i = 1; i <= 3; ++i) {
        const std::string address = "127.0.0." + std::to_string(i);
        expected += "{\"event\":\"result\",\"address\":\"" + address + "\",\"port\":" + port +
                    ",\"jumper\":" + (i == 3 ? "2" : "1") + ",\"reported_ip\":\"" + address +
                    "\",\"reported_port\":" + port + "}\n";
    }
    EXPECT_EQ(r.out, expected + "{\"event\":\"verdict\",\"result\":\"Ok\",\"code\":0}\n");
}

TEST_F(SimPanels, ConsecutivePortsOfOneAddressWithPortStep) {
    StartSim({"--panels", "2", "--port-step", "--udp-port", "0", "--bind", "127.0.0.4"}, 2);
    ASSERT_EQ(udp_.size(), 2u) << sim_->out();
    const auto ports = Matches(sim_->out(), "udp 127\\.0\\.0\\.4:(\\d+)\n");
    ASSERT_EQ(ports.size(), 2u) << sim_->out();
    EXPECT_EQ(std::stoi(ports[1]), std::stoi(ports[0]) + 1);
    const auto r = Cli({"--udp", udp_[1], "get-ip"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "127.0.0.4 " + ports[1] + "\n");
}

TEST(SimPanelsUsage, RefusesWhatNamesNoPanel) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"--panels", "0"}, "--panels takes a number from 1 to 254, not \"0\""},
        {{"--panels", "255"}, "--panels takes a number from 1 to 254, not \"255\""},
        {{"--panels", "3", "--drop", "3:any"},
         "--drop 3:any names panel 3, but only panels 0 to 2 are served (--panels 3)"},
        {{"--drop", "1:0x03"},
         "--drop 1:0x03 names panel 1, but only panel 0 is served (--panels 1)"},
        {{"--status", "x:0x82=0"},
         "--status takes a panel number from 0 to 253 before the colon, not \"x:0x82=0\""},
        {{"--delay", "1:0x82"}, "--delay takes CODE=MS, MS from 0 to 600000, not \"1:0x82\""},
        {{"--panels", "3", "--bind", "127.255.255.254"},
         "--panels 3 from 127.255.255.254 runs past 127.255.255.255"},
        {{"--panels", "3", "--port-step", "--udp-port", "65534"},
         "--panels 3 from port 65534 runs past port 65535"},
    };
    for (const auto& [args, problem] : wrong) {
        const RunResult r = RunProgram(KORVANE_SIM, args);
        EXPECT_EQ(r.code, 64) << problem;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "korvane-panel-sim: " + problem);
    }
}

}  // namespace
}  // namespace korvane
