#pragma once
// The core's messages as modal boxes, always on the user-interface thread.
// A worker that shows a message waits until the user has dismissed it.
#include <QObject>
#include <atomic>

#include "link/message_sink.h"
#include "widgets/user_prompts.h"

namespace korvane {

class DesktopMessageSink : public QObject, public MessageSink {
    Q_OBJECT
  public:
    // Construct on the user-interface thread: boxes are shown on this
    // object's thread.
    explicit DesktopMessageSink(UserPrompts& prompts, QObject* parent = nullptr);
    // The core's texts in the window's language (WindowLanguage).
    void Show(MessageKind kind, std::string_view text) override;
    void ShowText(MessageKind kind, TextId id) override;
    void ShowTemplate(MessageKind kind, TextId id, const TextValues& values) override;
    // A stored text with more after it (the system's reason on a next line)
    // keeps the more and shows the text in the window's language.
    void ShowFilled(MessageKind kind, TextId id, std::string_view text) override;
    // Asks on the user-interface thread, also from a worker (which waits).
    bool Ask(std::string_view question);

  private:
    template <class F>
    void OnUiThread(F&& f);
    UserPrompts& prompts_;
};

}  // namespace korvane
