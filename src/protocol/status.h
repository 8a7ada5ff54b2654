#pragma once
// The one place that turns an accepted reply into what the user is told, the
// next link result and (for enter-download) the panel's protocol version.
#include <cstdint>
#include <optional>

#include "link/frame.h"
#include "link/link_result.h"
#include "link/message_sink.h"

namespace korvane {

struct StatusOutcome {
    std::optional<TextId> text;  // nothing shown when empty
    MessageKind kind = MessageKind::Error;
    LinkResult result = LinkResult::Ok;
    int protocol_version = 0;  // 1 or 2 when the reply sets it
    bool listed = false;       // false: the status is not one the command knows
};

// What the reply to `command` with `status` means. Get-clock has no status
// byte of its own: its year's high byte is read in its place.
StatusOutcome InterpretStatus(uint8_t command, uint8_t status, bool show_success);

// Applies the outcome for the reply in `reply`: shows the message, then
// returns the result to continue with; unlisted statuses keep `current`.
LinkResult ApplyStatus(const FrameBuffer& reply, bool show_success, LinkResult current,
                       MessageSink& sink, int& protocol_version);

}  // namespace korvane
