// korvane-cli batch against one korvane-panel-sim serving many panels:
// faults stay with their panel, the table and exit status say how each
// went, every panel's record is in the run log, and Ctrl-C ends every row;
// panels found by a search, job files, and the lines drawn on a terminal.
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
#include "pty_child.h"
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

    fs::path Dump(int panel, const std::string& kind = "kernel") {
        return dir.path() / "dumps" / ("panel-" + std::to_string(panel)) /
               ("image-" + kind + ".bin");
    }

    // A 24-bit BMP of one colour, made by hand: this test program has no
    // picture library.
    fs::path MakeBmp(int width, int height, const std::string& name) {
        const int row = (width * 3 + 3) / 4 * 4;
        const uint32_t pixels = static_cast<uint32_t>(row * height);
        std::string bmp = "BM";
        auto put = [&bmp](uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                bmp += static_cast<char>(v >> (8 * i) & 0xFF);
        };
        put(54 + pixels, 4);
        put(0, 4);
        put(54, 4);
        put(40, 4);
        put(static_cast<uint32_t>(width), 4);
        put(static_cast<uint32_t>(height), 4);
        put(1, 2);
        put(24, 2);
        put(0, 4);
        put(pixels, 4);
        put(2835, 4);
        put(2835, 4);
        put(0, 4);
        put(0, 4);
        for (uint32_t i = 0; i < pixels; ++i)
            bmp += static_cast<char>(i % 3 == 1 ? 200 : 30);
        const fs::path path = dir.path() / name;
        std::ofstream(path, std::ios::binary) << bmp;
        return path;
    }

    // Runs korvane-cli with the settings file and data folder of the test.
    RunResult Cli(std::vector<std::string> args) {
        return RunProgram(KORVANE_CLI, Args(args), Env());
    }

    testing::TempDir dir;
    std::unique_ptr<ChildProcess> sim_;
    std::string port_;
    Bytes image_;
};

TEST_F(BatchCli, EightPanelsEachWithItsOwnVerdict) {
    // Panel 5 silent, panel 6 failing every burn, panel 7 losing every 8th
    // acknowledgement (each of those packets goes again), the others sound.
    StartSim(8, {"--burn-ms", "20", "--drop", "5:any", "--fail-final", "6:1000", "--lose", "7:8"});
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

TEST_F(BatchCli, APanelLosingEveryAcknowledgementFailsAfterItsRetries) {
    // Panel 0 loses every second acknowledgement (each retry is answered),
    // panel 1 every one: the link gives up on it as on a silent panel.
    StartSim(2, {"--burn-ms", "10", "--lose", "0:2", "--lose", "1:1"});
    const fs::path image = MakeImage(6000, "zImage");
    const RunResult r = Cli(
        {"batch", "--range", "127.0.0.1-2", "--port", port_, "flash", "kernel", image.string()});
    EXPECT_EQ(r.code, 10) << r.err;
    EXPECT_EQ(ReadAll(Dump(0)), image_);
    EXPECT_FALSE(fs::exists(Dump(1)));
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("\n0 +127\\.0\\.0\\.1:[0-9]+ +1/1 +6000 .* succeeded")))
        << r.out;
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("\n1 +127\\.0\\.0\\.2:[0-9]+ +0/1 .* failed \\(Timeout\\)")))
        << r.out;
}

#if KORVANE_QT
// One command: every panel the search finds gets a kernel and a logo, each
// has its verdict, and each its one record with both steps.
TEST_F(BatchCli, DiscoverProgramsKernelAndLogoIntoEveryPanelFound) {
    StartSim(4, {"--burn-ms", "10"});
    const fs::path image = MakeImage(20000, "zImage");
    const fs::path picture = MakeBmp(40, 30, "start.bmp");
    const RunResult r = Cli({"batch", "--discover", "--range", "127.0.0.1-127.0.0.4", "--port",
                             port_, "flash", "kernel", image.string(), "+", "flash", "logo",
                             picture.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("korvane-cli: found 4 panels at 127.0.0.1-127.0.0.4 port " + port_ + "\n"),
              std::string::npos)
        << r.err;
    // The count comes before the batch begins.
    EXPECT_LT(r.err.find("found 4 panels"), r.err.find("korvane-cli: batch ")) << r.err;
    const Bytes logo = ReadAll(dir.path() / "start.bmp.logo");
    ASSERT_FALSE(logo.empty());
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::regex_search(
            r.out,
            std::regex("\n" + std::to_string(i) + " +127\\.0\\.0\\." + std::to_string(i + 1) + ":" +
                       port_ + " +2/2 +[0-9]+ +[0-9.]+ s +succeeded")))
            << i << "\n"
            << r.out;
        EXPECT_EQ(ReadAll(Dump(i)), image_) << i;
        EXPECT_EQ(ReadAll(Dump(i, "logo")), logo) << i;
    }
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5) << r.out;
    const RunLogContents log = ReadRunLog(Log());
    ASSERT_EQ(log.records.size(), 4u);
    std::set<std::string> targets;
    for (const RunRecord& rec : log.records) {
        targets.insert(rec.target);
        EXPECT_EQ(rec.verdict, RunVerdict::Succeeded) << rec.target;
        ASSERT_EQ(rec.steps.size(), 2u) << rec.target;
        EXPECT_EQ(rec.steps[0].kind, "kernel");
        EXPECT_EQ(rec.steps[1].kind, "logo");
    }
    EXPECT_EQ(targets.size(), 4u);
}
#endif

