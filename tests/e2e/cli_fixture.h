#pragma once
// korvane-cli run as a program against a korvane-panel-sim of its own on
// loopback, with its settings file in a fresh folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "child_process.h"
#include "support/temp_dir.h"

namespace korvane {

using Bytes = std::vector<uint8_t>;

inline Bytes ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

inline void WriteAll(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The same bytes for the same seed, so that a failing run can be repeated.
inline Bytes RandomImage(size_t n, unsigned seed) {
    Bytes bytes(n);
    std::srand(seed);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(std::rand());
    return bytes;
}

class CliTest : public ::testing::Test {
  protected:
    // Starts the simulator with extra options; the port it prints is used.
    void StartSim(std::vector<std::string> options = {}) {
        using namespace std::chrono_literals;
        options.insert(options.begin(), {"--udp-port", "0"});
        sim_ = std::make_unique<testing::ChildProcess>(KORVANE_SIM, options);
        ASSERT_TRUE(sim_->WaitForOutput("\n", false, 5s)) << sim_->err();
        std::smatch m;
        const std::string out = sim_->out();
        ASSERT_TRUE(std::regex_search(out, m, std::regex("udp 127\\.0\\.0\\.1:(\\d+)")));
        port_ = m[1];
    }

    void TearDown() override {
        using namespace std::chrono_literals;
        if (sim_) {
            sim_->Signal(SIGTERM);
            sim_->Wait(5s);
        }
    }

    std::vector<std::string> LinkArgs(std::vector<std::string> args) const {
        std::vector<std::string> all = {"--settings", (dir.path() / "Para.dat").string()};
        if (!port_.empty()) {
            all.push_back("--udp");
            all.push_back("127.0.0.1:" + port_);
        }
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    // Without `environment` the child has no locale: the stored texts. Its
    // data folder is the test's own (RunLog()), unless `environment` names one.
    testing::RunResult Cli(std::vector<std::string> args,
                           const testing::EnvSettings& environment = {}) {
        testing::EnvSettings with_data = environment;
        const bool named = std::any_of(environment.begin(), environment.end(),
                                       [](const auto& e) { return e.first == "XDG_DATA_HOME"; });
        if (!named)
            with_data.emplace_back("XDG_DATA_HOME", (dir.path() / "data").string());
        return testing::RunProgram(KORVANE_CLI, LinkArgs(args), with_data);
    }

    // The run log the programs this test starts write to.
    std::filesystem::path RunLog() const { return dir.path() / "data" / "korvane" / "runs.jsonl"; }

    testing::TempDir dir;
    std::unique_ptr<testing::ChildProcess> sim_;
    std::string port_;
};

}  // namespace korvane
