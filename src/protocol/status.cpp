#include "protocol/status.h"

#include <string>

#include "protocol/command_codes.h"

namespace korvane {

namespace {

enum class Success { Always, OnFlag };

struct Row {
    uint8_t command;
    uint8_t status;
    std::optional<TextId> text;
    MessageKind kind;
    LinkResult result;
    int version;
    Success when = Success::Always;
};

using T = TextId;
constexpr std::optional<TextId> kNone;
constexpr MessageKind E = MessageKind::Error;
constexpr MessageKind P = MessageKind::Plain;
constexpr LinkResult kOk = LinkResult::Ok;
constexpr LinkResult kRefused = LinkResult::PanelRefused;

// One row per status the panel is known to send for each command.
constexpr Row kRows[] = {
    {cmd::kEnterDownload, 0, T::StatusBadIdent, E, kRefused, 0},
    {cmd::kEnterDownload, 1, kNone, E, kOk, 1},
    {cmd::kEnterDownload, 2, kNone, E, kOk, 2},
    {cmd::kEnterDownload, 240, T::StatusNoDownload, E, kRefused, 0},
    {cmd::kEnterDownload, 241, kNone, E, kRefused, 0},
    {cmd::kQueryState, 0, T::StatusFailed, E, kRefused, 0},
    {cmd::kQueryState, 1, kNone, E, kOk, 0},
    {cmd::kVersionHandshake, 0, T::StatusCheckFailed, E, kRefused, 0},
    {cmd::kVersionHandshake, 1, T::StatusSucceeded, P, kOk, 0},
    {cmd::kVersionHandshake, 240, T::StatusBadVersion, P, kRefused, 0},
    {cmd::kEndDownload, 0, T::StatusFailed, E, kRefused, 0},
    {cmd::kEndDownload, 1, T::StatusSucceeded, P, kOk, 0},
    {cmd::kSetParameter, 0, T::StatusSetFailed, E, kRefused, 0},
    {cmd::kSetParameter, 1, T::StatusSetDone, P, kOk, 0, Success::OnFlag},
    {cmd::kGetParameter, 0, T::StatusFailed, E, kRefused, 0},
    {cmd::kGetParameter, 1, kNone, E, kOk, 0},
    {cmd::kGetClock, 0, T::StatusFailed, E, kRefused, 0},
    {cmd::kGetClock, 1, kNone, E, kOk, 0},
    {cmd::kSetClock, 0, T::StatusSetFailed, E, kRefused, 0},
    {cmd::kSetClock, 1, T::StatusSetDone, P, kOk, 0, Success::OnFlag},
    {cmd::kFlashData, 0, kNone, E, LinkResult::ChecksumError, 0},
    {cmd::kFlashData, 1, kNone, E, kOk, 0},
    {cmd::kFlashData, 2, T::StatusBadAddress, E, kRefused, 0},
    {cmd::kFlashData, 240, kNone, E, kOk, 0},
    {cmd::kFlashData, 241, T::StatusFlashWriteFailed, E, kRefused, 0},
    {cmd::kFlashData, 242, T::StatusTotalCheckFailed, E, kRefused, 0},
    {cmd::kFlashData, 243, T::StatusKernelChecksum, E, kRefused, 0},
    {cmd::kFlashPrepare, 0, T::StatusCheckFailed, E, kRefused, 0},
    {cmd::kFlashPrepare, 1, kNone, E, kOk, 0},
    {cmd::kFlashPrepare, 241, T::StatusDeleteFailed, E, kRefused, 0},
    {cmd::kFlashPrepare, 242, T::StatusBlankCheckFailed, E, kRefused, 0},
    {cmd::kFlashPrepare, 243, T::StatusAddressOutOfRange, E, kRefused, 0},
};

// Commands that change the panel: a status they do not know means the
// change cannot be trusted to have happened.
bool ChangesPanel(uint8_t command) {
    switch (command) {
        case cmd::kEnterDownload:
        case cmd::kVersionHandshake:
        case cmd::kEndDownload:
        case cmd::kSetParameter:
        case cmd::kSetClock:
        case cmd::kFlashData:
        case cmd::kFlashPrepare:
            return true;
        default:
            return false;
    }
}

std::string Hex2(uint8_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[v >> 4], kDigits[v & 0xF]};
}

}  // namespace

StatusOutcome InterpretStatus(uint8_t command, uint8_t status, bool show_success) {
    for (const Row& row : kRows) {
        if (row.command != command || row.status != status)
            continue;
        StatusOutcome out;
        out.listed = true;
        out.result = row.result;
        out.kind = row.kind;
        out.protocol_version = row.version;
        if (row.when == Success::Always || show_success)
            out.text = row.text;
        return out;
    }
    return {};
}

LinkResult ApplyStatus(const FrameBuffer& reply, bool show_success, LinkResult current,
                       MessageSink& sink, int& protocol_version) {
    const StatusOutcome out =
        InterpretStatus(reply[frame_offset::kCommand], reply[frame_offset::kStatus], show_success);
    if (!out.listed) {
        const uint8_t command = reply[frame_offset::kCommand];
        if (!ChangesPanel(command))
            return current;
        const uint8_t status = reply[frame_offset::kStatus];
        sink.ShowTemplate(MessageKind::Error, TextId::StatusUnknown,
                          {{"command", Hex2(command)}, {"status", std::to_string(status)}});
        return LinkResult::PanelRefused;
    }
    if (out.text)
        sink.ShowText(out.kind, *out.text);
    if (out.protocol_version)
        protocol_version = out.protocol_version;
    return out.result;
}

}  // namespace korvane
