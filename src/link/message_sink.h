#pragma once
// The core never prints or draws: it reports through these two interfaces,
// which each front end implements (modal boxes, stderr, a test recorder).
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/texts.h"

namespace korvane {

enum class MessageKind {
    Error,       // caption "OrvelManager Message", error icon
    Plain,       // same caption, no icon
    Warning,     // same caption, warning icon
    AppDefault,  // the application's own default box (application title)
};

const char* MessageKindName(MessageKind kind);

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Blocks until the user has seen the message (a modal box on the desktop).
    virtual void Show(MessageKind kind, std::string_view text) = 0;
    // The core shows its texts through this: a text of the catalogue under
    // its identifier. By default it is shown as its text; a sink that passes
    // identifiers on (JSON output, the test recorder) overrides this too.
    virtual void ShowText(MessageKind kind, TextId id) { Show(kind, Text(id)); }
    // A catalogued template, already filled in (FillText).
    virtual void ShowFilled(MessageKind kind, TextId, std::string_view text) { Show(kind, text); }
    // A catalogued template and the values of its placeholders. By default it
    // is filled in with the stored text and shown as ShowFilled; a sink that
    // shows another language fills it in that language.
    virtual void ShowTemplate(MessageKind kind, TextId id, const TextValues& values) {
        ShowFilled(kind, id, FillText(id, values));
    }
};

struct Message {
    Message(MessageKind k, std::string t, std::optional<TextId> i = std::nullopt)
        : kind(k), text(std::move(t)), id(i) {}

    MessageKind kind;
    std::string text;
    std::optional<TextId> id;  // set when the text came from the catalogue
    // What the user sees: the identifier is not part of it.
    bool operator==(const Message& other) const { return kind == other.kind && text == other.text; }
};

// Keeps every message in order; safe to use from a worker thread.
class RecordingSink : public MessageSink {
  public:
    void Show(MessageKind kind, std::string_view text) override;
    void ShowText(MessageKind kind, TextId id) override;
    void ShowFilled(MessageKind kind, TextId id, std::string_view text) override;
    std::vector<Message> Messages() const;
    std::vector<std::string> Texts() const;
    // The identifiers of the catalogued messages, in order.
    std::vector<TextId> Ids() const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

// The long waits of a run, for which the user is told what is awaited.
enum class WaitFor {
    FlashPrepare,  // the panel erases the image's range before the data
    Erase,         // the panel erases the whole flash
    FinalResult,   // the panel checks and burns the image
};

// A stable identifier, e.g. "final_result".
const char* WaitForName(WaitFor what);

// The text progress bar's operations, driven by programming and erase runs.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    // Called over and over during a long wait (every few tenths of a second)
    // with how long it may still take at most.
    virtual void Waiting(WaitFor, uint32_t /*remaining_ms*/) {}
    virtual void MoveTo(int position) = 0;
    virtual void SetSpan(int lower, int upper) = 0;
    virtual void Step() = 0;
    virtual void SetText(std::string_view text) = 0;
    virtual void ShowText(bool show) = 0;
};

class NullProgress : public ProgressSink {
  public:
    void MoveTo(int) override {}
    void SetSpan(int, int) override {}
    void Step() override {}
    void SetText(std::string_view) override {}
    void ShowText(bool) override {}
};

}  // namespace korvane
