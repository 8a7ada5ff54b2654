#pragma once
// Misbehaviour the simulated panel can be told to show on its replies.
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace korvane::sim {

enum class FaultKind {
    Drop,         // no reply at all
    Delay,        // reply after delay_ms
    BadChecksum,  // last byte of the reply changed
    WrongEcho,    // reply carries another command code (checksum kept sound)
    Empty,        // an empty datagram instead of the reply
    TwoFrames,    // the reply followed by a second frame in the same datagram
    Duplicate,    // the reply sent twice, the copy delay_ms after it
    Split,        // the reply in several bursts (byte links), delay_ms apart (20 when 0)
    Garbage,      // noise bytes before the reply (byte links)
    Truncate,     // only the first half of the reply
};

// One planned fault: applies to the next reply to `command` (any command
// when unset), `count` times.
struct FaultRule {
    FaultRule(FaultKind k, std::optional<uint8_t> c = std::nullopt, int n = 1, int delay = 0,
              bool final = false)
        : kind(k), command(c), count(n), delay_ms(delay), final_result(final) {}

    FaultKind kind;
    std::optional<uint8_t> command;
    int count = 1;
    int delay_ms = 0;
    // Aim at the final burn result that follows the last data packet rather
    // than at the packet's acknowledgement.
    bool final_result = false;
};

// Random faults for soak runs: each probability is per reply; request
// corruption changes one data byte and mends the frame checksum, so that
// only the panel's final image check can notice it.
struct RandomFaults {
    uint64_t seed = 1;
    double drop = 0;
    double delay = 0;
    int delay_ms = 600;
    double duplicate = 0;
    double corrupt_reply = 0;
    double corrupt_request = 0;
    // Byte links: a reply in three bursts `split_gap_ms` apart.
    double split = 0;
    int split_gap_ms = 20;
    std::vector<uint8_t> commands;  // replies eligible for faults; empty: all
};

}  // namespace korvane::sim
