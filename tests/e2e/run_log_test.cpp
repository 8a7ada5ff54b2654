// The run log as korvane-cli writes and prints it, against korvane-panel-sim
// on loopback.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli_fixture.h"
#include "protocol/run_log.h"
#include "system/sha256.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class RunLogCliTest : public CliTest {
  protected:
    // An image of `size` bytes that no run can mistake for another.
    fs::path MakeImage(size_t size) {
        Bytes bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>((i * 7919 + i / 251) & 0xFF);
        const fs::path image = dir.path() / "zImage";
        WriteAll(image, bytes);
        Sha256 h;
        h.Feed(bytes);
        image_sha_ = h.Hex();
        return image;
    }

    std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string image_sha_;
};

TEST_F(RunLogCliTest, AProgrammingRunAppendsOneRecordWithTheSentBytesHash) {
    StartSim();
    const fs::path image = MakeImage(5000);
    const auto r = Cli({"flash", "kernel", image.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    const RunLogContents log = ReadRunLog(RunLog());
    EXPECT_TRUE(log.damaged_lines.empty());
    ASSERT_EQ(log.records.size(), 1u);
    const RunRecord& rec = log.records[0];
    EXPECT_EQ(rec.front_end, FrontEnd::Cli);
    EXPECT_EQ(rec.target, "127.0.0.1:" + port_);
    EXPECT_EQ(rec.verdict, RunVerdict::Succeeded);
    EXPECT_EQ(rec.jumper, 1);
    ASSERT_EQ(rec.steps.size(), 1u);
    EXPECT_EQ(rec.steps[0].kind, "kernel");
    EXPECT_EQ(rec.steps[0].file, "zImage");
    EXPECT_EQ(rec.steps[0].size, 5000u);
    EXPECT_EQ(rec.steps[0].sha256, image_sha_);
    EXPECT_EQ(rec.steps[0].verdict, RunVerdict::Succeeded);
    ASSERT_FALSE(rec.messages.empty());
    EXPECT_EQ(rec.messages.back().id, "update_done");
    EXPECT_EQ(rec.time.size(), 24u) << rec.time;  // 2026-03-01T08:30:00.125Z
    EXPECT_EQ(rec.time.back(), 'Z');

    // An erase is a run too; a command that runs nothing is not.
    ASSERT_EQ(Cli({"status"}).code, 0);
    ASSERT_EQ(Cli({"erase"}).code, 0);
    const RunLogContents after = ReadRunLog(RunLog());
    ASSERT_EQ(after.records.size(), 2u);
    EXPECT_EQ(after.records[0], rec);
    EXPECT_EQ(after.records[1].steps[0].kind, "erase");
}

TEST_F(RunLogCliTest, ARefusedRunIsLoggedAsFailedWithTheMessageId) {
    StartSim({"--jumper", "2"});
    const fs::path image = MakeImage(3000);
    const auto r = Cli({"flash", "kernel", image.string()});
    EXPECT_EQ(r.code, 5) << r.err;
    const RunLogContents log = ReadRunLog(RunLog());
    ASSERT_EQ(log.records.size(), 1u);
    const RunRecord& rec = log.records[0];
    EXPECT_EQ(rec.verdict, RunVerdict::Failed);
    EXPECT_EQ(rec.steps[0].verdict, RunVerdict::Failed);
    EXPECT_EQ(rec.jumper, 2);
    EXPECT_EQ(rec.steps[0].file, "zImage");
    EXPECT_EQ(rec.steps[0].sha256, std::nullopt);  // nothing was sent
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].id, "jumper_for_update");
}

TEST_F(RunLogCliTest, AnUnwritableLogFolderNeitherFailsNorHidesTheRun) {
    StartSim();
    const fs::path image = MakeImage(2000);
    // A regular file where the folder should be stops root too.
    const fs::path blocked = dir.path() / "blocked";
    WriteAll(blocked, {'x'});
    const auto r = Cli({"flash", "kernel", image.string()}, {{"XDG_DATA_HOME", blocked.string()}});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "programmed 2000 bytes\n");
    const std::string log = (blocked / "korvane" / "runs.jsonl").string();
    EXPECT_NE(r.err.find("无法写入运行记录 " + log + "："), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("更新完毕!"), std::string::npos) << r.err;
    EXPECT_EQ(ReadAll(blocked), (Bytes{'x'}));
}

