#include "protocol/run_log.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <fstream>
#include <thread>

#include "protocol/run_recorder.h"
#include "support/temp_dir.h"
#include "system/display_path.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

RunRecord FullRecord() {
    RunRecord r;
    r.time = "2026-03-01T08:30:00.125Z";
    r.front_end = FrontEnd::Window;
    r.target = "/dev/ttyUSB0";
    r.panel_address = "192.168.0.100";
    r.panel_port = 21845;
    r.jumper = 1;
    r.steps.push_back({"kernel", "zImage \"new\".bin", 524288,
                       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", 8123,
                       RunVerdict::Cancelled});
    r.steps.push_back({"erase", std::nullopt, std::nullopt, std::nullopt, 12, RunVerdict::Failed});
    r.duration_ms = 8135;
    r.verdict = RunVerdict::Failed;
    r.messages = {{"update_failed", "更新失败!"}, {std::nullopt, "line\nwith\ttabs"}};
    return r;
}

TEST(RunRecord, ALineReadsBackFieldByField) {
    const RunRecord written = FullRecord();
    const std::string line = RunRecordLine(written);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find("\"batch\":null"), std::string::npos);
    const auto read = ParseRunRecord(line);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->time, written.time);
    EXPECT_EQ(read->front_end, FrontEnd::Window);
    EXPECT_EQ(read->target, written.target);
    EXPECT_EQ(read->panel_address, written.panel_address);
    EXPECT_EQ(read->panel_port, written.panel_port);
    EXPECT_EQ(read->jumper, written.jumper);
    ASSERT_EQ(read->steps.size(), 2u);
    EXPECT_EQ(read->steps[0], written.steps[0]);
    EXPECT_EQ(read->steps[1], written.steps[1]);
    EXPECT_EQ(read->duration_ms, written.duration_ms);
    EXPECT_EQ(read->verdict, RunVerdict::Failed);
    EXPECT_EQ(read->messages, written.messages);
    EXPECT_EQ(*read, written);

    RunRecord bare = written;
    bare.panel_address.reset();
    bare.panel_port.reset();
    bare.jumper.reset();
    EXPECT_EQ(ParseRunRecord(RunRecordLine(bare)), bare);
}

TEST(RunRecord, WhatIsNoWholeRecordIsRefused) {
    const std::string line = RunRecordLine(FullRecord());
    EXPECT_FALSE(ParseRunRecord(line.substr(0, line.size() / 2)));
    EXPECT_FALSE(ParseRunRecord(line.substr(0, line.size() - 1)));
    EXPECT_FALSE(ParseRunRecord("[]"));
    EXPECT_FALSE(ParseRunRecord("{\"time\":\"x\"}"));
    std::string bad_verdict = line;
    bad_verdict.replace(bad_verdict.rfind("\"failed\""), 8, "\"maybe\"");
    EXPECT_FALSE(ParseRunRecord(bad_verdict));
}

#ifndef _WIN32
TEST(RunLog, AKilledWriterLeavesEveryEarlierRecordReadable) {
    testing::TempDir dir;
    const fs::path log = dir.path() / "data" / "runs.jsonl";
    RunRecord r = FullRecord();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int64_t i = 0;; ++i) {
            r.duration_ms = i;
            if (AppendRunRecord(log, r))
                ::_exit(3);
        }
    }
    // Let it write a good many records, then kill it mid-way.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadRunLog(log).records.size() < 20 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    // A crash in the middle of a write: half a line at the end.
    const std::string line = RunRecordLine(FullRecord());
    { std::ofstream(log, std::ios::binary | std::ios::app) << line.substr(0, line.size() / 2); }
    const RunLogContents read = ReadRunLog(log);
    EXPECT_FALSE(read.error);
    ASSERT_GE(read.records.size(), 20u);
    // The records came in order, none lost or doubled.
    for (size_t i = 0; i < read.records.size(); ++i)
        EXPECT_EQ(read.records[i].duration_ms, static_cast<int64_t>(i));
    ASSERT_EQ(read.damaged_lines.size(), 1u);
    EXPECT_EQ(read.damaged_lines[0], static_cast<int>(read.records.size()) + 1);

    // A record appended after the cut line starts a line of its own.
    ASSERT_FALSE(AppendRunRecord(log, FullRecord()));
    const RunLogContents again = ReadRunLog(log);
    ASSERT_EQ(again.records.size(), read.records.size() + 1);
    EXPECT_EQ(again.records.back(), FullRecord());
    EXPECT_EQ(again.damaged_lines, read.damaged_lines);
}
#endif

TEST(RunLog, AMissingLogIsEmptyAndAFolderInTheWayIsAReason) {
    testing::TempDir dir;
    const RunLogContents none = ReadRunLog(dir.path() / "runs.jsonl");
    EXPECT_FALSE(none.error);
    EXPECT_TRUE(none.records.empty());
    // The log's folder is a regular file: no one, root included, writes there.
    std::ofstream(dir.path() / "blocked") << "x";
    EXPECT_TRUE(AppendRunRecord(dir.path() / "blocked" / "korvane" / "runs.jsonl", FullRecord()));
    EXPECT_EQ(fs::file_size(dir.path() / "blocked"), 1u);
}

TEST(RunRecorder, KeepsTheRunsMessagesAndTellsAFailedLogOnce) {
    testing::TempDir dir;
    std::ofstream(dir.path() / "blocked") << "x";
    RecordingSink shown;
    RunRecorder recorder(shown, FrontEnd::Cli);
    const fs::path log = dir.path() / "blocked" / "runs.jsonl";
    recorder.SetLogPath(log);
    LinkSettings settings;
    settings.mode = LinkMode::Udp;
    settings.address = 0x0100007F;
    settings.port = 4000;
    for (int run = 0; run < 2; ++run) {
        recorder.Begin("erase", settings);
        recorder.ShowText(MessageKind::Plain, TextId::EraseDone);
        recorder.Finish(LinkResult::Ok);
    }
    EXPECT_FALSE(recorder.Recording());
    const auto messages = shown.Messages();
    ASSERT_EQ(messages.size(), 3u);  // two runs' message, one warning
    EXPECT_EQ(messages[1].id, TextId::RunLogWriteFailed);
    EXPECT_EQ(messages[1].kind, MessageKind::Warning);
    // The file, then the system's reason.
    const std::string named = "无法写入运行记录 " + DisplayPath(log) + "：";
    EXPECT_EQ(messages[1].text.rfind(named, 0), 0u) << messages[1].text;
    EXPECT_GT(messages[1].text.size(), named.size() + 3) << messages[1].text;
#ifndef _WIN32
    EXPECT_EQ(messages[1].text, named + std::make_error_code(std::errc::not_a_directory).message());
#endif
    EXPECT_EQ(messages[2].id, TextId::EraseDone);

    // Into a folder that takes it, the record holds what the run showed.
    recorder.SetLogPath(dir.path() / "ok" / "runs.jsonl");
    recorder.Begin("erase", settings);
    recorder.ShowText(MessageKind::Plain, TextId::EraseDone);
    recorder.Finish(LinkResult::RunCancelled);
    const RunLogContents read = ReadRunLog(dir.path() / "ok" / "runs.jsonl");
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].target, "127.0.0.1:4000");
    EXPECT_EQ(read.records[0].verdict, RunVerdict::Cancelled);
    EXPECT_EQ(read.records[0].messages,
              (std::vector<RunMessage>{{"erase_done", Text(TextId::EraseDone)}}));
}

}  // namespace
}  // namespace korvane
