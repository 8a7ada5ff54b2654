#include "sim/reply_schedule.h"

#include <gtest/gtest.h>

namespace korvane::sim {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = ReplySchedule::Clock;
using std::chrono::milliseconds;

// Everything due by `now`, in the order it leaves.
std::vector<Bytes> TakeAll(ReplySchedule& schedule, Clock::time_point now) {
    std::vector<Bytes> out;
    while (auto reply = schedule.TakeDue(now))
        out.push_back(reply->bytes);
    return out;
}

TEST(ReplySchedule, EachDelayCountsFromTheReplyBeforeEvenAcrossRequests) {
    ReplySchedule schedule(ReplySchedule::Empty::kSend);
    const Clock::time_point t0{};
    schedule.Queue({{{1}, 10}, {{2}, 5}}, t0);  // due at 10 and 15
    // A later request's reply waits behind them, then its own delay: 18.
    schedule.Queue({{{3}, 3}}, t0 + milliseconds(1));
    EXPECT_TRUE(TakeAll(schedule, t0 + milliseconds(9)).empty());
    EXPECT_EQ(TakeAll(schedule, t0 + milliseconds(10)), std::vector<Bytes>{{1}});
    EXPECT_EQ(TakeAll(schedule, t0 + milliseconds(17)), std::vector<Bytes>{{2}});
    EXPECT_EQ(TakeAll(schedule, t0 + milliseconds(18)), std::vector<Bytes>{{3}});
    // Once all is sent, a new request counts from its own arrival.
    schedule.Queue({{{4}, 2}}, t0 + milliseconds(100));
    EXPECT_TRUE(TakeAll(schedule, t0 + milliseconds(101)).empty());
    EXPECT_EQ(TakeAll(schedule, t0 + milliseconds(102)), std::vector<Bytes>{{4}});
}

TEST(ReplySchedule, EmptyRepliesAreDatagramsOrOnlyADelay) {
    const Clock::time_point t0{};
    ReplySchedule datagrams(ReplySchedule::Empty::kSend);
    datagrams.Queue({{{}, 5}, {{7}, 5}}, t0);
    EXPECT_EQ(TakeAll(datagrams, t0 + milliseconds(10)), (std::vector<Bytes>{{}, {7}}));

    ReplySchedule stream(ReplySchedule::Empty::kDrop);
    stream.Queue({{{}, 5}, {{7}, 5}}, t0);
    // The dropped reply's delay still holds back the one after it.
    EXPECT_TRUE(TakeAll(stream, t0 + milliseconds(9)).empty());
    EXPECT_EQ(TakeAll(stream, t0 + milliseconds(10)), std::vector<Bytes>{{7}});
}

TEST(ReplySchedule, RepliesKeepTheirSender) {
    ReplySchedule schedule(ReplySchedule::Empty::kSend);
    const Clock::time_point t0{};
    schedule.Queue({{{1}, 0}}, t0, {0x7F000001, 4000});
    schedule.Queue({{{2}, 0}}, t0, {0x7F000002, 5000});
    const auto first = schedule.TakeDue(t0);
    const auto second = schedule.TakeDue(t0);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->to.address, 0x7F000001u);
    EXPECT_EQ(first->to.port, 4000);
    EXPECT_EQ(second->to.address, 0x7F000002u);
    EXPECT_EQ(second->to.port, 5000);
}

TEST(ReplySchedule, WaitsUntilTheNextReplyRoundedUp) {
    ReplySchedule schedule(ReplySchedule::Empty::kSend);
    const Clock::time_point t0{};
    EXPECT_EQ(schedule.PollTimeoutMs(t0), -1);
    EXPECT_FALSE(schedule.UntilNext(t0));
    schedule.Queue({{{1}, 3}}, t0);
    EXPECT_EQ(schedule.PollTimeoutMs(t0), 3);
    // A wait cut short would wake just before the reply is due.
    EXPECT_EQ(schedule.PollTimeoutMs(t0 + std::chrono::microseconds(2500)), 1);
    EXPECT_EQ(schedule.PollTimeoutMs(t0 + milliseconds(50)), 0);
    EXPECT_EQ(*schedule.UntilNext(t0 + milliseconds(50)), Clock::duration::zero());
    schedule.Clear();
    EXPECT_EQ(schedule.PollTimeoutMs(t0), -1);
}

}  // namespace
}  // namespace korvane::sim
