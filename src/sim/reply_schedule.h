#pragma once
// The simulated panel's outgoing replies in the order and at the time they are
// due, whatever carries them (a datagram socket or a pseudo-terminal).
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/panel.h"

namespace korvane::sim {

// Where a datagram reply goes, host order; unused on a byte stream.
struct ReplyTarget {
    uint32_t address = 0;
    uint16_t port = 0;
};

struct DueReply {
    std::vector<uint8_t> bytes;
    ReplyTarget to;
};

class ReplySchedule {
  public:
    using Clock = std::chrono::steady_clock;

    // An empty emission is an empty datagram; on a byte stream it means
    // nothing and only its delay counts.
    enum class Empty { kSend, kDrop };

    explicit ReplySchedule(Empty empty) : empty_(empty) {}

    // Each emission's delay counts from the one queued before it, even across
    // requests (the first from `start`): a panel answers in order, however
    // slowly. Safe to call from any thread.
    void Queue(std::vector<Emission> emissions, Clock::time_point start, ReplyTarget to = {});
    // The next reply due by `now`, taken off the schedule.
    std::optional<DueReply> TakeDue(Clock::time_point now);
    // How long until the next reply is due (zero if overdue); none if nothing
    // waits.
    std::optional<Clock::duration> UntilNext(Clock::time_point now) const;
    // The same in whole milliseconds rounded up, for poll(): -1 if nothing
    // waits, so a wait never ends just before a reply is due.
    int PollTimeoutMs(Clock::time_point now) const;
    void Clear();

  private:
    struct Pending {
        Clock::time_point due;
        DueReply reply;
    };

    const Empty empty_;
    mutable std::mutex mutex_;  // guards pending_ and last_due_
    std::deque<Pending> pending_;
    Clock::time_point last_due_{};
};

}  // namespace korvane::sim
