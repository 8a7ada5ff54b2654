#include "protocol/status.h"

#include "protocol/command_codes.h"

namespace korvane {

namespace {

enum class Success { Always, OnFlag };

struct Row {
    uint8_t command;
    uint8_t status;
    const char* text;
    MessageKind kind;
    LinkResult result;
    int version;
    Success when = Success::Always;
};

constexpr MessageKind E = MessageKind::Error;
constexpr MessageKind P = MessageKind::Plain;
constexpr LinkResult kOk = LinkResult::Ok;
constexpr LinkResult kRefused = LinkResult::PanelRefused;

// One row per status the panel is known to send for each command.
constexpr Row kRows[] = {
    {cmd::kEnterDownload, 0, "失败，标识字串错误", E, kRefused, 0},
    {cmd::kEnterDownload, 1, nullptr, E, kOk, 1},
    {cmd::kEnterDownload, 2, nullptr, E, kOk, 2},
    {cmd::kEnterDownload, 240, "失败, 未能进入下载状态", E, kRefused, 0},
    {cmd::kEnterDownload, 241, nullptr, E, kRefused, 0},
    {cmd::kQueryState, 0, "失败", E, kRefused, 0},
    {cmd::kQueryState, 1, nullptr, E, kOk, 0},
    {cmd::kVersionHandshake, 0, "校验失败", E, kRefused, 0},
    {cmd::kVersionHandshake, 1, "成功", P, kOk, 0},
    {cmd::kVersionHandshake, 240, "失败，版本号错误", P, kRefused, 0},
    {cmd::kEndDownload, 0, "失败", E, kRefused, 0},
    {cmd::kEndDownload, 1, "成功", P, kOk, 0},
    {cmd::kSetParameter, 0, "设置失败", E, kRefused, 0},
    {cmd::kSetParameter, 1, "设置成功", P, kOk, 0, Success::OnFlag},
    {cmd::kGetParameter, 0, "失败", E, kRefused, 0},
    {cmd::kGetParameter, 1, nullptr, E, kOk, 0},
    {cmd::kGetClock, 0, "失败", E, kRefused, 0},
    {cmd::kGetClock, 1, nullptr, E, kOk, 0},
    {cmd::kSetClock, 0, "设置失败", E, kRefused, 0},
    {cmd::kSetClock, 1, "设置成功", P, kOk, 0, Success::OnFlag},
    {cmd::kFlashData, 0, nullptr, E, LinkResult::ChecksumError, 0},
    {cmd::kFlashData, 1, nullptr, E, kOk, 0},
    {cmd::kFlashData, 2, "写入地址非法", E, kRefused, 0},
    {cmd::kFlashData, 240, nullptr, E, kOk, 0},
    {cmd::kFlashData, 241, "FLASH写入失败", E, kRefused, 0},
    {cmd::kFlashData, 242, "写入总校验失败", E, kRefused, 0},
    {cmd::kFlashData, 243, "内核校验和错误，写入失败", E, kRefused, 0},
    {cmd::kFlashPrepare, 0, "校验失败", E, kRefused, 0},
    {cmd::kFlashPrepare, 1, nullptr, E, kOk, 0},
    {cmd::kFlashPrepare, 241, "删除失败，中断下载", E, kRefused, 0},
    {cmd::kFlashPrepare, 242, "查空失败，中断下载", E, kRefused, 0},
    {cmd::kFlashPrepare, 243, "写FLASH地址越界", E, kRefused, 0},
};

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
    if (!out.listed)
        return current;
    if (out.text)
        sink.Show(out.kind, out.text);
    if (out.protocol_version)
        protocol_version = out.protocol_version;
    return out.result;
}

}  // namespace korvane
