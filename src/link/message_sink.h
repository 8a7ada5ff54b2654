#pragma once
// The core never prints or draws: it reports through these two interfaces,
// which each front end implements (modal boxes, stderr, a test recorder).
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
    std::vector<Message> Messages() const;
    std::vector<std::string> Texts() const;
    // The identifiers of the catalogued messages, in order.
    std::vector<TextId> Ids() const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

// The text progress bar's operations, driven by programming and erase runs.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
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
