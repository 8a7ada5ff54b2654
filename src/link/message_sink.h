#pragma once
// The core never prints or draws: it reports through these two interfaces,
// which each front end implements (modal boxes, stderr, a test recorder).
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

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
};

struct Message {
    MessageKind kind;
    std::string text;
    bool operator==(const Message&) const = default;
};

// Keeps every message in order; safe to use from a worker thread.
class RecordingSink : public MessageSink {
  public:
    void Show(MessageKind kind, std::string_view text) override;
    std::vector<Message> Messages() const;
    std::vector<std::string> Texts() const;
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
