#pragma once
// The window's messages pass through here on their way to the boxes. A USB
// link that did not open is shown with the device it tried and the system's
// reason on a second line, as korvane-cli explains it, instead of the bare
// "could not set up the link": the user has to know which device to plug in
// or which permission is missing. Everything else passes unchanged.
#include <string_view>

#include "link/link_manager.h"
#include "link/message_sink.h"

namespace korvane {

class OpenFailureSink : public MessageSink {
  public:
    // `link` is only read when a message comes, so it may be constructed
    // after this sink.
    OpenFailureSink(MessageSink& inner, const LinkManager& link) : inner_(inner), link_(link) {}

    void Show(MessageKind kind, std::string_view text) override { inner_.Show(kind, text); }
    void ShowText(MessageKind kind, TextId id) override;
    void ShowFilled(MessageKind kind, TextId id, std::string_view text) override {
        inner_.ShowFilled(kind, id, text);
    }
    void ShowTemplate(MessageKind kind, TextId id, const TextValues& values) override {
        inner_.ShowTemplate(kind, id, values);
    }

  private:
    MessageSink& inner_;
    const LinkManager& link_;
};

}  // namespace korvane
