// korvane-cli batch against one korvane-panel-sim serving many panels:
// faults stay with their panel, the table and exit status say how each
// went, every panel's record is in the run log, and Ctrl-C ends every row.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "cli_fixture.h"
#include "protocol/run_log.h"
#include "support/temp_dir.h"
#include "system/sha256.h"

namespace korvane {
namespace {

using testing::ChildProcess;
using testing::RunProgram;
using testing::RunResult;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

class BatchCli : public ::testing::Test {
  protected:
    // Starts the simulator with `panels` panels and the options given.
    void StartSim(int panels, std::vector<std::string> options) {
        options.insert(options.begin(), {"--panels", std::to_string(panels), "--udp-port", "0",
                                         "--dump", (dir.path() / "dumps").string()});
        sim_ = std::make_unique<ChildProcess>(KORVANE_SIM, options);
        for (int i = 0; i < 50; ++i) {
            const std::string& out = sim_->out();
            if (std::count(out.begin(), out.end(), '\n') >= panels)
                break;
            sim_->WaitForOutput("never printed", false, 100ms);
        }
        std::smatch m;
        ASSERT_TRUE(std::regex_search(sim_->out(), m, std::regex("udp 127\\.0\\.0\\.1:(\\d+)\n")))
            << sim_->out();
        port_ = m[1];
    }

    void TearDown() override {
        if (sim_) {
            sim_->Signal(SIGTERM);
            EXPECT_EQ(sim_->Wait(5s), 0) << sim_->err();
        }
    }

    testing::EnvSettings Env() { return {{"XDG_DATA_HOME", (dir.path() / "data").string()}}; }
    std::vector<std::string> Args(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", (dir.path() / "Para.dat").string()});
        return args;
    }
    fs::path Log() { return dir.path() / "data" / "korvane" / "runs.jsonl"; }

    fs::path MakeImage(size_t n, const std::string& name) {
        image_.resize(n);
        std::srand(7);
        for (auto& b : image_)
            b = static_cast<uint8_t>(std::rand());
        const fs::path path = dir.path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image_.data()),
                   static_cast<std::streamsize>(image_.size()));
        return path;
    }

    fs::path Dump(int panel) {
        return dir.path() / "dumps" / ("panel-" + std::to_string(panel)) / "image-kernel.bin";
    }

    testing::TempDir dir;
    std::unique_ptr<ChildProcess> sim_;
    std::string port_;
    Bytes image_;
};

