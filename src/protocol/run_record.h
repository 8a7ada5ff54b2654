#pragma once
// One programming run as the run log keeps it: when and from where it ran,
// on which link, what the panel said of itself, each step with the bytes it
// sent, how it ended and the messages the user was shown. One record is one
// line of JSON.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_result.h"

namespace korvane {

enum class FrontEnd { Window, Cli };
enum class RunVerdict { Succeeded, Failed, Cancelled };

const char* FrontEndName(FrontEnd front_end);    // "window", "cli"
const char* RunVerdictName(RunVerdict verdict);  // "succeeded", "failed", "cancelled"
RunVerdict VerdictOf(LinkResult result);

struct RunMessage {
    std::optional<std::string> id;  // the catalogue's name, when it came from there
    std::string text;
    bool operator==(const RunMessage&) const = default;
};

struct RunStep {
    std::string kind;                   // kernel, bootloader, filesystem, logo, erase, clock
    std::optional<std::string> file;    // the image's file name
    std::optional<uint64_t> size;       // its size in bytes
    std::optional<std::string> sha256;  // of the bytes sent (the last pass), when any were
    int64_t duration_ms = 0;
    RunVerdict verdict = RunVerdict::Failed;
    bool operator==(const RunStep&) const = default;
};

// The batch a run belonged to: its id, shared by every row of one batch, and
// the row (the panel's place in the batch, from 0).
struct BatchTag {
    std::string id;
    int row = 0;
    bool operator==(const BatchTag&) const = default;
};

struct RunRecord {
    std::string time;  // UTC, e.g. 2026-03-01T08:30:00.125Z
    FrontEnd front_end = FrontEnd::Cli;
    std::string target;  // 127.0.0.1:21845, /dev/ttyUSB0, /dev/korvane-usb0
    std::optional<std::string> panel_address;
    std::optional<uint16_t> panel_port;
    std::optional<int> jumper;
    std::vector<RunStep> steps;
    int64_t duration_ms = 0;
    RunVerdict verdict = RunVerdict::Failed;
    std::vector<RunMessage> messages;
    std::optional<BatchTag> batch;  // none: a run started alone
    bool operator==(const RunRecord&) const = default;
};

// The record as one line of JSON, without the line end. "batch" is null for
// a run started alone, else {"id":…,"row":…}.
std::string RunRecordLine(const RunRecord& record);
// The record of one line; nothing when the line is no whole record.
std::optional<RunRecord> ParseRunRecord(std::string_view line);

// UTC now, as the record's time.
std::string UtcTimestampNow();

}  // namespace korvane
