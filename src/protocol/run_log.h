#pragma once
// The run log: every erase, programming run and clock setting, from the
// window or the command line, appends one record to runs.jsonl in the user's
// data folder. The file only grows: a record is one line written at once and
// synced, so a crash costs at most the line being written, and a reader skips
// such a line and reads every other.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "protocol/run_record.h"

namespace korvane {

// UserDataFolder()/runs.jsonl.
std::filesystem::path DefaultRunLogPath();

// Appends `record` (creating the folder when missing); empty on success, else
// the system's reason.
std::error_code AppendRunRecord(const std::filesystem::path& log, const RunRecord& record);

struct RunLogContents {
    std::vector<RunRecord> records;
    std::vector<std::string> lines;  // each record's line as stored
    std::vector<int> damaged_lines;  // 1-based numbers of the lines skipped
    std::error_code error;           // the file could not be read (a missing one is empty)
};

RunLogContents ReadRunLog(const std::filesystem::path& log);

}  // namespace korvane
