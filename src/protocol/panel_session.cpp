#include "protocol/panel_session.h"

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "protocol/status.h"

namespace korvane {

namespace {

// Time-outs for UDP, the serial write, the serial read and USB.
constexpr ExchangeTimeouts kShort1000 = ExchangeTimeouts::All(1000);
constexpr ExchangeTimeouts kQueryTimeouts{500, 500, 2500, 500};
constexpr ExchangeTimeouts kEnterTimeouts = ExchangeTimeouts::All(2000);
constexpr ExchangeTimeouts kEndTimeouts = ExchangeTimeouts::All(500);
constexpr ExchangeTimeouts kEraseTimeouts{500000, 240000, 240000, 0};

}  // namespace

PanelSession::PanelSession(LinkManager& link, FrontEnd front_end)
    : link_(link), recorder_(link.sink(), front_end) {
    link_.context().sink = &recorder_;
}

PanelSession::~PanelSession() {
    WaitForRun();
    link_.context().sink = &recorder_.shown();
}

void PanelSession::EndRun() {
    recorder_.Finish(link_.result());
    running_.store(false);
}

void PanelSession::Run(const Command& c, const std::function<uint16_t(FrameBuffer&)>& build,
                       bool show_success) {
    for (int attempt = 0; attempt < kCommandAttempts; ++attempt) {
        const uint16_t length = build(request_);
        link_.Exchange(request_.data(), length, c.timeouts);
        const LinkResult r = link_.result();
        if (r == LinkResult::Timeout)
            continue;
        if (r != LinkResult::Ok)
            return;  // the link has told the user already
        // Without a link nothing was received, so nothing can be accepted.
        if (!link_.linked())
            continue;
        const FrameBuffer& reply = link_.reply();
        const bool accepted =
            c.echo_only ? reply[frame_offset::kCommand] == c.code : EchoesCommand(reply, c.code);
        if (!accepted)
            continue;
        if (c.interpret)
            ApplyReplyStatus(show_success);
        return;
    }
    sink().ShowText(MessageKind::Error, TextId::Timeout);
    // Six replies for another command leave nothing the caller may read:
    // report them as the time-out they are shown as.
    link_.set_result(LinkResult::Timeout);
}

void PanelSession::ApplyReplyStatus(bool show_success) {
    int version = protocol_version_.load();
    const LinkResult r = ApplyStatus(link_.reply(), show_success, link_.result(), sink(), version);
    protocol_version_.store(version);
    link_.set_result(r);
}

void PanelSession::QueryState() {
    Run({cmd::kQueryState, kQueryTimeouts, true, false}, BuildQueryState, true);
    if (link_.result() == LinkResult::Ok)
        recorder_.NoteJumper(Jumper());
}

void PanelSession::EnterDownload(uint8_t mode) {
    Run(
        {cmd::kEnterDownload, kEnterTimeouts, false, true},
        [mode](FrameBuffer& b) { return BuildEnterDownload(b, mode); }, true);
}

void PanelSession::VersionHandshake() {
    const auto version = static_cast<uint8_t>(protocol_version_.load());
    Run(
        {cmd::kVersionHandshake, kShort1000, true, false},
        [version](FrameBuffer& b) { return BuildVersionHandshake(b, version); }, true);
}

void PanelSession::EndDownload() {
    Run({cmd::kEndDownload, kEndTimeouts, true, false}, BuildEndDownload, true);
}

void PanelSession::SetParameter(uint8_t item, const SixBytes& value, bool show_success) {
    Run(
        {cmd::kSetParameter, kShort1000, true, false},
        [&](FrameBuffer& b) { return BuildSetParameter(b, item, value); }, show_success);
}

void PanelSession::GetParameter(uint8_t item) {
    Run(
        {cmd::kGetParameter, kShort1000, true, false},
        [item](FrameBuffer& b) { return BuildGetParameter(b, item); }, true);
}

void PanelSession::GetClock() {
    Run({cmd::kGetClock, kShort1000, true, false}, BuildGetClock, true);
}

void PanelSession::SetClock(const ClockValue& clock) {
    Run(
        {cmd::kSetClock, kShort1000, true, false},
        [&](FrameBuffer& b) { return BuildSetClock(b, clock); }, true);
}

void PanelSession::SendEraseRequest() {
    // The whole flash above the boot area, no checksum.
    const uint16_t length =
        BuildFlashPrepare(request_, ImageKind::WholeFlash, 0x00080000, 0x02000000, 0);
    link_.Exchange(request_.data(), length, kEraseTimeouts);
}

bool PanelSession::TryBeginRun() {
    bool expected = false;
    return running_.compare_exchange_strong(expected, true);
}

void PanelSession::StartWorker(std::function<void()> body, RunFinished on_finished) {
    std::lock_guard lock(worker_mutex_);
    if (worker_.joinable())
        worker_.join();  // the previous run has ended: its claim is gone
    worker_ = std::thread([this, body = std::move(body), done = std::move(on_finished)] {
        body();
        const LinkResult result = link_.result();
        // Logged and synced before anyone hears that the run is over.
        recorder_.Finish(result);
        running_.store(false);
        if (done)
            done(result);
    });
}

void PanelSession::WaitForRun() {
    std::lock_guard lock(worker_mutex_);
    if (worker_.joinable())
        worker_.join();
}

}  // namespace korvane
