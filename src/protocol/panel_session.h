#pragma once
// The commands the tool sends, each wrapped in the six-attempt exchange, on
// the link that the session's link manager has open. One session serves one
// front end; its values (protocol version, run state) live as long as it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "link/link_manager.h"
#include "protocol/requests.h"
#include "protocol/run_recorder.h"

namespace korvane {

inline constexpr int kCommandAttempts = 6;

class PanelSession {
  public:
    // Every message of `link` passes through the session's run recorder from
    // here on, until the session goes.
    PanelSession(LinkManager& link, FrontEnd front_end);
    ~PanelSession();
    PanelSession(const PanelSession&) = delete;
    PanelSession& operator=(const PanelSession&) = delete;

    LinkManager& link() { return link_; }
    MessageSink& sink() { return link_.sink(); }
    LinkResult result() const { return link_.result(); }
    const FrameBuffer& reply() const { return link_.reply(); }
    int protocol_version() const { return protocol_version_.load(); }

    // --- commands; each leaves its outcome in result() ---------------------
    void QueryState();
    uint8_t Jumper() const { return reply()[reply_offset::kJumper]; }
    // The accepted reply is left for the caller to interpret (ApplyReplyStatus).
    void EnterDownload(uint8_t mode);
    void VersionHandshake();
    void EndDownload();
    void SetParameter(uint8_t item, const SixBytes& value, bool show_success);
    void GetParameter(uint8_t item);
    void GetClock();
    void SetClock(const ClockValue& clock);
    // The erase request: sent once, no retry, no status interpretation.
    void SendEraseRequest();

    // Status interpretation of the reply buffer; updates result() and the
    // protocol version.
    void ApplyReplyStatus(bool show_success);

    // --- the one gate for panel work -------------------------------------
    // Every operation (page operations and the runs on a worker thread)
    // claims the session first; false while another one holds it.
    bool TryBeginRun();
    // Starts `body` on the run's worker. When it returns the claim ends and
    // then `on_finished`, if given, is called on the worker thread with the
    // run's result (a front end passes it on to its own thread; it must not
    // start another worker from there).
    using RunFinished = std::function<void(LinkResult)>;
    void StartWorker(std::function<void()> body, RunFinished on_finished = {});
    // Ends a claim taken by TryBeginRun when no worker was started; a run
    // being recorded is logged first.
    void EndRun();
    bool RunActive() const { return running_.load(); }
    // Blocks until the last started worker has finished.
    void WaitForRun();

    // The record of the run under way: a run that was begun with
    // BeginRecord is appended to the run log when its claim ends (by EndRun,
    // or when its worker returns, before `on_finished`).
    void BeginRecord(std::string kind) { recorder_.Begin(std::move(kind), link_.settings()); }
    RunRecorder& recorder() { return recorder_; }

  private:
    struct Command {
        uint8_t code;
        ExchangeTimeouts timeouts;  // per link
        bool interpret;
        bool echo_only;  // enter-download: only the command byte is checked
    };
    void Run(const Command& command, const std::function<uint16_t(FrameBuffer&)>& build,
             bool show_success);

    LinkManager& link_;
    RunRecorder recorder_;
    FrameBuffer request_{};
    std::atomic<int> protocol_version_{1};
    std::atomic<bool> running_{false};
    std::mutex worker_mutex_;
    std::thread worker_;
};

}  // namespace korvane
