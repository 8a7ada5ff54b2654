#include "sim/reply_schedule.h"

#include <algorithm>

namespace korvane::sim {

void ReplySchedule::Queue(std::vector<Emission> emissions, Clock::time_point start,
                          ReplyTarget to) {
    std::lock_guard lock(mutex_);
    // Every due time is at or after the last one queued, so the queue stays
    // in order without sorting.
    auto at = std::max(start, last_due_);
    for (auto& e : emissions) {
        at += std::chrono::milliseconds(e.delay_ms);
        if (!e.bytes.empty() || empty_ == Empty::kSend)
            pending_.push_back({at, {std::move(e.bytes), to}});
    }
    last_due_ = at;
}

std::optional<DueReply> ReplySchedule::TakeDue(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (pending_.empty() || pending_.front().due > now)
        return std::nullopt;
    DueReply reply = std::move(pending_.front().reply);
    pending_.pop_front();
    return reply;
}

std::optional<ReplySchedule::Clock::duration> ReplySchedule::UntilNext(
    Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    if (pending_.empty())
        return std::nullopt;
    return std::max(Clock::duration::zero(), pending_.front().due - now);
}

int ReplySchedule::PollTimeoutMs(Clock::time_point now) const {
    const auto wait = UntilNext(now);
    if (!wait)
        return -1;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*wait).count());
}

void ReplySchedule::Clear() {
    std::lock_guard lock(mutex_);
    pending_.clear();
}

}  // namespace korvane::sim