TEST_F(BatchCli, DiscoveredPanelsJoinTheNamedOnesAndNoneFoundSendsNothing) {
    StartSim(3, {"--burn-ms", "10"});
    // 127.0.0.2 named and found: taken once, where it was named.
    RunResult r = Cli({"--json", "batch", "--udp", "127.0.0.2:" + port_, "--discover", "--range",
                       "127.0.0.1-127.0.0.3", "--port", port_, "set-clock", "now"});
    EXPECT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string first;
    std::getline(lines, first);
    EXPECT_EQ(first, "{\"event\":\"result\",\"discovered\":3,\"targets\":[\"127.0.0.1:" + port_ +
                         "\",\"127.0.0.2:" + port_ + "\",\"127.0.0.3:" + port_ + "\"]}");
    for (const auto& [index, address] :
         std::vector<std::pair<int, std::string>>{{0, "2"}, {1, "1"}, {2, "3"}}) {
        EXPECT_NE(
            r.out.find("{\"event\":\"result\",\"panel\":{\"index\":" + std::to_string(index) +
                       ",\"target\":\"127.0.0." + address + ":" + port_ + "\"},\"result\":\"Ok\""),
            std::string::npos)
            << index << "\n"
            << r.out;
    }
    EXPECT_NE(r.out.find("\"panels\":3,\"succeeded\":3"), std::string::npos) << r.out;
    EXPECT_EQ(ReadRunLog(Log()).records.size(), 3u);

    // Nobody at the range searched: the search's own hint and status, and
    // no panel is sent anything.
    const fs::path image = MakeImage(3000, "zImage");
    r = Cli({"batch", "--discover", "--range", "127.0.0.5-127.0.0.6", "--port", port_, "flash",
             "kernel", image.string()});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("korvane-cli: no panel answered at 127.0.0.5-127.0.0.6 port " + port_),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadRunLog(Log()).records.size(), 3u);

    // A step that cannot run is refused before any search.
    r = Cli({"batch", "--discover", "--range", "127.0.0.1-127.0.0.3", "--port", port_, "flash",
             "kernel", (dir.path() / "missing").string()});
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_EQ(r.err.find("found"), std::string::npos) << r.err;
    r = Cli({"batch", "--discover=yes", "set-clock", "now"});
    EXPECT_EQ(r.code, 64) << r.err;
    EXPECT_NE(r.err.find("--discover takes no value"), std::string::npos) << r.err;
    EXPECT_EQ(ReadRunLog(Log()).records.size(), 3u);
}

