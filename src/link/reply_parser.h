#pragma once
// Byte-stream reassembly of reply frames for links that deliver bytes in
// arbitrary chunks (serial). The parser keeps its state across chunks and
// across exchanges: only a taken result or a link reset puts it back to hunting.
#include <cstddef>
#include <cstdint>

#include "link/frame.h"

namespace korvane {

enum class ParserState : int {
    HuntSync1 = 90,
    HuntSync2 = 165,
    LengthHigh = 2,
    LengthLow = 3,
    Body = 8,
    ChecksumByte = 9,
    Complete = 11,
    Corrupt = 12,
};

struct ReplyParser {
    ParserState state = ParserState::HuntSync1;
    uint16_t byte_count = 0;
    uint16_t declared_length = 0;
    uint8_t running_sum = 0;

    void Reset() { *this = ReplyParser{}; }
    bool Done() const { return state == ParserState::Complete || state == ParserState::Corrupt; }
};

// One parser step for byte `b`, storing frame bytes into `reply` from offset 0.
// After Complete the buffer holds bytes 0..L-2; the checksum byte is not stored.
void FeedReplyByte(ReplyParser& parser, uint8_t b, FrameBuffer& reply);

// Feeds bytes until a frame ends (complete or corrupt) or the bytes run out;
// returns how many were taken. What follows a frame is left to the caller.
size_t FeedReplyBytes(ReplyParser& parser, const uint8_t* bytes, size_t count, FrameBuffer& reply);

}  // namespace korvane
