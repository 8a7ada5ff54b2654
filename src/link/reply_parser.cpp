#include "link/reply_parser.h"

namespace korvane {

namespace {

void Store(ReplyParser& p, uint8_t b, FrameBuffer& reply) {
    reply[p.byte_count] = b;
    ++p.byte_count;
    p.running_sum = static_cast<uint8_t>(p.running_sum + b);
}

}  // namespace

void FeedReplyByte(ReplyParser& p, uint8_t b, FrameBuffer& reply) {
    switch (p.state) {
        case ParserState::HuntSync1:
            if (b == kSync1) {
                p.byte_count = 0;
                p.running_sum = 0;
                Store(p, b, reply);
                p.state = ParserState::HuntSync2;
            }
            return;
        case ParserState::HuntSync2:
            if (b == kSync2) {
                Store(p, b, reply);
                p.state = ParserState::LengthHigh;
            } else {
                p.byte_count = 0;
                p.running_sum = 0;
                p.state = ParserState::HuntSync1;
            }
            return;
        case ParserState::LengthHigh:
            p.declared_length = static_cast<uint16_t>(b << 8);
            Store(p, b, reply);
            p.state = ParserState::LengthLow;
            return;
        case ParserState::LengthLow:
            p.declared_length = static_cast<uint16_t>(p.declared_length + b);
            Store(p, b, reply);
            // A length that cannot hold a frame, or that would run past the
            // reply buffer, is reported like a bad checksum rather than followed.
            if (p.declared_length < kFrameMin || p.declared_length > kFrameMax) {
                p.byte_count = 0;
                p.state = ParserState::Corrupt;
            } else {
                p.state = ParserState::Body;
            }
            return;
        case ParserState::Body:
            Store(p, b, reply);
            if (p.byte_count == p.declared_length - 1)
                p.state = ParserState::ChecksumByte;
            return;
        case ParserState::ChecksumByte:
            p.byte_count = 0;
            p.state = b == p.running_sum ? ParserState::Complete : ParserState::Corrupt;
            return;
        case ParserState::Complete:
        case ParserState::Corrupt:
            return;
    }
}

size_t FeedReplyBytes(ReplyParser& p, const uint8_t* bytes, size_t count, FrameBuffer& reply) {
    size_t i = 0;
    while (i < count && !p.Done())
        FeedReplyByte(p, bytes[i++], reply);
    return i;
}

}  // namespace korvane