TEST_F(BatchCli, AJobFileNamesTargetsAndStepsAndABadOneIsRefusedWhole) {
    StartSim(2, {"--burn-ms", "10"});
    const fs::path folder = dir.path() / "job";
    fs::create_directories(folder);
    MakeImage(5000, "job/kernel.bin");
    const fs::path job = folder / "job.json";
    std::ofstream(job) << "{\"targets\": [\"127.0.0.1:" << port_ << "\", \"127.0.0.2:" << port_
                       << "\"], \"jobs\": 1,\n \"steps\": [{\"flash\": \"kernel\", \"file\": "
                          "\"kernel.bin\"}, {\"set-clock\": \"now\"}]}\n";
    // Run from another folder: the image is found beside the job file.
    RunResult r = Cli({"batch", "--job", job.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(ReadAll(Dump(i)), image_) << i;
        EXPECT_TRUE(std::regex_search(
            r.out, std::regex("\n" + std::to_string(i) + " +127\\.0\\.0\\." +
                              std::to_string(i + 1) + ":" + port_ + " +2/2 +5000 .* succeeded")))
            << r.out;
    }
    ASSERT_EQ(ReadRunLog(Log()).records.size(), 2u);

    // Each bad file: exit 64, the file and where in it, nothing sent.
    const std::string good_step = "{\"flash\": \"kernel\", \"file\": \"kernel.bin\"}";
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"{\"steps\": [" + good_step + ",\n ]}", "bad.json: parse error at line 2, column"},
        {"[1, 2]", "bad.json: the file holds an object"},
        {"{\"target\": []}", "bad.json: unknown key \"target\" (targets, jobs, steps)"},
        {"{\"targets\": [\"127.0.0.1:" + port_ + "\", 7], \"steps\": [" + good_step + "]}",
         "bad.json, target 2: a target is \"ADDR[:PORT]\" or {\"serial\": \"DEVICE\"}, not 7"},
        {"{\"targets\": [\"127.0.0.1:99999\"], \"steps\": [" + good_step + "]}",
         "bad.json, target 1: not a port from 1 to 65535: 99999"},
        {"{\"jobs\": 0, \"steps\": [" + good_step + "]}",
         "bad.json: \"jobs\" takes a number from 1 to 1024, not 0"},
        {"{\"steps\": []}", "bad.json: \"steps\" is a list of one step or more"},
        {"{\"steps\": [" + good_step + ", {\"flash\": \"kernal\", \"file\": \"kernel.bin\"}]}",
         "bad.json, step 2: unknown image kind kernal"},
        {"{\"steps\": [{\"flash\": \"kernel\", \"file\": \"kernel.bin\", \"model\": \"x\"}]}",
         "bad.json, step 1: flash kernel takes no option --model"},
        {"{\"steps\": [{\"flash\": \"kernel\", \"file\": \"kernel.bin\", \"speed\": 3}]}",
         "bad.json, step 1: unknown key \"speed\""},
        {"{\"steps\": [{\"set-clock\": \"yesterday\"}]}",
         "bad.json, step 1: set-clock in a batch takes now or"},
        {"{\"steps\": [{\"set-clock\": \"now\", \"flash\": \"kernel\"}]}",
         "bad.json, step 1: a step has either \"flash\" or \"set-clock\""},
    };
    const fs::path bad_file = folder / "bad.json";
    for (const auto& [text, message] : bad) {
        std::ofstream(bad_file, std::ios::trunc) << text;
        r = Cli({"batch", "--udp", "127.0.0.1:" + port_, "--job", bad_file.string()});
        EXPECT_EQ(r.code, 64) << text << "\n" << r.err;
        EXPECT_NE(r.err.find("korvane-cli: the job file " + folder.string() + "/" + message),
                  std::string::npos)
            << text << "\n"
            << r.err;
    }
    // Steps in the file and on the line; a file that is not there.
    r = Cli({"batch", "--job", job.string(), "set-clock", "now"});
    EXPECT_EQ(r.code, 64) << r.err;
    EXPECT_NE(r.err.find("job.json has steps: give the steps there or on the command line, not "
                         "both"),
              std::string::npos)
        << r.err;
    r = Cli({"batch", "--job", (folder / "none.json").string()});
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_NE(r.err.find("cannot read the job file"), std::string::npos) << r.err;
    EXPECT_EQ(ReadRunLog(Log()).records.size(), 2u);
}

// On a terminal each panel has a line drawn again in place, and the table
// still goes to stdout; the plain per-panel lines are for scripts only.
TEST_F(BatchCli, OnATerminalEachPanelHasALineDrawnInPlace) {
    StartSim(3, {"--burn-ms", "10", "--delay", "0x82=3"});
    const fs::path image = MakeImage(40000, "zImage");
    testing::PtyChild cli(KORVANE_CLI,
                          Args({"batch", "--range", "127.0.0.1-3", "--port", port_, "flash",
                                "kernel", image.string()}),
                          70);
    EXPECT_EQ(cli.Wait(60s), 0) << cli.terminal();
    const std::string& t = cli.terminal();
    // Up three lines, then each line cleared to its end: a redraw in place.
    EXPECT_NE(t.find("\r\x1b[3A"), std::string::npos) << t;
    EXPECT_GE(std::count(t.begin(), t.end(), '\x1b'), 12) << t;
    for (int i = 0; i < 3; ++i) {
        const std::string head = "panel " + std::to_string(i) + "  127.0.0." +
                                 std::to_string(i + 1) + ":" + port_ + "  ";
        EXPECT_NE(t.find(head + "running  "), std::string::npos) << i << "\n" << t;
        EXPECT_NE(t.find(head + "succeeded  100%  step 1/1: flash kernel"), std::string::npos)
            << i << "\n"
            << t;
        // The panel's messages scroll above the lines.
        EXPECT_NE(t.find("panel " + std::to_string(i) + " (127.0.0." + std::to_string(i + 1) + ":" +
                         port_ + "): 更新完毕!"),
                  std::string::npos)
            << t;
    }
    EXPECT_EQ(t.find("korvane-cli: panel 0 (127.0.0.1:" + port_ + "): step 1/1"), std::string::npos)
        << t;
    EXPECT_EQ(cli.out().rfind("PANEL  TARGET", 0), 0u) << cli.out();
    EXPECT_EQ(std::count(cli.out().begin(), cli.out().end(), '\n'), 4) << cli.out();
}

}  // namespace
}  // namespace korvane