class LogCommandTest : public RunLogCliTest {
  protected:
    void SetUp() override {
        RunRecord a;
        a.time = "2026-02-27T23:59:59.999Z";
        a.target = "127.0.0.1:21845";
        a.jumper = 1;
        a.steps = {{"kernel", "zImage", 5000, std::string(64, 'a'), 812, RunVerdict::Succeeded}};
        a.duration_ms = 812;
        a.verdict = RunVerdict::Succeeded;
        a.messages = {{"update_done", "更新完毕!"}};
        RunRecord b = a;
        b.time = "2026-02-28T00:00:00.000Z";
        b.front_end = FrontEnd::Window;
        b.target = "/dev/ttyUSB0";
        b.steps = {{"erase", std::nullopt, std::nullopt, std::nullopt, 20, RunVerdict::Failed}};
        b.verdict = RunVerdict::Failed;
        b.messages = {{"erase_failed", "擦除失败, x"}};
        lines_ = {RunRecordLine(a), RunRecordLine(b)};
        fs::create_directories(RunLog().parent_path());
        std::ofstream(RunLog()) << lines_[0] << "\n"
                                << "{\"time\":\"2026-02-28T01\n"  // a cut line
                                << lines_[1] << "\n";
    }

    std::vector<std::string> lines_;
};

TEST_F(LogCommandTest, PrintsATableCsvAndTheStoredLines) {
    const auto table = Cli({"log"});
    ASSERT_EQ(table.code, 0) << table.err;
    const auto rows = Lines(table.out);
    ASSERT_EQ(rows.size(), 3u) << table.out;
    EXPECT_EQ(rows[0].rfind("TIME (UTC)", 0), 0u);
    EXPECT_NE(rows[1].find("2026-02-27T23:59:59.999Z"), std::string::npos);
    EXPECT_NE(rows[1].find("kernel"), std::string::npos);
    EXPECT_NE(rows[1].find("succeeded"), std::string::npos);
    EXPECT_NE(rows[2].find("/dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(rows[2].find("erase_failed"), std::string::npos);
    // The damaged line is named, and only it.
    EXPECT_EQ(table.err, "korvane-cli: warning: " + RunLog().string() +
                             " line 2 is no whole record (cut short?) and was skipped\n");

    const auto csv = Cli({"log", "--csv"});
    ASSERT_EQ(csv.code, 0) << csv.err;
    const auto csv_rows = Lines(csv.out);
    ASSERT_EQ(csv_rows.size(), 3u) << csv.out;
    EXPECT_EQ(csv_rows[0],
              "time,front_end,target,panel_address,panel_port,jumper,step,kind,file,size,sha256,"
              "step_ms,step_verdict,duration_ms,verdict,messages");
    EXPECT_EQ(csv_rows[1],
              "2026-02-27T23:59:59.999Z,cli,127.0.0.1:21845,,,1,1,kernel,zImage,5000," +
                  std::string(64, 'a') + ",812,succeeded,812,succeeded,update_done: 更新完毕!");
    EXPECT_EQ(csv_rows[2],
              "2026-02-28T00:00:00.000Z,window,/dev/ttyUSB0,,,1,1,erase,,,,20,failed,812,failed,"
              "\"erase_failed: 擦除失败, x\"");

    const auto json = Cli({"log", "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_EQ(Lines(json.out), lines_);
}

TEST_F(LogCommandTest, SinceKeepsLaterRunsAndRefusesABadDate) {
    const auto day = Cli({"log", "--json", "--since", "2026-02-28"});
    ASSERT_EQ(day.code, 0) << day.err;
    EXPECT_EQ(Lines(day.out), std::vector<std::string>{lines_[1]});
    const auto time = Cli({"log", "--json", "--since", "2026-02-27T23:59:59.999Z"});
    EXPECT_EQ(Lines(time.out), lines_);
    const auto later = Cli({"log", "--json", "--since=2026-02-28T00:00:01"});
    EXPECT_EQ(later.out, "");

    for (const char* bad : {"2026-02-30", "28.02.2026", "2026-02-28T25:00", "yesterday"}) {
        const auto r = Cli({"log", "--since", bad});
        EXPECT_EQ(r.code, 64) << bad;
        EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace korvane
