#pragma once
// How the command-line tool shows what the core reports: messages on stderr
// (or JSON lines on stdout), frame traces, and a one-line progress display.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_context.h"
#include "link/link_result.h"
#include "link/message_sink.h"
#include "system/ui_language.h"

namespace korvane::cli {

std::string JsonString(std::string_view text);

class TerminalProgress;

// Results a command prints: plain "key value" text, or one JSON object.
// The core's texts are shown in the language chosen; the tool's own lines
// are English whatever it is.
class Output {
  public:
    Output(std::ostream& out, std::ostream& err, bool json,
           UiLanguage language = UiLanguage::Chinese)
        : out_(out), err_(err), json_(json), language_(language) {}

    bool json() const { return json_; }
    UiLanguage language() const { return language_; }
    std::ostream& err() { return err_; }
    // A plain line of result text (as given), or a JSON "result" object
    // built from the fields.
    void Result(const std::string& plain,
                const std::vector<std::pair<std::string, std::string>>& json_fields);
    // A message of the core; JSON carries the text's identifier beside it
    // when it has one. A hint is an English line on what to do about it,
    // printed after the stored text (JSON: its "hint").
    void Message(MessageKind kind, std::string_view text, std::optional<TextId> id = std::nullopt,
                 std::string_view hint = {});
    // A text of the catalogue, in the chosen language.
    void Message(MessageKind kind, TextId id, std::string_view hint = {}) {
        Message(kind, Text(id, language_), id, hint);
    }
    // The closing line in JSON mode.
    void Verdict(LinkResult result);
    // The closing line of an outcome that is no link result (a refusal).
    void Verdict(std::string_view result, int code);
    // A long wait of the core: what it waits for and how long it may still
    // take (JSON mode only).
    void Wait(WaitFor what, unsigned remaining_s);
    // A problem of the tool itself (usage, a file), not a message of the core:
    // an error, or a warning when `kind` says so.
    void Problem(std::string_view text, MessageKind kind = MessageKind::Error);
    // Whether a message or a problem has been shown: a failure nobody
    // explained gets a line of its own.
    bool said() const { return said_.load(); }
    // The progress line on the terminal, if one is drawn, is cleared before
    // each message so that the message stands on a line of its own.
    void SetProgress(TerminalProgress* progress) {
        std::lock_guard lock(Lock());
        progress_ = progress;
    }
    // The output of one panel of a batch: every JSON event carries its
    // "panel" (index and target), every line on stderr begins with it, and
    // the panels' outputs take turns through `shared`.
    void SetPanel(int index, std::string_view target, std::mutex* shared);

  private:
    std::mutex& Lock() { return shared_ ? *shared_ : mutex_; }

    std::mutex mutex_;
    std::mutex* shared_ = nullptr;
    std::string panel_json_;  // ,"panel":{…} for a panel of a batch
    std::string prefix_;      // "panel I (TARGET): "
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
    UiLanguage language_;
    std::atomic<bool> said_{false};
    TerminalProgress* progress_ = nullptr;
};

// The kind a script reads: the core's, except that a failure the window shows
// in the application's default box (the serial port did not open) is an
// error.
MessageKind Severity(MessageKind kind, TextId id);

// What to do about a catalogued message, in English; empty for none.
using HintFor = std::function<std::string(TextId)>;

class OutputSink : public MessageSink {
  public:
    explicit OutputSink(Output& out, HintFor hints = {}) : out_(out), hints_(std::move(hints)) {}
    void Show(MessageKind kind, std::string_view text) override { out_.Message(kind, text); }
    void ShowText(MessageKind kind, TextId id) override {
        out_.Message(Severity(kind, id), id, hints_ ? hints_(id) : std::string());
    }
    void ShowFilled(MessageKind kind, TextId id, std::string_view text) override {
        out_.Message(Severity(kind, id), text, id, hints_ ? hints_(id) : std::string());
    }
    void ShowTemplate(MessageKind kind, TextId id, const TextValues& values) override {
        ShowFilled(kind, id, FillText(id, values, out_.language()));
    }

  private:
    Output& out_;
    HintFor hints_;
};

// Every frame sent and every chunk received, as hex with a time stamp; a
// datagram from someone other than the panel is marked "x" with its sender.
class TraceObserver : public FrameObserver {
  public:
    explicit TraceObserver(std::ostream& err);
    void OnSent(std::span<const uint8_t> bytes) override { Line(">", bytes); }
    void OnReceived(std::span<const uint8_t> bytes) override { Line("<", bytes); }
    void OnIgnored(std::span<const uint8_t> bytes, std::string_view sender) override {
        Line("x", bytes, " (ignored: from " + std::string(sender) + ", not the panel)");
    }

  private:
    void Line(const char* arrow, std::span<const uint8_t> bytes, const std::string& note = {});
    std::ostream& err_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point start_;
};

// The run's text, percent, bytes sent of total, throughput and time left,
// redrawn in place on a terminal. The line is cut to one column less than
// the terminal's width, so that it never wraps (a wrapped line could not be
// redrawn in place).
class TerminalProgress : public ProgressSink {
  public:
    // `columns` gives the terminal's width at each redraw; none: no cut. A
    // text of the catalogue is shown in `language`.
    TerminalProgress(std::ostream& err, uint64_t total_bytes, std::function<int()> columns = {},
                     UiLanguage language = UiLanguage::Chinese);
    void MoveTo(int position) override;
    void SetSpan(int lower, int upper) override;
    void Step() override;
    void SetText(std::string_view text) override;
    void ShowText(bool) override {}
    // Shows what the run waits for and the seconds it may still take, until
    // the next step.
    void Waiting(WaitFor what, uint32_t remaining_ms) override;
    // Clears the line for a message; the next step draws it again.
    void Suspend();
    // Ends the line for good: nothing is drawn after the run's last message.
    void Finish();

  private:
    void Draw();
    void Put(const std::string& line);
    std::ostream& err_;
    std::function<int()> columns_;
    UiLanguage language_;
    bool finished_ = false;
    std::mutex mutex_;
    uint64_t total_;
    int lower_ = 0, upper_ = 100, position_ = 0;
    std::string text_;
    std::chrono::steady_clock::time_point started_;
    bool drawn_ = false;
    std::optional<WaitFor> waiting_;
    unsigned wait_s_ = 0;
};

// With --json: each long wait becomes a "wait" event, once a second.
class JsonWaits : public NullProgress {
  public:
    explicit JsonWaits(Output& out) : out_(out) {}
    void Waiting(WaitFor what, uint32_t remaining_ms) override;

  private:
    Output& out_;
    std::optional<WaitFor> waiting_;
    unsigned wait_s_ = 0;
};

// The text cut to fit `columns` terminal columns (wide characters count two);
// a run of dots ending the text is shortened first.
std::string FitToColumns(std::string_view text, int columns);

// How a wait reads on the terminal, e.g. "the erase".
const char* WaitForText(WaitFor what);

}  // namespace korvane::cli