TEST_F(BatchCli, EightPanelsEachWithItsOwnVerdict) {
    // Panel 5 silent, panel 6 failing every burn, panel 7 failing its first
    // (the image goes again), the others sound.
    StartSim(
        8, {"--burn-ms", "20", "--drop", "5:any", "--fail-final", "6:1000", "--fail-final", "7:1"});
    const fs::path image = MakeImage(30000, "zImage");
    const RunResult r = RunProgram(KORVANE_CLI,
                                   Args({"batch", "--range", "127.0.0.1-8", "--port", port_,
                                         "flash", "kernel", image.string()}),
                                   Env());
    EXPECT_EQ(r.code, 10) << r.err;
    for (int i : {0, 1, 2, 3, 4, 7})
        EXPECT_EQ(ReadAll(Dump(i)), image_) << i;
    EXPECT_NE(ReadAll(Dump(6)), image_);
    // The table: one line per panel, in order, with its verdict.
    const std::vector<std::string> verdicts = {"succeeded",
                                               "succeeded",
                                               "succeeded",
                                               "succeeded",
                                               "succeeded",
                                               "failed \\(Timeout\\)",
                                               "failed \\(ChecksumError\\)",
                                               "succeeded"};
    for (int i = 0; i < 8; ++i) {
        const std::string target = "127\\.0\\.0\\." + std::to_string(i + 1) + ":" + port_;
        const std::string steps = i == 5 || i == 6 ? "0/1" : "1/1";
        const std::string bytes = i == 5 ? "0" : "30000";
        EXPECT_TRUE(std::regex_search(
            r.out, std::regex("\n" + std::to_string(i) + " +" + target + " +" + steps + " +" +
                              bytes + " +[0-9.]+ s +" + verdicts[static_cast<size_t>(i)])))
            << i << "\n"
            << r.out;
    }
    EXPECT_NE(r.out.find("通讯超时"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("包校验错误,烧写失败"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("korvane-cli: 2 of 8 panels failed"), std::string::npos) << r.err;

    // One record per panel, all of one batch, the sound ones with the
    // image's SHA-256.
    Sha256 h;
    h.Feed(image_);
    const RunLogContents log = ReadRunLog(Log());
    ASSERT_EQ(log.records.size(), 8u);
    std::set<std::string> ids;
    std::set<int> rows;
    for (const RunRecord& rec : log.records) {
        ASSERT_TRUE(rec.batch);
        ids.insert(rec.batch->id);
        rows.insert(rec.batch->row);
        ASSERT_EQ(rec.steps.size(), 1u);
        const int row = rec.batch->row;
        EXPECT_EQ(rec.target, "127.0.0." + std::to_string(row + 1) + ":" + port_);
        EXPECT_EQ(rec.verdict, row == 5 || row == 6 ? RunVerdict::Failed : RunVerdict::Succeeded)
            << row;
        if (row != 5) {
            EXPECT_EQ(rec.steps[0].sha256, h.Hex()) << row;
        }
    }
    EXPECT_EQ(ids.size(), 1u);
    EXPECT_EQ(rows.size(), 8u);
}

TEST_F(BatchCli, JsonEventsNameTheirPanelAndAJumperWarningStaysInItsRow) {
    StartSim(2, {"--burn-ms", "10", "--jumper", "1:2"});
    const fs::path image = MakeImage(3000, "zImage");
    const RunResult r =
        RunProgram(KORVANE_CLI,
                   Args({"--json", "batch", "--udp", "127.0.0.1:" + port_ + ",127.0.0.2:" + port_,
                         "flash", "kernel", image.string(), "+", "set-clock", "now"}),
                   Env());
    EXPECT_EQ(r.code, 10) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
        all.push_back(line);
    ASSERT_GE(all.size(), 4u) << r.out;
    // Every event but the batch's summary, its problem and verdict belongs
    // to a panel.
    EXPECT_EQ(all[all.size() - 3].rfind("{\"event\":\"result\",\"batch\":", 0), 0u) << r.out;
    EXPECT_EQ(all[all.size() - 2],
              "{\"event\":\"problem\",\"kind\":\"error\",\"text\":\"1 of 2 panels failed\"}");
    for (size_t i = 0; i + 3 < all.size(); ++i)
        EXPECT_TRUE(all[i].find(",\"panel\":{\"index\":0,\"target\":\"127.0.0.1:" + port_ +
                                "\"}") != std::string::npos ||
                    all[i].find(",\"panel\":{\"index\":1,\"target\":\"127.0.0.2:" + port_ +
                                "\"}") != std::string::npos)
            << all[i];
    EXPECT_EQ(all.back(), "{\"event\":\"verdict\",\"result\":\"PanelsFailed\",\"code\":10}");
    EXPECT_NE(r.out.find("{\"event\":\"message\",\"panel\":{\"index\":1,\"target\":\"127.0.0.2:" +
                         port_ + "\"},\"kind\":\"warning\",\"id\":\"jumper_for_update\""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"event\":\"result\",\"panel\":{\"index\":0,\"target\":\"127.0.0.1:" +
                         port_ + "\"},\"result\":\"Ok\",\"code\":0,\"steps_done\":2"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(ReadAll(Dump(0)), image_);
}

TEST_F(BatchCli, CtrlCEndsEveryRowAndEachRecordSaysCancelled) {
    // Every data acknowledgement slow: the batch is still sending when
    // interrupted.
    StartSim(8, {"--delay", "0x82=60"});
    const fs::path image = MakeImage(60000, "zImage");
    ChildProcess cli(KORVANE_CLI,
                     Args({"batch", "--range", "127.0.0.1-8", "--port", port_, "flash", "kernel",
                           image.string()}),
                     Env());
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(cli.WaitForOutput("panel " + std::to_string(i) + " (", true, 10s)) << cli.err();
    std::this_thread::sleep_for(500ms);
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(20s), 8) << cli.err();
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(std::regex_search(cli.out(), std::regex("\n" + std::to_string(i) +
                                                            " +127\\.0\\.0\\.[0-9]+:[0-9]+ +0/1 "
                                                            ".* cancelled")))
            << i << "\n"
            << cli.out();
    }
    const RunLogContents log = ReadRunLog(Log());
    ASSERT_EQ(log.records.size(), 8u);
    for (const RunRecord& rec : log.records)
        EXPECT_EQ(rec.verdict, RunVerdict::Cancelled);
}

}  // namespace
}  // namespace korvane
